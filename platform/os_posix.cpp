// The raw platform side on POSIX systems. A drive letter X leads to the folder
// drive_root/x, and every backslash of a path separates two nested names.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/os.h"

namespace {

const int PATH_CAPACITY = 4096;

// A vanished reader of standard output must fail the write, not end the process.
bool broken_pipe_ignored = false;

// True when the name of length bytes can stand as one folder name: not
// empty, not "." and not "..".
bool is_plain_name(const char *name, long length) {
    return length > 0 && !(name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.')));
}

// Writes the POSIX path of a drive-letter path naming at least one folder
// into mapped, without its trailing backslash; returns false when the path
// is not of that form. The names are copied in one piece, then each
// backslash found in the copy becomes a slash.
bool map_path(const char *path, char *mapped) {
    long length = static_cast<long>(strlen(path));
    if (length > 0 && path[length - 1] == '\\') length--;
    if (length < 4 || path[1] != ':' || path[2] != '\\') return false;
    char letter = path[0];
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter + 0x20);
    if (letter < 'a' || letter > 'z') return false;
    long root_length = drive_root_length;
    if (root_length + length + 2 > PATH_CAPACITY) return false;
    if (memchr(path, '/', length) != nullptr) return false;
    memcpy(mapped, drive_root, root_length);
    mapped[root_length] = '/';
    mapped[root_length + 1] = letter;
    // The path from its first backslash on, each name after a backslash.
    char *names = mapped + root_length + 2;
    char *end = names + (length - 2);
    memcpy(names, path + 2, length - 2);
    *end = '\0';
    for (char *separator = names; separator != nullptr;) {
        *separator = '/';
        char *name = separator + 1;
        separator = static_cast<char *>(memchr(name, '\\', end - name));
        if (!is_plain_name(name, (separator ? separator : end) - name)) return false;
    }
    return true;
}

}  // namespace

int os_read(int stream, char *buffer, int cap) {
    for (;;) {
        ssize_t got = read(stream, buffer, cap);
        if (got >= 0) return static_cast<int>(got);
        if (errno != EINTR) return -1;
    }
}

int os_write(int stream, const char *bytes, int length) {
    if (!broken_pipe_ignored) {
        signal(SIGPIPE, SIG_IGN);
        broken_pipe_ignored = true;
    }
    int taken = 0;
    while (taken < length) {
        ssize_t wrote = write(stream, bytes + taken, length - taken);
        if (wrote > 0)
            taken += static_cast<int>(wrote);
        else if (wrote < 0 && errno == EINTR)
            continue;
        else
            return taken > 0 ? taken : -1;
    }
    return taken;
}

bool os_is_terminal(int stream) { return isatty(stream) == 1; }

// One mkdir of the whole path, resolved afresh by the system on every call:
// whatever happened meanwhile to the folders on the way (removed, renamed,
// replaced by a file or a link), the answer is the one that path gives now.
int os_make_directory(const char *path) {
    char mapped[PATH_CAPACITY];
    if (!map_path(path, mapped)) return -1;
    return mkdir(mapped, 0777) == 0 ? 0 : -1;
}
