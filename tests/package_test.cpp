// The program as users get it: unpacked from the Debian package (one hundred
// folders a level, drive letters leading to /mnt), at a terminal, filling a
// small ext4 drive mounted as /mnt/c in a private mount namespace, and
// stopped with Ctrl-C once the drive is full.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/drive_image.h"
#include "tests/terminal.h"
#include "tests/transcripts.h"

namespace {

std::string architecture() {
    FILE *dpkg = popen("dpkg --print-architecture 2>/dev/null", "r");
    char name[64] = "";
    if (dpkg && !fgets(name, sizeof name, dpkg)) name[0] = '\0';
    if (dpkg) pclose(dpkg);
    std::string text = name;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

size_t count_of(const std::string &text, const std::string &part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
    return count;
}

TEST(Package, TheShippedProgramFillsADriveAndIsStoppedWithCtrlC) {
    std::string deb = std::string(VERRANT_PACKAGE_FOLDER) + "/verrant_" VERRANT_VERSION "_" +
                      architecture() + ".deb";
    if (access(deb.c_str(), R_OK) != 0) SKIP_OR_FAIL_FOR_LACK_OF("the Debian package " + deb);
    DriveImage drive{{"ext4", 8, "-N 256", -1}, ""};  // room for 245 folders
    std::string missing = missing_for(drive.file_system);
    if (!missing.empty()) SKIP_OR_FAIL_FOR_LACK_OF(missing);
    TempFolder folder;
    ASSERT_EQ(system(("dpkg-deb -x " + deb + " " + folder.path + "/unpacked").c_str()), 0);
    ASSERT_TRUE(make_image(drive, folder.path + "/image"));

    // /mnt is a fresh folder of the namespace, holding the drive as c.
    std::vector<std::string> command = {"unshare", "-m", "--propagation", "private", "sh", "-c",
                                        "mount -t tmpfs verrant /mnt && mkdir /mnt/c && exec \"$@\"",
                                        "sh"};
    std::vector<std::string> run =
        with_drive_mounted(drive, "/mnt/c", {folder.path + "/unpacked/usr/bin/verrant"});
    command.insert(command.end(), run.begin(), run.end());
    Terminal terminal(command, folder.path);
    ASSERT_TRUE(terminal.read_until("to exit \r\n")) << terminal.seen;
    ASSERT_TRUE(terminal.type("y\n"));
    ASSERT_TRUE(terminal.read_until("to begin:")) << terminal.seen;
    ASSERT_TRUE(terminal.type("c\n"));
    // The drive fills after a few hundred folders; a thousand failures later
    // the user has seen enough.
    ASSERT_TRUE(terminal.read_until(
        [](const std::string &seen) { return count_of(seen, "\nFailed to write ") >= 1000; }, 30))
        << terminal.seen.substr(terminal.seen.size() > 300 ? terminal.seen.size() - 300 : 0);
    ASSERT_TRUE(terminal.type("\x03"));
    terminal.ended_cleanly();

    // Ctrl-C may cut the line being printed: what counts is every whole line.
    std::string seen = terminal.seen.substr(0, terminal.seen.rfind("\r\n") + 2);
    EXPECT_EQ(seen.find(with_crlf(kSuccess)), std::string::npos);
    std::vector<std::string> echoed = echoed_paths(seen);
    std::vector<std::string> walk = walk_paths('C', 100, echoed.size() + 1);
    WalkCheck check = check_walk(echoed, walk);
    ASSERT_TRUE(check.in_walk_order) << check.first_mismatch;
    EXPECT_EQ(check.made.size() + check.failed, echoed.size());
    EXPECT_GT(check.made.size(), 200u);
    EXPECT_GE(check.failed, 1000u);
    // The drive holds what was echoed as made, and at most the folder that
    // was being made (or echoed) when Ctrl-C came: the next one of the walk.
    std::vector<std::string> on_image = folders_on_image(drive, 'C');
    std::vector<std::string> expected = check.made;
    if (on_image.size() == expected.size() + 1) {
        expected.push_back(walk[echoed.size()]);
        std::sort(expected.begin(), expected.end());
    }
    EXPECT_EQ(on_image, expected);
}

}  // namespace
