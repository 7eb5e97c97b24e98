// Runs a command as a child process on real pipes, files and descriptors,
// and stops it, with everything it started, on a time-out or when asked.
#ifndef VERRANT_TESTS_PROCESS_H
#define VERRANT_TESTS_PROCESS_H

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/files.h"

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

// True, once asked, when that many seconds have passed since it was made.
inline std::function<bool(const std::string &)> after(int seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    return [until](const std::string &) { return std::chrono::steady_clock::now() >= until; };
}

// The child's standard input as asked; -1 leaves it closed.
inline int open_input(const RunOptions &options, const std::string &file, int pipe_read) {
    switch (options.input_kind) {
        case InputKind::Pipe: return pipe_read;
        case InputKind::File: return open(file.c_str(), O_RDONLY);
        case InputKind::Directory: return open("/", O_RDONLY | O_DIRECTORY);
        case InputKind::Closed: return -1;
    }
    return -1;
}

inline int open_output(const RunOptions &options, const std::string &file, int pipe_write) {
    switch (options.output_kind) {
        case OutputKind::Pipe:
        case OutputKind::ReaderGone: return pipe_write;
        case OutputKind::File: return open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        case OutputKind::DevFull: return open("/dev/full", O_WRONLY);
        case OutputKind::Closed: return -1;
    }
    return -1;
}

// Puts descriptor on target in the child, or leaves target closed for -1.
inline void place(int descriptor, int target) {
    int safe = descriptor >= 0 ? fcntl(descriptor, F_DUPFD, 10) : -1;
    if (safe < 0) close(target);
    else dup2(safe, target);
}

// Replaces this process with the command, found on the PATH.
[[noreturn]] inline void exec_command(const std::vector<std::string> &command) {
    std::vector<char *> argv;
    for (const std::string &word : command) argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

[[noreturn]] inline void start_child(const RunOptions &options, int in, int out, int err) {
    setpgid(0, 0);
    if (chdir(options.working_folder.c_str()) != 0) _exit(126);
    place(err, 2);
    place(in, 0);
    place(out, 1);
    for (int fd = 3; fd < 1024; fd++) close(fd);
    for (const std::string &setting : options.environment) putenv(strdup(setting.c_str()));
    signal(SIGPIPE, SIG_DFL);
    exec_command(options.command);
}

inline void drain(int &fd, std::string &into) {
    char block[65536];
    ssize_t got = read(fd, block, sizeof block);
    if (got > 0) {
        into.append(block, got);
    } else if (got == 0 || errno != EINTR) {
        close(fd);
        fd = -1;
    }
}

// Writes the next piece of input; gives up the rest when the reader is gone.
inline void feed(const RunOptions &options, int fd, size_t &sent) {
    size_t step = options.input.size() - sent;
    if (options.input_chunk > 0) step = std::min(step, options.input_chunk);
    ssize_t wrote = write(fd, options.input.data() + sent, step);
    if (wrote > 0) sent += wrote;
    if (wrote < 0 && errno == EPIPE) sent = options.input.size();
    if (options.chunk_pause_ms > 0) usleep(options.chunk_pause_ms * 1000);
}

// Runs the command in a process group of its own, which a time-out or the
// watch kills, giving up the pipes two seconds later; a command that starts
// daemons (a FUSE driver) runs in_private_namespace, which ends them with it.
// A fork that fails leaves the result not exited, its error saying so.
inline RunResult run_program(const RunOptions &options) {
    signal(SIGPIPE, SIG_IGN);
    RunResult result;
    TempFolder scratch;
    std::string input_file = scratch.path + "/input", output_file = scratch.path + "/output";
    write_file(input_file, options.input);
    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return result;
    if (options.output_kind == OutputKind::ReaderGone) close(out_pipe[0]);
    pid_t child = fork();
    if (child < 0) {
        result.error = std::string("cannot start ") + options.command[0] + ": fork failed: " + strerror(errno);
        for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
        return result;
    }
    if (child == 0)
        start_child(options, open_input(options, input_file, in_pipe[0]),
                    open_output(options, output_file, out_pipe[1]), err_pipe[1]);
    setpgid(child, child);  // as the child does, so a kill cannot come first
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    int to_child = in_pipe[1];
    int from_out = options.output_kind == OutputKind::ReaderGone ? -1 : out_pipe[0];
    int from_err = err_pipe[0];
    // Input given otherwise than through the pipe counts as sent: the pipe is closed at once.
    size_t sent = options.input_kind == InputKind::Pipe ? 0 : options.input.size();
    auto deadline = after(options.timeout_seconds), give_up = deadline;
    bool killed = false;
    while (from_out >= 0 || from_err >= 0) {
        if (to_child >= 0 && sent == options.input.size()) {
            close(to_child);
            to_child = -1;
        }
        pollfd fds[3] = {{from_out, POLLIN, 0}, {from_err, POLLIN, 0}, {to_child, POLLOUT, 0}};
        poll(fds, 3, 200);
        if (fds[0].revents) drain(from_out, result.output);
        if (fds[1].revents) drain(from_err, result.error);
        if (to_child >= 0 && (fds[2].revents & (POLLOUT | POLLERR))) feed(options, to_child, sent);
        bool enough = options.watch && fds[0].revents && options.watch(result.output);
        result.timed_out = result.timed_out || deadline("");
        if (!killed && (enough || result.timed_out)) {
            kill(-child, SIGKILL);
            killed = true;
            give_up = after(2);
        }
        // A descendant in a session of its own may still hold the pipes.
        if (killed && give_up("")) {
            for (int *fd : {&from_out, &from_err}) {
                if (*fd >= 0) close(*fd);
                *fd = -1;
            }
        }
    }
    if (to_child >= 0) close(to_child);
    int status = 0;
    waitpid(child, &status, 0);
    result.exited = WIFEXITED(status);
    result.exit_status = result.exited ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    if (options.output_kind == OutputKind::File) result.output = read_file(output_file);
    return result;
}

// Ends a test that lacks what it needs (what names it; "" is nothing): a
// failure naming it where every test must run (tests/run-all.sh as root, as
// CI runs it, sets VERRANT_REQUIRE_EVERY_TEST=1), a skip naming it elsewhere.
#define SKIP_OR_FAIL_FOR_LACK_OF(what)                                                  \
    do {                                                                                \
        const std::string lacking = (what);                                             \
        const char *every = getenv("VERRANT_REQUIRE_EVERY_TEST");                       \
        if (lacking.empty()) break;                                                     \
        if (every && strcmp(every, "1") == 0) FAIL() << "cannot run: " << lacking;      \
        GTEST_SKIP() << lacking;                                                        \
    } while (0)

#endif
