// The raw platform side on POSIX systems. A drive letter X leads to the folder
// drive_root/x, and every backslash of a path separates two nested names.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/os.h"

// The folder that holds one folder per drive letter; fixed when the program is built.
extern const char drive_root[];

namespace {

const int PATH_CAPACITY = 4096;
const int FIRST_FREE_DESCRIPTOR = 3;

// The folders on the way to the last directory made, from the drive down,
// kept open so that each folder is opened once, relative to its own parent,
// and each directory is made relative to its parent instead of walking the
// whole path again. Open folder k has the first open_ends[k] characters of
// open_path (drive-letter form, ending with a backslash) as its path.
const int MAX_OPEN_DEPTH = 16;
char open_path[PATH_CAPACITY];
int open_ends[MAX_OPEN_DEPTH];
int open_descriptors[MAX_OPEN_DEPTH];
int open_depth = 0;

// A vanished reader of standard output must fail the write, not end the process.
bool broken_pipe_ignored = false;

// True when the name between two backslashes can stand as one folder name.
bool is_plain_name(const char *name, int length) {
    if (length == 0 || memchr(name, '/', length) != nullptr) return false;
    return !(name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.')));
}

// Copies the length characters at text into name as one terminated folder
// name; returns false when they cannot stand as one.
bool copy_name(const char *text, int length, char *name) {
    if (length >= PATH_CAPACITY || !is_plain_name(text, length)) return false;
    memcpy(name, text, length);
    name[length] = '\0';
    return true;
}

// Writes the POSIX path of the first length characters of a drive-letter
// path into mapped; returns false when the path is not of that form.
bool map_path(const char *path, int length, char *mapped) {
    if (length < 3 || path[1] != ':' || path[2] != '\\') return false;
    char letter = path[0];
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter + 0x20);
    if (letter < 'a' || letter > 'z') return false;
    int root_length = static_cast<int>(strlen(drive_root));
    if (root_length + length + 2 > PATH_CAPACITY) return false;
    memcpy(mapped, drive_root, root_length);
    int at = root_length;
    mapped[at++] = '/';
    mapped[at++] = letter;
    for (int start = 3; start < length;) {
        const char *stop = static_cast<const char *>(memchr(path + start, '\\', length - start));
        int end = stop ? static_cast<int>(stop - path) : length;
        if (!is_plain_name(path + start, end - start)) return false;
        mapped[at++] = '/';
        memcpy(mapped + at, path + start, end - start);
        at += end - start;
        start = end + 1;
    }
    mapped[at] = '\0';
    return true;
}

// Keeps descriptors 0 to 2 free, so that an open folder never stands in for
// a closed standard stream; returns the descriptor to use, or -1.
int above_standard_streams(int descriptor) {
    if (descriptor < 0 || descriptor >= FIRST_FREE_DESCRIPTOR) return descriptor;
    int moved = fcntl(descriptor, F_DUPFD_CLOEXEC, FIRST_FREE_DESCRIPTOR);
    close(descriptor);
    return moved;
}

// Closes the open folders from depth on, the deepest first.
void close_open_folders_from(int depth) {
    while (open_depth > depth) close(open_descriptors[--open_depth]);
}

// Returns how many of the open folders lie on the way to the folder named
// by the first length characters of path.
int depth_on_the_way(const char *path, int length) {
    int depth = open_depth;
    while (depth > 0 && (open_ends[depth - 1] > length ||
                         memcmp(path, open_path, open_ends[depth - 1]) != 0)) {
        depth--;
    }
    return depth;
}

// Records descriptor, just opened, as the next open folder, whose path is the
// first end characters of path; returns false when the open failed.
bool keep_open(int descriptor, const char *path, int end) {
    descriptor = above_standard_streams(descriptor);
    if (descriptor < 0) return false;
    int start = open_depth == 0 ? 0 : open_ends[open_depth - 1];
    memcpy(open_path + start, path + start, end - start);
    open_ends[open_depth] = end;
    open_descriptors[open_depth++] = descriptor;
    return true;
}

// Opens the drive folder of a drive-letter path; returns false when it cannot.
bool open_drive(const char *path, int length) {
    char mapped[PATH_CAPACITY];
    if (length < 3 || !map_path(path, 3, mapped)) return false;
    return keep_open(open(mapped, O_PATH | O_DIRECTORY | O_CLOEXEC), path, 3);
}

// Opens the next folder on the way to the first length characters of path,
// relative to the deepest open one; returns false when it cannot.
bool open_next(const char *path, int length) {
    if (open_depth == MAX_OPEN_DEPTH) return false;
    int start = open_ends[open_depth - 1];
    const char *stop = static_cast<const char *>(memchr(path + start, '\\', length - start));
    int end = stop ? static_cast<int>(stop - path) : length;
    char name[PATH_CAPACITY];
    if (end >= PATH_CAPACITY || !copy_name(path + start, end - start, name)) return false;
    int parent = open_descriptors[open_depth - 1];
    return keep_open(openat(parent, name, O_PATH | O_DIRECTORY | O_CLOEXEC), path,
                     stop ? end + 1 : end);
}

// Returns an open descriptor of the folder named by the first length
// characters of path (which end with a backslash), or -1 when it cannot be
// opened.
int open_parent(const char *path, int length) {
    close_open_folders_from(depth_on_the_way(path, length));
    if (open_depth == 0 && !open_drive(path, length)) return -1;
    while (open_ends[open_depth - 1] < length) {
        if (!open_next(path, length)) return -1;
    }
    return open_descriptors[open_depth - 1];
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

int os_make_directory(const char *path) {
    int length = static_cast<int>(strlen(path));
    int name_end = length > 0 && path[length - 1] == '\\' ? length - 1 : length;
    int name_start = name_end;
    while (name_start > 0 && path[name_start - 1] != '\\') name_start--;
    char name[PATH_CAPACITY];
    if (name_start == 0 || !copy_name(path + name_start, name_end - name_start, name)) return -1;
    int parent = open_parent(path, name_start);
    if (parent >= 0) {
        if (mkdirat(parent, name, 0777) == 0) return 0;
        if (errno != ENOENT) return -1;
        // The parent open here was removed since it was opened, and perhaps
        // made again: none of the open folders can be trusted any more.
        close_open_folders_from(0);
    }
    // The parent cannot be opened (most often it does not exist) or was
    // removed: the full path gives the answer the system gives.
    char mapped[PATH_CAPACITY];
    if (!map_path(path, length, mapped)) return -1;
    return mkdir(mapped, 0777) == 0 ? 0 : -1;
}
