#include "tree/tree.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/console.h"

char *pint_a_2_str = nullptr;
char *pdir_level = nullptr;

namespace {

// Digits of every folder number.
const size_t NUMBER_DIGITS = 3;

// Each with its length, so composing a path measures only the parent path.
constexpr std::string_view level_suffixes[LEAF_LEVEL + 1] = {
    "", "_billion", "_10000_million", "_100_million", "_million", "_10_thousand", "_hundred",
};

std::string_view suffix_of(int level) {
    return level >= 1 && level <= LEAF_LEVEL ? level_suffixes[level] : level_suffixes[0];
}

// Copies length bytes of text to dest; returns the position after them.
char *append(char *dest, const char *text, size_t length) {
    memcpy(dest, text, length);
    return dest + length;
}

// Writes into pdir_level the path that every folder of level under the
// parent path shares, all but its number and terminator: the parent path,
// room for the number, the level's suffix and a backslash. Returns where
// the number goes.
char *start_level_path(int level, const char *parent_path, size_t parent_length) {
    char *number = append(pdir_level, parent_path, parent_length);
    std::string_view suffix = suffix_of(level);
    append(number + NUMBER_DIGITS, suffix.data(), suffix.size())[0] = '\\';
    return number;
}

// Numbers the path that start_level_path wrote, ending it at end, makes that
// folder and reports it. Everything below the folder is written after its
// path, so the shared part stays in place while a level is walked.
void make_numbered_folder(int index, char *number, char *end) {
    // Read once: the global could otherwise be read again after the call.
    char *digits = pint_a_2_str;
    format_number(digits, index);
    memcpy(number, digits, NUMBER_DIGITS);
    *end = '\0';
    if (make_directory(pdir_level) != 0) print_text("Failed to write ");
    print_line(pdir_level);
    print_text("\n");
}

// Where a folder's path ends when its number is written at number.
char *path_end(int level, char *number) {
    return number + NUMBER_DIGITS + suffix_of(level).size() + 1;
}

// build_level for a parent path of known length. The console's and the
// platform's services are inlined into the walk, so that a folder's usual
// case makes no call but into the C library. That takes three things
// together: flatten here, link-time optimization (CMakeLists.txt), which
// lets it reach into console.cpp and os_posix.cpp, and the noinline marks
// there, which keep each file's rare, long paths out of the walk.
[[gnu::flatten]] void walk_level(int level, const char *parent_path, size_t parent_length) {
    // Each entry to a level still obtains a private copy of the path of the
    // folder whose children it makes, and hands that copy down as the next
    // level's parent path, although pdir_level already holds the same bytes:
    // a heap that cannot give it ends the walk of this level, and only that
    // part of the tree is missing, as it was when the copy was the only
    // place the parent path was kept.
    char *copy = static_cast<char *>(malloc(COPY_CAPACITY));
    if (copy == nullptr) return;
    // The parent path is written once for the whole level; each folder then
    // needs only its number.
    char *number = start_level_path(level, parent_path, parent_length);
    char *end = path_end(level, number);
    size_t path_length = end - pdir_level;
    for (int index = 1; index <= folders_per_level; index++) {
        make_numbered_folder(index, number, end);
        if (level < LEAF_LEVEL) {
            memcpy(copy, pdir_level, path_length + 1);
            walk_level(level + 1, copy, path_length);
        } else {
            print_text("\n");
        }
    }
    free(copy);
}

}  // namespace

void create_level_folder(int level, int index, const char *parent_path) {
    char *number = start_level_path(level, parent_path, strlen(parent_path));
    make_numbered_folder(index, number, path_end(level, number));
}

void build_level(int level, const char *parent_path) {
    walk_level(level, parent_path, strlen(parent_path));
}
