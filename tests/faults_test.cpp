// Faults a user can meet, on the real program: a read-only drive, outputs and
// inputs that cannot be used, hostile input, and a heap that refuses a request.
#include <gtest/gtest.h>

#include "tests/drive_image.h"
#include "tests/transcript.h"

namespace {

const std::string kAsked = kPrompt + "\n";
const std::string kRootFailed = kFailed + "C:\\1_100billion\\\n";

class Faults : public ::testing::Test {
  protected:
    RunOptions options(const std::string &input) { return drives_.options(input); }

    size_t folders_made() { return drives_.folders_on('c').size(); }

    static void expect_clean_exit(const RunResult &result) {
        EXPECT_TRUE(result.exited) << "signal " << result.signal;
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(result.error, "");
    }

    Drives drives_{native_program()};
    std::string drive_ = drives_.add('c');
};

TEST_F(Faults, AReadOnlyDriveFailsAtTheRoot) {
    FileSystem read_only{"tmpfs", 0, "ro,size=64k", -1};
    SKIP_OR_FAIL_FOR_LACK_OF(missing_for(read_only));
    RunOptions run = options("y\nc\n");
    run.command = with_drive_mounted(read_only, drive_, run.command);
    RunResult result = run_program(run);
    expect_clean_exit(result);
    EXPECT_EQ(result.output, with_crlf(kOpening + kAsked + kRootFailed));
}

TEST_F(Faults, OutputThatCannotBeWrittenLosesNoFolder) {
    for (OutputKind kind : {OutputKind::DevFull, OutputKind::ReaderGone, OutputKind::Closed}) {
        RunOptions run = options("y\nc\n");
        run.output_kind = kind;
        RunResult result = run_program(run);
        expect_clean_exit(result);
        EXPECT_EQ(folders_made(), 127u) << static_cast<int>(kind);
        remove_all(drive_ + "/1_100billion");
    }
}

TEST_F(Faults, InputThatCannotBeReadCountsAsTheEnd) {
    for (InputKind kind : {InputKind::Directory, InputKind::Closed}) {
        RunOptions run = options("");
        run.input_kind = kind;
        RunResult result = run_program(run);
        expect_clean_exit(result);
        EXPECT_EQ(result.output, with_crlf(kOpening));
    }
}

TEST_F(Faults, HostileInputShapes) {
    std::string tree = full_transcript('c', kAsked);
    // A megabyte of blanks before each answer.
    std::string blanks(1 << 20, ' ');
    RunResult result = run_program(options(blanks + "y" + blanks + "\n" + blanks + "c\n"));
    expect_clean_exit(result);
    EXPECT_EQ(result.output, tree);
    remove_all(drive_ + "/1_100billion");
    // One byte at a time.
    RunOptions slow = options("\r\n y\r\n\tc\r\n");
    slow.input_chunk = 1;
    slow.chunk_pause_ms = 5;
    result = run_program(slow);
    EXPECT_EQ(result.output, tree);
    remove_all(drive_ + "/1_100billion");
    // Ctrl-Z within a fill drops the rest of that fill: the drive answer is lost.
    result = run_program(options("y\x1a\nc\n"));
    EXPECT_EQ(result.output, with_crlf(kOpening + kAsked));
    // NUL bytes answer nothing usable.
    result = run_program(options(std::string("\0\ny\n\0\n\0c\n", 10)));
    std::string reenter = kReenter + "\n";
    EXPECT_EQ(result.output, full_transcript('c', kInvalid + kAsked + reenter + reenter));
    EXPECT_EQ(folders_made(), 127u);
}

// A sanitized program keeps its own allocator, which cannot be replaced, and
// valgrind cannot run it: these cases exist only in the ordinary build.
#ifndef __SANITIZE_ADDRESS__

// Runs the program with the heap refusing the nth request of size bytes.
RunResult refusing(const RunOptions &base, int size, int nth) {
    RunOptions run = base;
    run.environment.push_back(std::string("LD_PRELOAD=") + VERRANT_REFUSE_ALLOC_LIBRARY);
    run.environment.push_back("REFUSE_MALLOC_SIZE=" + std::to_string(size));
    run.environment.push_back("REFUSE_MALLOC_NTH=" + std::to_string(nth));
    return run_program(run);
}

TEST_F(Faults, AMissingWorkingBufferIsNamedAndNothingElseHappens) {
    // The size of the request refused, which of that size, and what is said.
    const std::tuple<int, int, const char *> cases[] = {
        {2, 1, "       Failed to free theEnd\n"},
        {4, 1, "        Failed to free pint_a_2_str\n"},
        {103, 1, "       Failed to free pdir\n"},
        {2, 2, "       Failed to free pdriveLetter\n"},
        {103, 2, "       Failed to free pdir_level\n"},
    };
    for (auto [size, nth, message] : cases) {
        RunResult result = refusing(options("y\nc\n"), size, nth);
        expect_clean_exit(result);
        EXPECT_EQ(result.output, with_crlf(message)) << size << " " << nth;
        EXPECT_EQ(folders_made(), 0u);
    }
}

TEST_F(Faults, AMissingCopyBufferSkipsOnlyThatLevel) {
    // The first level's buffer: the root is made, nothing below it.
    RunResult result = refusing(options("y\nc\n"), 132, 1);
    expect_clean_exit(result);
    EXPECT_EQ(result.output, with_crlf(kOpening + kAsked + "C:\\1_100billion\\\n\n" + kSuccess));
    EXPECT_EQ(folders_made(), 1u);
    remove_all(drive_ + "/1_100billion");
    // The third entry is level 3 under the first level 2 folder: only the
    // folders below that one are missing.
    result = refusing(options("y\nc\n"), 132, 3);
    expect_clean_exit(result);
    const std::string parent = "C:\\1_100billion\\001_billion\\001_10000_million\\";
    std::vector<std::string> expected;
    for (const std::string &path : walk_paths('C', 2)) {
        if (path.size() == parent.size() || path.rfind(parent, 0) != 0) expected.push_back(path);
    }
    std::vector<std::string> echoed;
    for (const Echoed &path : echoed_paths(result.output)) echoed.push_back(path.path);
    EXPECT_EQ(echoed, expected);
    EXPECT_EQ(folders_made(), expected.size());
    EXPECT_EQ(expected.size(), 127u - 30u);
}

TEST_F(Faults, ValgrindFindsNoErrorsOrLeaks) {
    if (system("command -v valgrind >/dev/null 2>&1") != 0)
        SKIP_OR_FAIL_FOR_LACK_OF("valgrind");
    RunOptions run = options("y\nc\n");
    run.command = {"valgrind", "-q", "--error-exitcode=99", "--leak-check=full", "--show-leak-kinds=all",
                   "--errors-for-leak-kinds=all", native_program().width2};
    RunResult result = run_program(run);
    expect_clean_exit(result);
    EXPECT_EQ(result.output, full_transcript('c', kAsked));
}

#endif

}  // namespace
