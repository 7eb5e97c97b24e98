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

// The POSIX path of the last path mapped, kept so that a path that differs
// from it in only a few known bytes needs only those mapped. A path's byte at
// position i stands at position i + drive_root_length in its POSIX path,
// since "X:" becomes drive_root "/x" and every backslash one slash.
char mapped[PATH_CAPACITY];
// Where the last path mapped ends, without its trailing backslash; 0 when it
// was refused, so that mapped holds nothing to build on.
size_t mapped_end = 0;

// True when the name of length bytes, known to hold no slash, can stand as
// one folder name: not empty, not "." or "..".
bool is_plain_name(const char *name, size_t length) {
    return length > 0 && !(name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.')));
}

// Forgets the last path, so that the next one is mapped whole; returns false.
bool refuse() {
    mapped_end = 0;
    return false;
}

// Writes the POSIX path of a drive-letter path naming at least one folder
// into mapped, without its trailing backslash; returns false when the path
// is not of that form, holds a slash or is too long. Kept out of line, as
// the walk maps whole only the first folder it makes.
[[gnu::noinline]] bool map_path(const char *path) {
    // One scan finds the path's end and tells whether it holds a slash.
    const char *slash_or_end = strchrnul(path, '/');
    size_t length = slash_or_end - path;
    if (*slash_or_end != '\0' || drive_root_length + length + 2 > PATH_CAPACITY) return refuse();
    size_t end = length > 0 && path[length - 1] == '\\' ? length - 1 : length;
    if (end < 4 || path[1] != ':' || path[2] != '\\') return refuse();
    char letter = path[0];
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter + 0x20);
    if (letter < 'a' || letter > 'z') return refuse();
    memcpy(mapped, drive_root, drive_root_length);
    mapped[drive_root_length] = '/';
    mapped[drive_root_length + 1] = letter;
    char *out = mapped + drive_root_length;
    for (size_t from = 2; from < end;) {
        const char *separator =
            static_cast<const char *>(memchr(path + from + 1, '\\', end - from - 1));
        size_t next = separator ? separator - path : end;
        if (!is_plain_name(path + from + 1, next - from - 1)) return refuse();
        out[from] = '/';
        memcpy(out + from + 1, path + from + 1, next - from - 1);
        from = next;
    }
    out[end] = '\0';
    mapped_end = end;
    return true;
}

// Maps a path that os_make_directory_after is given: only its count bytes
// from `from`, when the path it differs from in those was mapped.
bool map_changed(const char *path, int length, int from, int count) {
    if (mapped_end == 0 || drive_root_length + length + 2 > PATH_CAPACITY) return map_path(path);
    char *out = mapped + drive_root_length;
    out[from - 1] = '/';
    out[length - 1] = '\0';
    memcpy(out + from, path + from, count);
    mapped_end = length - 1;
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
    if (!map_path(path)) return -1;
    return mkdir(mapped, 0777) == 0 ? 0 : -1;
}

int os_make_directory_after(const char *path, int length, int from, int count) {
    if (!map_changed(path, length, from, count)) return -1;
    return mkdir(mapped, 0777) == 0 ? 0 : -1;
}
