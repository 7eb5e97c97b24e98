// Folders and files a test makes and reads.
#ifndef VERRANT_TESTS_FILES_H
#define VERRANT_TESTS_FILES_H

#include <ftw.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// Removes path and everything below it, read-only folders made writable first.
inline void remove_all(const std::string &path) {
    auto writable = [](const char *p, const struct stat *, int type, FTW *) {
        if (type == FTW_D || type == FTW_DNR) chmod(p, 0755);
        return 0;
    };
    auto remove_one = [](const char *p, const struct stat *, int, FTW *) { return remove(p); };
    nftw(path.c_str(), writable, 64, FTW_PHYS);
    nftw(path.c_str(), remove_one, 64, FTW_DEPTH | FTW_PHYS);
}

// A fresh folder under the system's temporary folder, removed with everything
// in it when the test ends.
struct TempFolder {
    std::string path;
    TempFolder() {
        const char *tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/verrant-test-XXXXXX";
        path = mkdtemp(pattern.data()) ? pattern : "";
    }
    ~TempFolder() {
        if (!path.empty()) remove_all(path);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
};

// Makes the folder and every missing one above it.
inline void make_folders(const std::string &path) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        mkdir(path.substr(0, at).c_str(), 0755);
    mkdir(path.c_str(), 0755);
}

inline void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string read_file(const std::string &path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// Every folder below root, as drive-letter paths "X:\a\b\" (root's own name
// given by prefix), sorted; symbolic links are not followed.
inline std::vector<std::string> folders_below(const std::string &root, const std::string &prefix) {
    std::vector<std::string> found;
    std::error_code error;
    auto options = std::filesystem::directory_options::skip_permission_denied;
    for (std::filesystem::recursive_directory_iterator it(root, options, error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_directory() || it->is_symlink()) continue;
        std::string relative = std::filesystem::relative(it->path(), root).string();
        std::replace(relative.begin(), relative.end(), '/', '\\');
        found.push_back(prefix + relative + "\\");
    }
    std::sort(found.begin(), found.end());
    return found;
}

#endif
