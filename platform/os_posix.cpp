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

// The last path mapped, kept because the walk's next folder is nearly
// always a sibling, a child or an ancestor's sibling of the last: only the
// new folder's own name then needs mapping. A path's byte at position i
// stands at position i + drive_root_length in its POSIX path, since "X:"
// becomes drive_root "/x" and every backslash one slash.
char mapped[PATH_CAPACITY];     // the POSIX path of the last path mapped
char last_path[PATH_CAPACITY];  // the last path itself, its first known bytes
size_t known = 0;               // bytes of last_path kept up to date; 0 after a refusal
size_t last_end = 0;            // the last path's length without its trailing backslash

// True when the name of length bytes, known to hold no slash, can stand as
// one folder name: not empty, not "." or "..".
bool is_plain_name(const char *name, size_t length) {
    return length > 0 && !(name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.')));
}

// Forgets the last path, so that the next one is mapped whole; returns false.
bool refuse() {
    known = 0;
    return false;
}

// Maps the path, of length bytes and up to end without its trailing
// backslash, into mapped and keeps all of it; returns false when it does not
// name at least one folder on a drive by plain names.
[[gnu::noinline]] bool map_whole(const char *path, size_t length, size_t end) {
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
    memcpy(last_path, path, length);
    known = length;
    last_end = end;
    return true;
}

// True when the path's first parent + 1 bytes, up to the separator at
// position parent, are those of the last path mapped. Past the known bytes
// of last_path, the last path's own name is read from its POSIX path, where
// it stands unchanged; a path that is a child of the last one then adds
// those bytes to the known ones.
bool matches_and_extends_last_parent(const char *path, size_t parent) {
    if (parent < 3 || known == 0) return false;
    if (parent < known) return memcmp(path, last_path, parent + 1) == 0;
    if (parent != last_end || memcmp(path, last_path, known) != 0) return false;
    if (memcmp(path + known, mapped + drive_root_length + known, last_end - known) != 0)
        return false;
    // The path is a child of the last one: what it shares becomes known.
    memcpy(last_path + known, path + known, parent + 1 - known);
    return true;
}

// Writes the POSIX path of a drive-letter path naming at least one folder
// into mapped, without its trailing backslash; returns false when the path
// is not of that form, holds a slash or is too long. When everything up to
// the path's last name is that of the last path mapped, only that name is
// mapped.
bool map_path(const char *path) {
    // One scan finds the path's end and tells whether it holds a slash.
    const char *slash_or_end = strchrnul(path, '/');
    size_t length = slash_or_end - path;
    if (*slash_or_end != '\0' || drive_root_length + length + 2 > PATH_CAPACITY) return refuse();
    size_t end = length > 0 && path[length - 1] == '\\' ? length - 1 : length;
    const char *separator = static_cast<const char *>(memrchr(path, '\\', end));
    size_t parent = separator ? separator - path : 0;
    if (!matches_and_extends_last_parent(path, parent)) return map_whole(path, length, end);
    const char *name = path + parent + 1;
    size_t name_length = end - parent - 1;
    if (!is_plain_name(name, name_length)) return refuse();
    char *out = mapped + drive_root_length + parent;
    out[0] = '/';
    out[name_length + 1] = '\0';
    memcpy(out + 1, name, name_length);
    known = parent + 1;
    last_end = end;
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
