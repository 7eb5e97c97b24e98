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

// Writes at number the part of a path that every folder of level shares
// after its parent path: room for the number, the level's suffix and a
// backslash. Returns where that part ends.
char *lay_out_level(int level, char *number) {
    std::string_view suffix = suffix_of(level);
    char *backslash = append(number + NUMBER_DIGITS, suffix.data(), suffix.size());
    *backslash = '\\';
    return backslash + 1;
}

// Writes into pdir_level the path that every folder of level under the
// parent path shares, all but its number and terminator. Returns where the
// number goes.
char *start_level_path(int level, const char *parent_path, size_t parent_length) {
    char *number = append(pdir_level, parent_path, parent_length);
    lay_out_level(level, number);
    return number;
}

// What the walk prints before a folder it could not make, with its length.
constexpr std::string_view failed_prefix = "Failed to write ";

// Numbers the path laid out in pdir_level, ending it at end, makes that
// folder and reports it, followed by line_ends line feeds. The path's count
// bytes from `from` and its end are all that differ from the folder made
// last; a from of 0 says that is not known.
void make_numbered_folder(int index, char *number, char *end, int from, int count, int line_ends) {
    // Read once each: the globals could otherwise be read again after every
    // byte written.
    char *digits = pint_a_2_str;
    char *path = pdir_level;
    format_number(digits, index);
    memcpy(number, digits, NUMBER_DIGITS);
    *end = '\0';
    int length = static_cast<int>(end - path);
    if (make_directory_after(path, length, from, count) != 0)
        print_plain_text(failed_prefix.data(), static_cast<int>(failed_prefix.size()));
    print_plain_lines(path, length, line_ends);
}

// Where a folder's path ends when its number is written at number.
char *path_end(int level, char *number) {
    return number + NUMBER_DIGITS + suffix_of(level).size() + 1;
}

void walk_level(int level, size_t parent_length, bool parent_made);

// Makes folder index of a level above the leaves, whose folders' numbers go
// at number and whose paths end at end, and everything below it, keeping a
// copy of its path in the level's buffer; from and count are as for
// make_numbered_folder.
void walk_folder(int level, int index, char *number, char *end, int from, int count, char *copy) {
    make_numbered_folder(index, number, end, from, count, 2);
    size_t path_length = end - pdir_level;
    memcpy(copy, pdir_level, path_length + 1);
    walk_level(level + 1, path_length, true);
}

// build_level for a parent path of parent_length bytes, which holds no line
// feed, once pdir_level holds the parent path followed by the layout of
// every level below it; parent_made is true when the parent folder was the
// last one made or tried. Every path of a level has the same length, so
// each level's suffix stays where it was laid out, and a folder writes only
// its number and its end. The first folder of a level follows its parent,
// so only its name is new to the platform; every other follows a sibling or
// a sibling's descendant, so only its number is.
//
// The console's and the platform's services are inlined into the walk, so
// that a folder's usual case makes no call but into the C library. That
// takes three things together: flatten here, link-time optimization
// (CMakeLists.txt), which lets it reach into console.cpp and os_posix.cpp,
// and the noinline marks there, which keep each file's rare, long paths out
// of the walk.
[[gnu::flatten]] void walk_level(int level, size_t parent_length, bool parent_made) {
    // Each entry to a level still obtains a buffer for a private copy of its
    // parent folder's path, as when that copy was the only place the path was
    // kept: a heap that cannot give it ends the walk of this level, and only
    // that part of the tree is missing. The walk reads the path from
    // pdir_level, where it already stands.
    char *copy = static_cast<char *>(malloc(COPY_CAPACITY));
    if (copy == nullptr) return;
    char *number = pdir_level + parent_length;
    char *end = path_end(level, number);
    // Only a number that follows a backslash begins a name of its own: the
    // platform is told nothing of a parent path that does not end in one.
    int at = parent_length > 0 && number[-1] == '\\' ? static_cast<int>(parent_length) : 0;
    int name_length = static_cast<int>(end - number) - 1;
    int digits = static_cast<int>(NUMBER_DIGITS);
    if (level == LEAF_LEVEL) {
        // A leaf's line is followed by a blank line of its own.
        if (folders_per_level >= 1)
            make_numbered_folder(1, number, end, parent_made ? at : 0, name_length, 3);
        for (int index = 2; index <= folders_per_level; index++)
            make_numbered_folder(index, number, end, at, digits, 3);
    } else {
        if (folders_per_level >= 1)
            walk_folder(level, 1, number, end, parent_made ? at : 0, name_length, copy);
        for (int index = 2; index <= folders_per_level; index++)
            walk_folder(level, index, number, end, at, digits, copy);
    }
    free(copy);
}

}  // namespace

void create_level_folder(int level, int index, const char *parent_path) {
    char *number = start_level_path(level, parent_path, strlen(parent_path));
    make_numbered_folder(index, number, path_end(level, number), 0, 0, 2);
}

void build_level(int level, const char *parent_path) {
    size_t parent_length = strlen(parent_path);
    char *number = append(pdir_level, parent_path, parent_length);
    for (int below = level; below >= 1 && below <= LEAF_LEVEL; below++)
        number = lay_out_level(below, number);
    walk_level(level, parent_length, false);
}
