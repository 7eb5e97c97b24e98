// The raw operating-system side of the console and of directory creation.
// One file per platform defines these; everything above them is shared.
#ifndef VERRANT_PLATFORM_OS_H
#define VERRANT_PLATFORM_OS_H

// Streams are named by number: 0 is standard input, 1 standard output.
// Other numbers are passed through as descriptors where the platform has them.
const int STDIN_STREAM = 0;
const int STDOUT_STREAM = 1;

// Reads up to cap bytes; returns the count read, 0 at end of data, -1 on failure.
int os_read(int stream, char *buffer, int cap);

// Writes up to length bytes; returns the count taken, -1 on failure.
int os_write(int stream, const char *bytes, int length);

// Returns true when the stream is attached to a terminal or console.
bool os_is_terminal(int stream);

// The folder that holds one folder per drive letter on systems without drive
// letters (drive X is drive_root/x); each program defines it when it is built.
extern const char drive_root[];
// Its length, fixed with it, so mapping a path need not measure it.
extern const int drive_root_length;

// Creates the one directory named by a drive-letter path ("C:\a\b\");
// returns 0 when it was created, -1 when it was not.
int os_make_directory(const char *path);

// os_make_directory for a path of length bytes that differs from the path of
// the last call only in the count bytes from `from`, which follow a
// backslash and hold none, and in where it ends: the last path is either
// the path's first `from` bytes (its parent), or the path but for those
// bytes, alone (a sibling) or with more names after it (a sibling's
// descendant). The walk knows this of every folder, so only those bytes
// need mapping.
int os_make_directory_after(const char *path, int length, int from, int count);

#endif
