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

// The last drive-letter path mapped and its POSIX path, kept because the
// walk's next folder is nearly always a child of that folder or of one of its
// ancestors: only the new folder's own name then needs mapping. A path's
// byte at position i stands at position i + drive_root_length in its
// mapping, since "X:" becomes drive_root "/x" and every backslash one slash.
char last_path[PATH_CAPACITY];
char mapped[PATH_CAPACITY];
long last_length = 0;  // 0: nothing mapped, or the last path was refused

// True when the name of length bytes can stand as one folder name: not
// empty, not "." or "..", and with no slash.
bool is_plain_name(const char *name, long length) {
    if (length == 0 || memchr(name, '/', length) != nullptr) return false;
    return !(name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.')));
}

// Maps the whole path, up to end, into mapped; returns false when it does
// not name at least one folder on a drive by plain names.
bool map_whole(const char *path, long end) {
    if (end < 4 || path[1] != ':' || path[2] != '\\') return false;
    char letter = path[0];
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter + 0x20);
    if (letter < 'a' || letter > 'z') return false;
    memcpy(mapped, drive_root, drive_root_length);
    mapped[drive_root_length] = '/';
    mapped[drive_root_length + 1] = letter;
    char *out = mapped + drive_root_length;
    for (long from = 2; from < end;) {
        const char *separator = static_cast<const char *>(memchr(path + from + 1, '\\', end - from - 1));
        long next = separator ? separator - path : end;
        if (!is_plain_name(path + from + 1, next - from - 1)) return false;
        out[from] = '/';
        memcpy(out + from + 1, path + from + 1, next - from - 1);
        from = next;
    }
    out[end] = '\0';
    return true;
}

// Writes the POSIX path of a drive-letter path naming at least one folder
// into mapped, without its trailing backslash; returns false when the path
// is not of that form or too long. When everything up to the path's last
// name is the start of the last path mapped, only that name is mapped.
bool map_path(const char *path) {
    long length = static_cast<long>(strlen(path));
    if (drive_root_length + length + 2 > PATH_CAPACITY) return false;
    long end = length > 0 && path[length - 1] == '\\' ? length - 1 : length;
    const char *separator = static_cast<const char *>(memrchr(path, '\\', end));
    long parent = separator ? separator - path : 0;
    bool mapped_well;
    if (parent > 2 && parent < last_length && memcmp(path, last_path, parent + 1) == 0) {
        char *out = mapped + drive_root_length;
        mapped_well = is_plain_name(path + parent + 1, end - parent - 1);
        out[parent] = '/';
        memcpy(out + parent + 1, path + parent + 1, end - parent - 1);
        out[end] = '\0';
        memcpy(last_path + parent + 1, path + parent + 1, length - parent);
    } else {
        mapped_well = map_whole(path, end);
        memcpy(last_path, path, length + 1);
    }
    last_length = mapped_well ? length : 0;
    return mapped_well;
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
