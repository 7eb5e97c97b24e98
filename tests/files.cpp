#include "tests/files.h"

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

TempFolder::TempFolder() {
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/verrant-test-XXXXXX";
    path = mkdtemp(pattern.data()) ? pattern : "";
}

TempFolder::~TempFolder() {
    if (!path.empty()) remove_all(path);
}

void remove_all(const std::string &path) {
    // Read-only folders are made writable first, so everything can go.
    auto writable = [](const char *p, const struct stat *, int type, FTW *) {
        if (type == FTW_D || type == FTW_DNR) chmod(p, 0755);
        return 0;
    };
    auto remove_one = [](const char *p, const struct stat *, int, FTW *) { return remove(p); };
    nftw(path.c_str(), writable, 64, FTW_PHYS);
    nftw(path.c_str(), remove_one, 64, FTW_DEPTH | FTW_PHYS);
}

void make_folders(const std::string &path) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        mkdir(path.substr(0, at).c_str(), 0755);
    mkdir(path.c_str(), 0755);
}

void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string read_file(const std::string &path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

namespace {

void collect(const std::string &folder, const std::string &shown, std::vector<std::string> &into) {
    DIR *dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent *entry = readdir(dir)) {
        std::string name = entry->d_name, full = folder + "/" + name;
        struct stat info;
        if (name == "." || name == ".." || lstat(full.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            continue;
        into.push_back(shown + name + "\\");
        collect(full, shown + name + "\\", into);
    }
    closedir(dir);
}

}  // namespace

std::vector<std::string> folders_below(const std::string &root, const std::string &prefix) {
    std::vector<std::string> found;
    collect(root, prefix, found);
    std::sort(found.begin(), found.end());
    return found;
}
