// Drives that are real file systems: an image file on disk, formatted with
// mkfs and mounted only inside the private mount namespace of the command
// that uses it, so it vanishes with that command.
#ifndef VERRANT_TESTS_DRIVE_IMAGE_H
#define VERRANT_TESTS_DRIVE_IMAGE_H

#include <string>
#include <vector>

struct FileSystem {
    const char *type;          // tmpfs, ext4, xfs, btrfs, ntfs or exfat
    int megabytes;             // size of the image
    const char *mkfs_options;  // extra words for mkfs (for tmpfs, mount options)
    long leave_free_kib;       // >= 0: a file takes all the room but this before a run
};

struct DriveImage {
    FileSystem file_system;
    std::string image;  // the image file
};

// The command that runs script under sh in mount and process namespaces of
// its own: nothing outside sees its mounts, and everything it starts ends
// with it. The words after it are the script's $@.
std::vector<std::string> in_private_namespace(const std::string &script,
                                              const std::vector<std::string> &arguments = {});

// What this machine lacks to make and mount the file system, or "".
std::string missing_for(const FileSystem &file_system);
// Formats a new image file; false when mkfs failed.
bool make_image(DriveImage &drive, const std::string &image);

// The command that runs command with the drive mounted on mount_point, in a
// mount namespace of its own: mounts it, fills it as its file system asks,
// runs the command, then unmounts it, keeping the command's status. The
// shell lines around run before the command and again after it, inside the
// namespace (stopping a Wine server that runs outside it, say).
std::vector<std::string> with_drive_mounted(const DriveImage &drive, const std::string &mount_point,
                                            const std::vector<std::string> &command,
                                            const std::string &around = "");

// Waits until nothing holds the image, mounts it afresh read-only and
// returns every folder below its 1_100billion, the root included, as
// drive-letter paths, sorted. An image that cannot be read fails the test.
std::vector<std::string> folders_on_image(const DriveImage &drive, char letter);

std::vector<int> driver_processes(const std::string &image);  // the ntfs-3g ones

#endif
