// Programs filling real file systems, image files, each running out of room
// its own way (ext4 of inodes, xfs and btrfs of metadata room, NTFS of room
// for its file table, exFAT of clusters, one a folder); each must hold exactly
// the folders echoed as made. And a drive whose driver dies mid-walk.
#include <gtest/gtest.h>

#include <iterator>

#include "tests/drive_image.h"
#include "tests/transcript.h"

namespace {

const int kWidth = 4;  // 5,461 folders: more than any of these drives holds

// Each image is small enough to fill within a second or two.
const FileSystem kExt4 = {"ext4", 8, "-N 256", -1};         // 256 inodes
const FileSystem kXfs = {"xfs", 300, "", 512};               // its smallest size, nearly all taken
const FileSystem kBtrfs = {"btrfs", 128, "--mixed", 4096};  // data and metadata share the room
const FileSystem kNtfs = {"ntfs", 16, "", 256};
const FileSystem kExfat = {"exfat", 8, "", -1};  // about 1,500 folders

struct Filling {
    Program program;
    FileSystem file_system;
};

void PrintTo(const Filling &f, std::ostream *out) { *out << f.program.name << " on " << f.file_system.type; }

std::string name_of_filling(const ::testing::TestParamInfo<Filling> &info) {
    return std::string(info.param.program.name) + "_" + info.param.file_system.type;
}

class FilledDrive : public ::testing::TestWithParam<Filling> {
  protected:
    void SetUp() override {
        REQUIRE_RUNNABLE(program_);
        SKIP_OR_FAIL_FOR_LACK_OF(missing_for(GetParam().file_system));
        drive_ = GetParam().file_system;
        ASSERT_TRUE(make_image(drive_, drives_.folder.path + "/image"));
        mount_point_ = drives_.add(program_.drive);
    }

    // The program, answering y and its drive letter, with the image mounted
    // as that drive. A Windows program's folders are made by the Wine
    // server, which must run inside the namespace to see the drive.
    RunOptions options() {
        RunOptions run = drives_.options(std::string("y\n") + program_.drive + "\n", program_.width4);
        std::string around = program_.runner == Runner::Wine ? stop_wine_server() : "";
        run.command = with_drive_mounted(drive_, mount_point_, run.command, around);
        return run;
    }

    // Runs the program to its verdict; checks that it exited cleanly, that
    // every folder of the walk was tried and reported, in walk order, and
    // that the verdict ends the transcript. Returns what it echoed.
    WalkCheck run_to_verdict(const RunOptions &run) {
        RunResult result = run_program(run);
        EXPECT_TRUE(result.exited && result.exit_status == 0)
            << "status " << result.exit_status << ", signal " << result.signal << "\n" << result.error;
        std::vector<std::string> walk = walk_paths(program_.drive, kWidth);
        std::vector<Echoed> echoed = echoed_paths(result.output);
        WalkCheck check = check_walk(echoed, walk);
        EXPECT_TRUE(check.in_walk_order) << check.first_mismatch;
        EXPECT_EQ(echoed.size(), walk.size());
        EXPECT_TRUE(result.output.ends_with(with_crlf(kSuccess)));
        return check;
    }

    Program program_ = GetParam().program;
    Drives drives_{program_};
    FileSystem drive_;
    std::string mount_point_;
};

TEST_P(FilledDrive, HoldsExactlyTheFoldersEchoedAsMade) {
    WalkCheck check = run_to_verdict(options());
    // The drive filled.
    EXPECT_GT(check.made.size(), 10u);
    EXPECT_GT(check.failed, 100u);
    EXPECT_EQ(folders_on_image(drive_, program_.drive), check.made);
}

// The Linux program on every file system, both Windows programs on the
// Windows ones, and on the Linux one users format most the programs of arm64,
// of s390x (big-endian) and of armhf (32-bit, its char unsigned).
std::vector<Filling> fillings() {
    std::vector<Filling> all;
    for (const Program &program : all_programs()) {
        std::string name = program.name;
        if (name == "native")
            for (const FileSystem &file_system : {kExt4, kXfs, kBtrfs, kNtfs, kExfat}) all.push_back({program, file_system});
        if (program.runner == Runner::Wine)
            for (const FileSystem &file_system : {kNtfs, kExfat}) all.push_back({program, file_system});
        if (name == "arm64" || name == "s390x" || name == "armhf") all.push_back({program, kExt4});
    }
    return all;
}
INSTANTIATE_TEST_SUITE_P(Programs, FilledDrive, ::testing::ValuesIn(fillings()), name_of_filling);

class VanishingDrive : public FilledDrive {};

TEST_P(VanishingDrive, LaterFoldersFailAndNothingIsEchoedThatIsNotOnIt) {
    RunOptions run = options();
    bool killed = false;
    // The driver dies, as an unplugged disk or a crash would, once a few
    // hundred folders have been echoed: well inside the walk's 5,461.
    run.watch = [&](const std::string &output) {
        if (!killed && echoed_paths(output).size() > 300) {
            for (int pid : driver_processes(drive_.image)) killed = kill(pid, SIGKILL) == 0 || killed;
        }
        return false;
    };
    WalkCheck check = run_to_verdict(run);
    ASSERT_TRUE(killed);
    EXPECT_GT(check.made.size(), 300u);
    EXPECT_GT(check.failed, 1000u);
    // Every folder echoed as made is on the image; at most the one being made
    // when the driver died is there without having been echoed.
    std::vector<std::string> on_image = folders_on_image(drive_, program_.drive), not_on_image, not_echoed;
    std::set_difference(check.made.begin(), check.made.end(), on_image.begin(), on_image.end(),
                        std::back_inserter(not_on_image));
    std::set_difference(on_image.begin(), on_image.end(), check.made.begin(), check.made.end(),
                        std::back_inserter(not_echoed));
    EXPECT_EQ(not_on_image, std::vector<std::string>{});
    EXPECT_LE(not_echoed.size(), 1u) << not_echoed.size();
}

// Room for every folder: only the dying driver stops them.
const FileSystem kRoomyNtfs = {"ntfs", 16, "", -1};
INSTANTIATE_TEST_SUITE_P(Programs, VanishingDrive, ::testing::Values(Filling{native_program(), kRoomyNtfs}),
                         name_of_filling);

}  // namespace
