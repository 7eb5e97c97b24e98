#include "tree/tree.h"

#include <cstdlib>
#include <cstring>

#include "platform/console.h"

char *pint_a_2_str = nullptr;
char *pdir_level = nullptr;

namespace {

// Room for the path of the folder whose children are being made.
const size_t COPY_CAPACITY = 132;

const char *const level_suffixes[LEAF_LEVEL + 1] = {
    "", "_billion", "_10000_million", "_100_million", "_million", "_10_thousand", "_hundred",
};

const char *suffix_of(int level) {
    return level >= 1 && level <= LEAF_LEVEL ? level_suffixes[level] : "";
}

// Copies text to dest; returns the position of the new terminator.
char *append(char *dest, const char *text) {
    size_t length = strlen(text);
    memcpy(dest, text, length + 1);
    return dest + length;
}

}  // namespace

void create_level_folder(int level, int index, const char *parent_path) {
    format_number(pint_a_2_str, index);
    char *end = append(pdir_level, parent_path);
    end = append(end, pint_a_2_str);
    end = append(end, suffix_of(level));
    append(end, "\\");
    if (make_directory(pdir_level) != 0) print_text("Failed to write ");
    print_line(pdir_level);
    print_text("\n");
}

void build_level(int level, const char *parent_path) {
    char *copy = static_cast<char *>(malloc(COPY_CAPACITY));
    // Without room for the parent path no folder of this level can be made
    // under it; the walk goes on one level up.
    if (copy == nullptr) return;
    for (int index = 1; index <= folders_per_level; index++) {
        create_level_folder(level, index, parent_path);
        strcpy(copy, pdir_level);
        if (level < LEAF_LEVEL)
            build_level(level + 1, copy);
        else
            print_text("\n");
    }
    free(copy);
}
