// Runs a command as a child process on real pipes, files and descriptors,
// and stops it, with everything it started, on a time-out or when asked.
#ifndef VERRANT_TESTS_PROCESS_H
#define VERRANT_TESTS_PROCESS_H

#include <functional>
#include <string>
#include <vector>

// How the child's standard input is given.
enum class InputKind { Pipe, File, Closed, Directory };
// Where the child's standard output goes.
enum class OutputKind { Pipe, File, DevFull, Closed, ReaderGone };

struct RunOptions {
    std::vector<std::string> command;
    std::string input;
    InputKind input_kind = InputKind::Pipe;
    OutputKind output_kind = OutputKind::Pipe;
    std::vector<std::string> environment;  // NAME=VALUE added to the child's
    size_t input_chunk = 0;                // >0: write input this many bytes at a time
    int chunk_pause_ms = 0;
    std::string working_folder = ".";
    // Given the output so far after every read of it; true stops the child.
    std::function<bool(const std::string &output)> watch;
    int timeout_seconds = 120;
};

struct RunResult {
    std::string output;  // standard output (empty for the kinds that lose it)
    std::string error;   // standard error
    bool exited = false;
    int exit_status = -1;
    int signal = 0;
    bool timed_out = false;
};

// Runs the command in a process group of its own; a time-out or the watch
// kills the whole group, and the pipes are given up two seconds after. A
// command that starts daemons (a FUSE driver) runs them in a namespace of
// its own (in_private_namespace), which ends with it. A fork that fails
// leaves the result not exited, its error saying so.
RunResult run_program(const RunOptions &options);

// True where every test must run: the whole suite run as root, as CI runs
// it (tests/run-all.sh sets VERRANT_REQUIRE_EVERY_TEST). A test that cannot
// get what it needs then fails with the reason instead of skipping.
bool every_test_must_run();

// Ends a GoogleTest test that lacks what it needs: a failure naming it where
// every test must run, a skip naming it elsewhere.
#define SKIP_OR_FAIL_FOR_LACK_OF(what)                                  \
    do {                                                                \
        if (every_test_must_run()) FAIL() << "cannot run: " << (what); \
        GTEST_SKIP() << (what);                                         \
    } while (0)

#endif
