// Runs a built program as a child process on real pipes, files and folders,
// and looks at the folders it left.
#ifndef VERRANT_TESTS_RUN_PROGRAM_H
#define VERRANT_TESTS_RUN_PROGRAM_H

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
    size_t kill_after_output = 0;  // >0: kill the child once this much output came
    // Given the output so far after every read of it; true kills the child.
    std::function<bool(const std::string &output)> watch;
    int timeout_seconds = 120;     // the child is killed after this long
};

struct RunResult {
    std::string output;  // standard output (empty for the kinds that lose it)
    std::string error;   // standard error
    bool exited = false;
    int exit_status = -1;
    int signal = 0;
};

RunResult run_program(const RunOptions &options);

// True where every test must run: the whole suite run as root, as CI runs
// it (tests/run-all.sh sets VERRANT_REQUIRE_EVERY_TEST). A test that cannot
// get what it needs then fails with the reason instead of skipping.
bool every_test_must_run();

// Ends a GoogleTest test that lacks what it needs: a failure naming it where
// every test must run, a skip naming it elsewhere.
#define SKIP_OR_FAIL_FOR_LACK_OF(what)                                          \
    do {                                                                        \
        if (every_test_must_run()) FAIL() << "cannot run: " << (what);         \
        GTEST_SKIP() << (what);                                                 \
    } while (0)

// A fresh folder under the system's temporary folder, removed with everything
// in it when the test ends.
struct TempFolder {
    std::string path;
    TempFolder();
    ~TempFolder();
    // Removes path and everything below it.
    static void remove_all(const std::string &path);
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
};

// Every folder below root, as drive-letter paths "X:\a\b\" (root's own
// name is given by prefix), sorted.
std::vector<std::string> folders_below(const std::string &root, const std::string &prefix);

// The lines of text that look like echoed folder paths "X:\...\", in order,
// with any "Failed to write " in front kept.
std::vector<std::string> echoed_paths(const std::string &transcript);

// Turns every LF into CR LF.
std::string with_crlf(const std::string &text);

void make_folders(const std::string &path);
void write_file(const std::string &path, const std::string &bytes);
std::string read_file(const std::string &path);

#endif
