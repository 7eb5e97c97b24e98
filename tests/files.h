// Folders and files a test makes and reads.
#ifndef VERRANT_TESTS_FILES_H
#define VERRANT_TESTS_FILES_H

#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with everything
// in it when the test ends.
struct TempFolder {
    std::string path;
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
};

// Removes path and everything below it, read-only folders included.
void remove_all(const std::string &path);

// Makes the folder and every missing one above it.
void make_folders(const std::string &path);

void write_file(const std::string &path, const std::string &bytes);
std::string read_file(const std::string &path);

// Every folder below root, as drive-letter paths "X:\a\b\" (root's own name
// given by prefix), sorted.
std::vector<std::string> folders_below(const std::string &root, const std::string &prefix);

#endif
