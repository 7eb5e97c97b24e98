// Drives that are real file systems: an image file on disk, formatted with
// mkfs and mounted only inside the private mount namespace of the command
// that uses it, so it vanishes with that command.
#ifndef VERRANT_TESTS_DRIVE_IMAGE_H
#define VERRANT_TESTS_DRIVE_IMAGE_H

#include <gtest/gtest.h>

#include "tests/files.h"
#include "tests/process.h"
#include "tests/programs.h"

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

inline bool is(const FileSystem &file_system, const char *type) { return strcmp(file_system.type, type) == 0; }

inline bool succeeds(const std::string &command) { return system((command + " >/dev/null 2>&1").c_str()) == 0; }

// The shell command that mounts the drive on mount_point, read-only ("ro"),
// or taken by a file but how KiB.
inline std::string mount_command(const DriveImage &drive, const std::string &mount_point, const std::string &how) {
    if (is(drive.file_system, "tmpfs"))
        return std::string("mount -t tmpfs -o ") + drive.file_system.mkfs_options + " none " + shell_quoted(mount_point);
    return "bash " VERRANT_DRIVE_SH " mount " + shell_quoted(drive.image) + " " + drive.file_system.type + " " +
           shell_quoted(mount_point) + " " + how;
}

// The command that runs script under sh in mount and process namespaces of
// its own: nothing outside sees its mounts, and everything it starts ends
// with it. The words after it are the script's $@.
inline std::vector<std::string> in_private_namespace(const std::string &script,
                                                     const std::vector<std::string> &arguments = {}) {
    // Its own process numbers too, so that whatever the script starts, a
    // daemon in a session of its own included, ends when it ends or is killed.
    std::vector<std::string> words = {"unshare", "-m", "--propagation", "private", "--fork", "--pid",
                                      "--kill-child", "sh", "-c", script, "sh"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return words;
}

// What this machine lacks to make and mount the file system, or "".
inline std::string missing_for(const FileSystem &file_system) {
    std::string type = file_system.type;
    if (!succeeds("unshare -m --propagation private true")) return "mount namespaces (run as root)";
    if (type == "tmpfs") return "";
    if (!succeeds("command -v mkfs." + type)) return "mkfs." + type;
    if (type == "ntfs" || type == "exfat") {
        std::string driver = type == "ntfs" ? "ntfs-3g" : "mount.exfat-fuse";
        if (!succeeds("command -v " + driver)) return driver;
        if (access("/dev/fuse", R_OK | W_OK) != 0) return "/dev/fuse";
        if (type == "ntfs") return "";
    }
    bool in_kernel = type == "exfat" || read_file("/proc/filesystems").find("\t" + type + "\n") != std::string::npos;
    if (!in_kernel && !succeeds("modprobe " + type)) return "the kernel's " + type + " file system";
    return access("/dev/loop-control", R_OK | W_OK) == 0 ? "" : "loop devices";
}
// Formats a new image file; false when mkfs failed.
inline bool make_image(DriveImage &drive, const std::string &image) {
    drive.image = image;
    if (is(drive.file_system, "tmpfs")) return true;
    return succeeds("bash " VERRANT_DRIVE_SH " make " + shell_quoted(image) + " " + drive.file_system.type + " " +
                    std::to_string(drive.file_system.megabytes) + " " + drive.file_system.mkfs_options);
}

// The command that runs command with the drive mounted on mount_point (and
// filled as its file system asks) in a mount namespace of its own, keeping
// its status. The shell lines around run before and after it, inside the
// namespace (stopping a Wine server that runs outside it, say).
inline std::vector<std::string> with_drive_mounted(const DriveImage &drive, const std::string &mount_point,
                                                   const std::vector<std::string> &command,
                                                   const std::string &around = "") {
    // An interrupt stops the command, not this script, so the drive is still
    // unmounted cleanly.
    long leave = drive.file_system.leave_free_kib;
    std::string script = "trap : INT; " + mount_command(drive, mount_point, leave >= 0 ? std::to_string(leave) : "") +
                         " || exit 125; " + around +
                         "\n\"$@\"; status=$?; " + around + "\numount " + shell_quoted(mount_point) +
                         "; exit $status";
    return in_private_namespace(script, command);
}

// Waits until nothing holds the image, mounts it afresh read-only and
// returns every folder below its 1_100billion, the root included, as
// drive-letter paths, sorted. An image that cannot be read fails the test.
inline std::vector<std::string> folders_on_image(const DriveImage &drive, char letter) {
    TempFolder mount_point;
    std::string root = mount_point.path + "/1_100billion";
    RunOptions options;
    // Whoever used the image last can hold it a while after its run (a loop
    // device detaching, ntfs-3g finishing or dying): try the mount for 30 s.
    std::string mount = mount_command(drive, mount_point.path, "ro");
    options.command = in_private_namespace(
        "tries=0; until " + mount + "; do [ $((tries += 1)) -lt 300 ] || exit 125; sleep 0.1; done; find " +
        shell_quoted(root) + " -type d -printf '%P\\n'; status=$?; umount " + shell_quoted(mount_point.path) +
        "; exit $status");
    RunResult read = run_program(options);
    if (!read.exited || read.exit_status != 0)
        ADD_FAILURE() << "cannot read the folders on " << drive.image << " (status " << read.exit_status
                      << "):\n" << read.error;
    std::istringstream lines(read.output);
    std::vector<std::string> folders;
    for (std::string line; std::getline(lines, line);) {
        std::replace(line.begin(), line.end(), '/', '\\');
        folders.push_back(std::string(1, letter) + ":\\1_100billion\\" + line + (line.empty() ? "" : "\\"));
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

// The ntfs-3g drivers that have the image mounted.
inline std::vector<int> driver_processes(const std::string &image) {
    RunOptions search;
    search.command = {"pgrep", "-f", "^ntfs-3g .*" + image};
    std::istringstream pids(run_program(search).output);
    std::vector<int> found;
    for (int pid; pids >> pid;) found.push_back(pid);
    return found;
}

#endif
