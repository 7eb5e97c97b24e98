// The program filling drives that are real file systems, backed by an image
// file on disk, as users fill them: each runs out of room its own way (ext4
// of inodes, xfs and btrfs of room for metadata, NTFS of room for its master
// file table) and each must end up holding exactly the folders the program
// echoed as made. And a drive whose driver dies in the middle of the walk.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/drive_image.h"
#include "tests/program.h"
#include "tests/transcripts.h"

namespace {

const int kWidth = 4;  // 5,461 folders: more than any of these drives holds

// Each image is small enough to fill within a second or two.
const FileSystem kExt4 = {"ext4", 8, "-N 256", -1};        // 256 inodes
const FileSystem kXfs = {"xfs", 300, "", 512};             // its smallest size, nearly all taken
const FileSystem kBtrfs = {"btrfs", 128, "--mixed", 4096};  // data and metadata share the room
const FileSystem kNtfs = {"ntfs", 16, "", 256};

std::string name_of(const ::testing::TestParamInfo<FileSystem> &info) { return info.param.type; }

}  // namespace

// Names the file system in GoogleTest's messages.
void PrintTo(const FileSystem &file_system, std::ostream *out) { *out << file_system.type; }

namespace {

class FilledDrive : public ::testing::TestWithParam<FileSystem> {
  protected:
    void SetUp() override {
        std::string reason;
        if (!program_available(reason)) SKIP_OR_FAIL_FOR_LACK_OF(reason);
        std::string missing = missing_for(GetParam());
        if (!missing.empty()) SKIP_OR_FAIL_FOR_LACK_OF(missing);
        drive_.file_system = GetParam();
        ASSERT_TRUE(make_image(drive_, drives_.folder.path + "/image")) << GetParam().type;
        mount_point_ = drives_.add(program_.drive);
        if (program_.under_wine) {
            ASSERT_TRUE(stop_wine_server());
        }
    }

    // The program, answering y and its drive letter, with the image mounted as that drive.
    RunOptions options() {
        RunOptions run = drives_.options(std::string("y\n") + program_.drive + "\n");
        run.command = with_drive_mounted(drive_, mount_point_, run.command, program_.under_wine);
        return run;
    }

    char upper() const { return static_cast<char>(program_.drive - 'a' + 'A'); }

    // Runs the program to its verdict; checks that it exited cleanly, that
    // every folder of the walk was tried and reported, in walk order, and
    // that the verdict ends the transcript. Returns what it echoed.
    WalkCheck run_to_verdict(const RunOptions &run) {
        RunResult result = run_program(run);
        EXPECT_TRUE(result.exited && result.exit_status == 0)
            << "status " << result.exit_status << ", signal " << result.signal << "\n" << result.error;
        std::vector<std::string> walk = walk_paths(upper(), kWidth);
        WalkCheck check = check_walk(echoed_paths(result.output), walk);
        EXPECT_TRUE(check.in_walk_order) << check.first_mismatch;
        EXPECT_EQ(check.made.size() + check.failed, walk.size());
        std::string verdict = with_crlf(kSuccess);
        EXPECT_TRUE(result.output.size() >= verdict.size() &&
                    result.output.substr(result.output.size() - verdict.size()) == verdict);
        return check;
    }

    Program program_ = width4_program();
    Drives drives_{program_};
    DriveImage drive_;
    std::string mount_point_;
};

TEST_P(FilledDrive, HoldsExactlyTheFoldersEchoedAsMade) {
    WalkCheck check = run_to_verdict(options());
    // The drive filled.
    EXPECT_GT(check.made.size(), 10u);
    EXPECT_GT(check.failed, 100u);
    EXPECT_EQ(folders_on_image(drive_, upper()), check.made);
}

#ifdef VERRANT_UNDER_WINE
// The Windows program on the Windows file system.
INSTANTIATE_TEST_SUITE_P(Ntfs, FilledDrive, ::testing::Values(kNtfs), name_of);
#else
INSTANTIATE_TEST_SUITE_P(EveryFileSystem, FilledDrive,
                         ::testing::Values(kExt4, kXfs, kBtrfs, kNtfs), name_of);
#endif

#ifndef VERRANT_UNDER_WINE

// Kills the NTFS driver of image, as an unplugged disk or a crash would;
// returns true when it found it.
bool kill_driver(const std::string &image) {
    bool found = false;
    for (int pid : processes_naming(image)) found = kill(pid, SIGKILL) == 0 || found;
    return found;
}

class VanishingDrive : public FilledDrive {};

TEST_P(VanishingDrive, LaterFoldersFailAndNothingIsEchoedThatIsNotOnIt) {
    RunOptions run = options();
    bool killed = false;
    // The driver dies once a few hundred folders have been echoed: the walk
    // is then well inside its 5,461 folders.
    run.watch = [&](const std::string &output) {
        if (!killed && echoed_paths(output).size() > 300) {
            killed = kill_driver(drive_.image);
        }
        return false;
    };
    WalkCheck check = run_to_verdict(run);
    ASSERT_TRUE(killed);
    EXPECT_GT(check.made.size(), 300u);
    EXPECT_GT(check.failed, 1000u);
    // Made folders are on the image; at most the one being made when the
    // driver died is there without having been echoed.
    std::vector<std::string> on_image = folders_on_image(drive_, upper());
    std::vector<std::string> not_on_image, not_echoed;
    std::set_difference(check.made.begin(), check.made.end(), on_image.begin(), on_image.end(),
                        std::back_inserter(not_on_image));
    std::set_difference(on_image.begin(), on_image.end(), check.made.begin(), check.made.end(),
                        std::back_inserter(not_echoed));
    EXPECT_EQ(not_on_image, std::vector<std::string>{});
    EXPECT_LE(not_echoed.size(), 1u) << not_echoed.size();
}

// Room for every folder: only the dying driver stops them.
const FileSystem kRoomyNtfs = {"ntfs", 16, "", -1};
INSTANTIATE_TEST_SUITE_P(Ntfs, VanishingDrive, ::testing::Values(kRoomyNtfs), name_of);

#endif

}  // namespace
