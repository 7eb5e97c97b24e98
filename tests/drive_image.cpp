#include "tests/drive_image.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

const char *const kSuffixes[] = {"_billion", "_10000_million", "_100_million",
                                 "_million", "_10_thousand",   "_hundred"};
const std::string kFailedPrefix = "Failed to write ";

bool is_ntfs(const FileSystem &file_system) { return strcmp(file_system.type, "ntfs") == 0; }

bool command_exists(const std::string &name) {
    return system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool kernel_has(const std::string &type) {
    return read_file("/proc/filesystems").find("\t" + type + "\n") != std::string::npos;
}

// Single quotes for the shell.
std::string quoted(const std::string &word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string mount_command(const DriveImage &drive, const std::string &mount_point, bool read_only) {
    if (is_ntfs(drive.file_system)) {
        return std::string("ntfs-3g ") + (read_only ? "-o ro " : "") + quoted(drive.image) + " " +
               quoted(mount_point);
    }
    return std::string("mount -o loop") + (read_only ? ",ro " : " ") + quoted(drive.image) + " " +
           quoted(mount_point);
}

// Takes all the room on the mounted drive but leave_free_kib with one file.
std::string fill_command(const DriveImage &drive, const std::string &mount_point) {
    if (drive.file_system.leave_free_kib < 0) return "true";
    std::string filler = quoted(mount_point + "/filler");
    return "n=$(( $(stat -f -c '%a*%S' " + quoted(mount_point) + ") - " +
           std::to_string(drive.file_system.leave_free_kib) + " * 1024 )); fallocate -l $n " +
           filler + " 2>/dev/null || head -c $n /dev/zero > " + filler + " 2>/dev/null; true";
}

std::vector<std::string> in_namespace(const std::string &script) {
    return {"unshare", "-m", "--propagation", "private", "sh", "-c", script, "sh"};
}

// True while a loop device or a process (a FUSE driver) still has the image.
bool image_in_use(const std::string &image) {
    FILE *loops = popen(("losetup -j " + quoted(image) + " 2>/dev/null").c_str(), "r");
    char line[512];
    bool looped = loops && fgets(line, sizeof line, loops) != nullptr;
    if (loops) pclose(loops);
    return looped || !processes_naming(image).empty();
}

}  // namespace

std::vector<int> processes_naming(const std::string &word) {
    std::vector<int> found;
    DIR *proc = opendir("/proc");
    while (dirent *entry = proc ? readdir(proc) : nullptr) {
        std::string words = read_file(std::string("/proc/") + entry->d_name + "/cmdline");
        if (words.find(std::string(1, '\0') + word + '\0') != std::string::npos) {
            found.push_back(atoi(entry->d_name));
        }
    }
    if (proc) closedir(proc);
    return found;
}

std::string missing_for(const FileSystem &file_system) {
    std::string type = file_system.type;
    if (system("unshare -m --propagation private true >/dev/null 2>&1") != 0)
        return "mount namespaces (run as root)";
    if (!command_exists("mkfs." + type)) return "mkfs." + type;
    if (is_ntfs(file_system)) {
        if (!command_exists("ntfs-3g")) return "ntfs-3g";
        if (access("/dev/fuse", R_OK | W_OK) != 0) return "/dev/fuse";
        return "";
    }
    if (!kernel_has(type) && system(("modprobe " + type + " 2>/dev/null").c_str()) != 0)
        return "the kernel's " + type + " file system";
    if (access("/dev/loop-control", R_OK | W_OK) != 0) return "loop devices";
    return "";
}

bool make_image(DriveImage &drive, const std::string &image) {
    drive.image = image;
    std::string type = drive.file_system.type;
    std::string force = type == "ext4" ? "-F -q" : type == "ntfs" ? "-F -f -q" : "-f -q";
    std::string command = "truncate -s " + std::to_string(drive.file_system.megabytes) + "M " +
                          quoted(image) + " && mkfs." + type + " " + force + " " +
                          drive.file_system.mkfs_options + " " + quoted(image) + " >/dev/null 2>&1";
    return system(command.c_str()) == 0;
}

std::vector<std::string> with_drive_mounted(const DriveImage &drive, const std::string &mount_point,
                                            const std::vector<std::string> &command, bool wine) {
    // An interrupt stops the command, not this script, so the drive is
    // still unmounted cleanly.
    std::string script = "trap : INT; " + mount_command(drive, mount_point, false) + " || exit 125; " +
                         fill_command(drive, mount_point) + "; \"$@\"; status=$?; " +
                         (wine ? "wineserver -k 2>/dev/null; wineserver -w; " : "") + "umount " +
                         quoted(mount_point) + "; exit $status";
    std::vector<std::string> words = in_namespace(script);
    words.insert(words.end(), command.begin(), command.end());
    return words;
}

std::vector<std::string> folders_on_image(const DriveImage &drive, char letter) {
    for (int tries = 0; tries < 300 && image_in_use(drive.image); tries++) usleep(100 * 1000);
    TempFolder mount_point;
    std::string root = mount_point.path + "/1_100billion";
    RunOptions options;
    options.command = in_namespace(mount_command(drive, mount_point.path, true) + " && find " +
                                   quoted(root) + " -type d -printf '%P\\n'; umount " +
                                   quoted(mount_point.path));
    std::istringstream lines(run_program(options).output);
    std::vector<std::string> folders;
    for (std::string line; std::getline(lines, line);) {
        std::replace(line.begin(), line.end(), '/', '\\');
        folders.push_back(std::string(1, letter) + ":\\1_100billion\\" + line + (line.empty() ? "" : "\\"));
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

namespace {

void walk_level(int level, const std::string &parent, int width, size_t limit,
                std::vector<std::string> &into) {
    for (int index = 1; index <= width && into.size() < limit; index++) {
        char name[32];
        snprintf(name, sizeof name, "%03d%s\\", index, kSuffixes[level - 1]);
        std::string path = parent + name;
        into.push_back(path);
        if (level < 6) walk_level(level + 1, path, width, limit, into);
    }
}

}  // namespace

std::vector<std::string> walk_paths(char letter, int width, size_t limit) {
    std::string root = std::string(1, letter) + ":\\1_100billion\\";
    std::vector<std::string> paths = {root};
    walk_level(1, root, width, limit, paths);
    return paths;
}

WalkCheck check_walk(const std::vector<std::string> &echoed, const std::vector<std::string> &walk) {
    WalkCheck check;
    check.in_walk_order = echoed.size() <= walk.size();
    for (size_t i = 0; i < echoed.size(); i++) {
        bool failed = echoed[i].rfind(kFailedPrefix, 0) == 0;
        std::string bare = failed ? echoed[i].substr(kFailedPrefix.size()) : echoed[i];
        if (i >= walk.size() || bare != walk[i]) {
            check.in_walk_order = false;
            check.first_mismatch = "echoed #" + std::to_string(i) + ": " + echoed[i];
            break;
        }
        if (failed)
            check.failed++;
        else
            check.made.push_back(bare);
    }
    std::sort(check.made.begin(), check.made.end());
    return check;
}
