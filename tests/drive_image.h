// Drives that are real file systems: an image file on disk, formatted with
// mkfs and mounted only inside the private mount namespace of the command
// that uses it, so it vanishes with that command. And the walk a program of
// a given width makes, to compare with what it echoed and left on a drive.
#ifndef VERRANT_TESTS_DRIVE_IMAGE_H
#define VERRANT_TESTS_DRIVE_IMAGE_H

#include <cstdint>
#include <string>
#include <vector>

#include "tests/run_program.h"

struct FileSystem {
    const char *type;          // ext4, xfs, btrfs or ntfs
    int megabytes;             // size of the image
    const char *mkfs_options;  // extra words for mkfs
    long leave_free_kib;       // >= 0: a file takes all the room but this before a run
};

struct DriveImage {
    FileSystem file_system;
    std::string image;  // the image file
};

// What this machine lacks to make and mount the file system; empty when nothing.
std::string missing_for(const FileSystem &file_system);

// The processes with word as one of their arguments (a FUSE driver names
// its image so).
std::vector<int> processes_naming(const std::string &word);

// Formats a new image file; returns false when mkfs failed.
bool make_image(DriveImage &drive, const std::string &image);

// Runs command with the drive mounted on mount_point, in a mount namespace
// of its own: mounts it, fills it as its file system asks, runs the command,
// then unmounts it (the command's status is kept). With wine, the Wine server
// is started and stopped inside the namespace, as it is the one that makes
// folders for a Windows program.
std::vector<std::string> with_drive_mounted(const DriveImage &drive, const std::string &mount_point,
                                            const std::vector<std::string> &command,
                                            bool wine = false);

// Waits until nothing holds the image, mounts it afresh read-only and
// returns every folder below its 1_100billion, the root included, as
// drive-letter paths, sorted.
std::vector<std::string> folders_on_image(const DriveImage &drive, char letter);

// The folders a program of width makes on drive letter (upper case), the
// root first, in the order it makes them: all of them, or the first limit.
std::vector<std::string> walk_paths(char letter, int width, size_t limit = SIZE_MAX);

// How a transcript's echoed paths match a walk: in walk order, every folder
// either echoed as made or reported failed, and the list of the made ones.
struct WalkCheck {
    bool in_walk_order = false;  // echoed[i] is walk[i], with or without "Failed to write "
    std::string first_mismatch;  // where it is not
    std::vector<std::string> made;  // sorted
    size_t failed = 0;
};
WalkCheck check_walk(const std::vector<std::string> &echoed, const std::vector<std::string> &walk);

#endif
