// The program as users get it, from the Debian package (one hundred folders a
// level, drives under /mnt), at a terminal, filling a small ext4 drive as
// /mnt/c in a private mount namespace, and stopped with Ctrl-C once it is full.
#include <gtest/gtest.h>

#include "tests/drive_image.h"
#include "tests/terminal.h"
#include "tests/transcript.h"

namespace {

TEST(Package, TheShippedProgramFillsADriveAndIsStoppedWithCtrlC) {
    RunOptions dpkg;
    dpkg.command = {"dpkg", "--print-architecture"};
    std::string architecture = run_program(dpkg).output;
    std::string deb = std::string(VERRANT_PACKAGE_FOLDER) + "/verrant_" VERRANT_VERSION "_" +
                      architecture.substr(0, architecture.find('\n')) + ".deb";
    if (access(deb.c_str(), R_OK) != 0) SKIP_OR_FAIL_FOR_LACK_OF("the Debian package " + deb);
    FileSystem drive{"ext4", 8, "-N 256", -1};  // room for 245 folders
    SKIP_OR_FAIL_FOR_LACK_OF(missing_for(drive));
    TempFolder folder;
    ASSERT_EQ(system(("dpkg-deb -x " + deb + " " + folder.path + "/unpacked").c_str()), 0);
    ASSERT_TRUE(make_image(drive, folder.path + "/image"));

    // /mnt is a fresh folder of the namespace, holding the drive as c.
    Terminal terminal(in_private_namespace("mount -t tmpfs verrant /mnt && mkdir /mnt/c && exec \"$@\"",
                                           with_drive_mounted(drive, "/mnt/c",
                                                              {folder.path + "/unpacked/usr/bin/verrant"})),
                      folder.path);
    ASSERT_TRUE(terminal.read_until("to exit \r\n")) << terminal.seen;
    ASSERT_TRUE(terminal.type("y\n"));
    ASSERT_TRUE(terminal.read_until("to begin:")) << terminal.seen;
    ASSERT_TRUE(terminal.type("c\n"));
    // The drive fills after a few hundred folders; a thousand failures later
    // the user has seen enough.
    auto enough = [](const std::string &seen) {
        return std::ranges::count_if(echoed_paths(seen), [](const Echoed &path) { return path.failed; }) >= 1000;
    };
    ASSERT_TRUE(terminal.read_until(enough, 30))
        << terminal.seen.substr(terminal.seen.size() > 300 ? terminal.seen.size() - 300 : 0);
    ASSERT_TRUE(terminal.type("\x03"));
    // The interrupt ends the program, and the drive is unmounted after it.
    EXPECT_EQ(terminal.wait_for_end(), 128 + SIGINT);

    EXPECT_EQ(terminal.seen.find(with_crlf(kSuccess)), std::string::npos);
    std::vector<Echoed> echoed = echoed_paths(terminal.seen);
    WalkCheck check = check_walk(echoed, walk_paths('C', 100, echoed.size()));
    ASSERT_TRUE(check.in_walk_order) << check.first_mismatch;
    EXPECT_GT(check.made.size(), 200u);
    EXPECT_GE(check.failed, 1000u);
    // The drive was full long before Ctrl-C: it holds exactly what was
    // echoed as made.
    EXPECT_EQ(folders_on_image(drive, 'C'), check.made);
}

}  // namespace
