#include "tests/drive_image.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "tests/files.h"
#include "tests/process.h"
#include "tests/programs.h"

namespace {

bool is(const FileSystem &file_system, const char *type) { return strcmp(file_system.type, type) == 0; }

bool succeeds(const std::string &command) { return system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string mount_command(const DriveImage &drive, const std::string &mount_point, bool read_only) {
    std::string point = shell_quoted(mount_point), image = shell_quoted(drive.image);
    if (is(drive.file_system, "tmpfs"))
        return std::string("mount -t tmpfs -o ") + drive.file_system.mkfs_options + " none " + point;
    if (is(drive.file_system, "ntfs")) return std::string("ntfs-3g ") + (read_only ? "-o ro " : "") + image + " " + point;
    // exFAT through its FUSE driver on a loop device, as a stick would be; the
    // device, detached while in use, goes when the driver lets it go.
    if (is(drive.file_system, "exfat"))
        return "{ dev=$(losetup -f --show " + image + ") && mount.exfat-fuse " + (read_only ? "-o ro " : "") +
               "\"$dev\" " + point + " && losetup -d \"$dev\"; }";
    return std::string("mount -o loop") + (read_only ? ",ro " : " ") + image + " " + point;
}

// Takes all the room on the mounted drive but leave_free_kib with one file;
// fails when it cannot.
std::string fill_command(const DriveImage &drive, const std::string &mount_point) {
    if (drive.file_system.leave_free_kib < 0) return "true";
    std::string filler = shell_quoted(mount_point + "/filler");
    return "n=$(( $(stat -f -c '%a*%S' " + shell_quoted(mount_point) + ") - " +
           std::to_string(drive.file_system.leave_free_kib) + " * 1024 )) && { fallocate -l $n " +
           filler + " 2>/dev/null || head -c $n /dev/zero > " + filler + "; }";
}

}  // namespace

std::vector<std::string> in_private_namespace(const std::string &script,
                                              const std::vector<std::string> &arguments) {
    // Its own process numbers too, so that whatever the script starts, a
    // daemon in a session of its own included, ends when it ends or is killed.
    std::vector<std::string> words = {"unshare", "-m", "--propagation", "private", "--fork", "--pid",
                                      "--kill-child", "sh", "-c", script, "sh"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return words;
}

std::vector<int> driver_processes(const std::string &image) {
    RunOptions search;
    search.command = {"pgrep", "-f", "^ntfs-3g .*" + image};
    std::istringstream pids(run_program(search).output);
    std::vector<int> found;
    for (int pid; pids >> pid;) found.push_back(pid);
    return found;
}

std::string missing_for(const FileSystem &file_system) {
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

bool make_image(DriveImage &drive, const std::string &image) {
    drive.image = image;
    std::string type = drive.file_system.type;
    if (type == "tmpfs") return true;
    std::string force = type == "ext4" ? "-F -q" : type == "ntfs" ? "-F -f -q" : type == "exfat" ? "" : "-f -q";
    return succeeds("truncate -s " + std::to_string(drive.file_system.megabytes) + "M " +
                    shell_quoted(image) + " && mkfs." + type + " " + force + " " +
                    drive.file_system.mkfs_options + " " + shell_quoted(image));
}

std::vector<std::string> with_drive_mounted(const DriveImage &drive, const std::string &mount_point,
                                            const std::vector<std::string> &command,
                                            const std::string &around) {
    // An interrupt stops the command, not this script, so the drive is still
    // unmounted cleanly.
    std::string script = "trap : INT; " + mount_command(drive, mount_point, false) + " || exit 125; " +
                         fill_command(drive, mount_point) + " || exit 124; " + around +
                         "\n\"$@\"; status=$?; " + around + "\numount " + shell_quoted(mount_point) +
                         "; exit $status";
    return in_private_namespace(script, command);
}

std::vector<std::string> folders_on_image(const DriveImage &drive, char letter) {
    TempFolder mount_point;
    std::string root = mount_point.path + "/1_100billion";
    RunOptions options;
    // Whoever used the image last can hold it a while after its run (a loop
    // device detaching, ntfs-3g finishing or dying): try the mount for 30 s.
    std::string mount = mount_command(drive, mount_point.path, true);
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
