// Drives that are real file systems, image files made with mkfs, mounted only
// in the private mount namespace of the command that uses them.
#ifndef VERRANT_TESTS_DRIVE_IMAGE_H
#define VERRANT_TESTS_DRIVE_IMAGE_H

#include <gtest/gtest.h>

#include "tests/programs.h"

struct FileSystem {
    std::string type;          // tmpfs, ext4, xfs, btrfs, ntfs or exfat
    int megabytes;             // size of the image
    std::string mkfs_options;  // extra words for mkfs (for tmpfs, mount options)
    long leave_free_kib;       // >= 0: a file takes all the room but this before a run
    std::string image = "";    // the image file, once made
};

inline bool succeeds(const std::string &command) { return system((command + " >/dev/null 2>&1").c_str()) == 0; }

// The shell command that mounts the drive on mount_point, read-only ("ro"),
// or taken by a file but how KiB.
inline std::string mount_command(const FileSystem &drive, const std::string &mount_point, const std::string &how) {
    if (drive.type == "tmpfs") return "mount -t tmpfs -o " + drive.mkfs_options + " none " + shell_quoted(mount_point);
    return "bash " VERRANT_DRIVE_SH " mount " + shell_quoted(drive.image) + " " + drive.type + " " +
           shell_quoted(mount_point) + " " + how;
}

// The command that runs script under sh, the arguments its $@, in mount and
// process namespaces of its own: nothing outside sees its mounts, and all it
// starts, a daemon in a session of its own too, ends when it ends or is killed.
inline std::vector<std::string> in_private_namespace(const std::string &script,
                                                     const std::vector<std::string> &arguments = {}) {
    std::vector<std::string> words = {"unshare", "-m", "--propagation", "private", "--fork", "--pid",
                                      "--kill-child", "sh", "-c", script, "sh"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return words;
}

// What this machine lacks to make and mount the file system, or "".
inline std::string missing_for(const FileSystem &file_system) {
    const std::string &type = file_system.type;
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
inline bool make_image(FileSystem &drive, const std::string &image) {
    drive.image = image;
    return drive.type == "tmpfs" || succeeds("bash " VERRANT_DRIVE_SH " make " + shell_quoted(image) + " " +
                                             drive.type + " " + std::to_string(drive.megabytes) + " " +
                                             drive.mkfs_options);
}

// The command that runs command, keeping its status, in a namespace of its
// own with the drive mounted on mount_point (filled as the drive asks), the
// shell lines around run before and after it (stopping a Wine server outside,
// say). An interrupt stops the command, not the script that unmounts.
inline std::vector<std::string> with_drive_mounted(const FileSystem &drive, const std::string &mount_point,
                                                   const std::vector<std::string> &command,
                                                   const std::string &around = "") {
    long leave = drive.leave_free_kib;
    std::string script = "trap : INT; " + mount_command(drive, mount_point, leave >= 0 ? std::to_string(leave) : "") +
                         " || exit 125; " + around + "\n\"$@\"; status=$?; " + around + "\numount " +
                         shell_quoted(mount_point) + "; exit $status";
    return in_private_namespace(script, command);
}

// Every folder from the image's 1_100billion down, as sorted paths on drive
// letter (either case), read from a fresh read-only mount, tried for 30 s
// while the last user holds the image (a loop device detaching, ntfs-3g
// ending). An image that cannot be read fails the test.
inline std::vector<std::string> folders_on_image(const FileSystem &drive, char letter) {
    TempFolder mount_point;
    std::string root = mount_point.path + "/1_100billion";
    RunOptions options;
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
        folders.push_back(std::string(1, static_cast<char>(toupper(letter))) + ":\\1_100billion\\" + line +
                          (line.empty() ? "" : "\\"));
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
