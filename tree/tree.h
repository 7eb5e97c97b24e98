// The folder tree builder: six nested levels of numbered folders, walked
// depth-first, every folder echoed or reported as it is made.
#ifndef VERRANT_TREE_TREE_H
#define VERRANT_TREE_TREE_H

// Folders made under every parent; at most 999, as names hold three digits.
extern const int folders_per_level;

// Number text of the folder being made, 4 bytes; obtained by the driver.
extern char *pint_a_2_str;

// Path of the folder being made, sized for the deepest path; obtained by the driver.
extern char *pdir_level;

// The level of the folders that get no children.
const int LEAF_LEVEL = 6;

// Bytes of the copy of its parent path that every entry to a level obtains.
const unsigned COPY_CAPACITY = 132;

// Makes folder number index of level under parent_path and reports it;
// leaves its path in pdir_level.
void create_level_folder(int level, int index, const char *parent_path);

// Makes every folder of level under parent_path and, above the leaf level,
// everything below each of them. The parent path, like every drive-letter
// path the dialogue composes, holds no line feed.
void build_level(int level, const char *parent_path);

#endif
