#include "tree/tree.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/console.h"

char *pint_a_2_str = nullptr;
char *pdir_level = nullptr;

namespace {

// Room for the path of the folder whose children are being made.
const size_t COPY_CAPACITY = 132;

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

}  // namespace

void create_level_folder(int level, int index, const char *parent_path) {
    int digits = format_number(pint_a_2_str, index);
    char *end = append(pdir_level, parent_path, strlen(parent_path));
    end = append(end, pint_a_2_str, digits);
    std::string_view suffix = suffix_of(level);
    end = append(end, suffix.data(), suffix.size());
    end[0] = '\\';
    end[1] = '\0';
    if (make_directory(pdir_level) != 0) print_text("Failed to write ");
    print_line(pdir_level);
    print_text("\n");
}

void build_level(int level, const char *parent_path) {
    char *copy = static_cast<char *>(malloc(COPY_CAPACITY));
    // Without room for the parent path no folder of this level can be made
    // under it; the walk goes on one level up.
    if (copy == nullptr) return;
    // Every path of this level is as long: the parent path, a number, the
    // level's suffix and a backslash.
    size_t path_length = strlen(parent_path) + NUMBER_DIGITS + suffix_of(level).size() + 1;
    for (int index = 1; index <= folders_per_level; index++) {
        create_level_folder(level, index, parent_path);
        memcpy(copy, pdir_level, path_length + 1);
        if (level < LEAF_LEVEL)
            build_level(level + 1, copy);
        else
            print_text("\n");
    }
    free(copy);
}
