#include "tests/run_program.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

std::string temp_root() {
    const char *tmp = getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

long now_ms() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

// Opens the child's standard input as asked; -1 means "leave it closed".
int open_input(const RunOptions &options, const std::string &file, int pipe_read) {
    switch (options.input_kind) {
        case InputKind::Pipe:
            return pipe_read;
        case InputKind::File:
            return open(file.c_str(), O_RDONLY);
        case InputKind::Directory:
            return open("/", O_RDONLY | O_DIRECTORY);
        case InputKind::Closed:
            return -1;
    }
    return -1;
}

int open_output(const RunOptions &options, const std::string &file, int pipe_write) {
    switch (options.output_kind) {
        case OutputKind::Pipe:
        case OutputKind::ReaderGone:
            return pipe_write;
        case OutputKind::File:
            return open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        case OutputKind::DevFull:
            return open("/dev/full", O_WRONLY);
        case OutputKind::Closed:
            return -1;
    }
    return -1;
}

// Puts descriptor on target in the child, or leaves target closed for -1.
void place(int descriptor, int target) {
    if (descriptor < 0) {
        close(target);
    } else if (descriptor != target) {
        dup2(descriptor, target);
    }
}

[[noreturn]] void start_child(const RunOptions &options, int in, int out, int err) {
    if (chdir(options.working_folder.c_str()) != 0) _exit(126);
    int safe_in = in >= 0 ? fcntl(in, F_DUPFD, 10) : -1;
    int safe_out = out >= 0 ? fcntl(out, F_DUPFD, 10) : -1;
    int safe_err = fcntl(err, F_DUPFD, 10);
    place(safe_err, 2);
    place(safe_in, 0);
    place(safe_out, 1);
    for (int fd = 3; fd < 1024; fd++) close(fd);
    for (const std::string &setting : options.environment) putenv(strdup(setting.c_str()));
    std::vector<char *> argv;
    for (const std::string &word : options.command)
        argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);
    signal(SIGPIPE, SIG_DFL);
    execvp(argv[0], argv.data());
    _exit(127);
}

void drain(int &fd, std::string &into) {
    char block[65536];
    ssize_t got = read(fd, block, sizeof block);
    if (got > 0) {
        into.append(block, got);
    } else if (got == 0 || errno != EINTR) {
        close(fd);
        fd = -1;
    }
}

}  // namespace

RunResult run_program(const RunOptions &options) {
    signal(SIGPIPE, SIG_IGN);
    RunResult result;
    TempFolder scratch;
    std::string input_file = scratch.path + "/input";
    std::string output_file = scratch.path + "/output";
    write_file(input_file, options.input);
    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return result;
    if (options.output_kind == OutputKind::ReaderGone) close(out_pipe[0]);
    pid_t child = fork();
    if (child == 0) {
        start_child(options, open_input(options, input_file, in_pipe[0]),
                    open_output(options, output_file, out_pipe[1]), err_pipe[1]);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    int to_child = options.input_kind == InputKind::Pipe ? in_pipe[1] : -1;
    if (to_child < 0) close(in_pipe[1]);
    int from_out = options.output_kind == OutputKind::ReaderGone ? -1 : out_pipe[0];
    int from_err = err_pipe[0];
    size_t sent = 0;
    long deadline = now_ms() + options.timeout_seconds * 1000L;
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
        if (to_child >= 0 && (fds[2].revents & (POLLOUT | POLLERR))) {
            size_t step = options.input.size() - sent;
            if (options.input_chunk > 0) step = std::min(step, options.input_chunk);
            ssize_t wrote = write(to_child, options.input.data() + sent, step);
            if (wrote > 0) sent += wrote;
            if (wrote < 0 && errno == EPIPE) sent = options.input.size();
            if (options.chunk_pause_ms > 0) usleep(options.chunk_pause_ms * 1000);
        }
        bool enough =
            options.kill_after_output > 0 && result.output.size() >= options.kill_after_output;
        if (options.watch && fds[0].revents) enough = enough || options.watch(result.output);
        if (!killed && (enough || now_ms() > deadline)) {
            kill(child, SIGKILL);
            killed = true;
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

bool every_test_must_run() {
    const char *required = getenv("VERRANT_REQUIRE_EVERY_TEST");
    return required != nullptr && strcmp(required, "1") == 0;
}

TempFolder::TempFolder() {
    std::string pattern = temp_root() + "/verrant-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    path = mkdtemp(name.data()) ? name.data() : "";
}

TempFolder::~TempFolder() {
    if (!path.empty()) remove_all(path);
}

void TempFolder::remove_all(const std::string &path) {
    // Read-only folders are made writable first, so everything can go.
    nftw(
        path.c_str(),
        [](const char *p, const struct stat *, int type, FTW *) {
            if (type == FTW_D || type == FTW_DNR) chmod(p, 0755);
            return 0;
        },
        64, FTW_PHYS);
    nftw(
        path.c_str(), [](const char *p, const struct stat *, int, FTW *) { return remove(p); }, 64,
        FTW_DEPTH | FTW_PHYS);
}

namespace {

void collect(const std::string &folder, const std::string &shown, std::vector<std::string> &into) {
    DIR *dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::string full = folder + "/" + name;
        struct stat info;
        if (lstat(full.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) continue;
        into.push_back(shown + name + "\\");
        collect(full, shown + name + "\\", into);
    }
    closedir(dir);
}

}  // namespace

std::vector<std::string> folders_below(const std::string &root, const std::string &prefix) {
    std::vector<std::string> found;
    collect(root, prefix, found);
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::string> echoed_paths(const std::string &transcript) {
    std::vector<std::string> paths;
    std::istringstream lines(transcript);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string bare = line.rfind("Failed to write ", 0) == 0 ? line.substr(16) : line;
        if (bare.size() > 3 && bare[1] == ':' && bare[2] == '\\' && bare.back() == '\\') {
            paths.push_back(line);
        }
    }
    return paths;
}

std::string with_crlf(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

void make_folders(const std::string &path) {
    std::string partial;
    std::istringstream parts(path);
    std::string part;
    if (!path.empty() && path[0] == '/') partial = "/";
    while (std::getline(parts, part, '/')) {
        if (part.empty()) continue;
        partial += part + "/";
        mkdir(partial.c_str(), 0755);
    }
}

void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream file(path, std::ios::binary);
    file << bytes;
}

std::string read_file(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}
