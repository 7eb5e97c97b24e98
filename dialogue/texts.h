// The fixed texts of the dialogue.
#ifndef VERRANT_DIALOGUE_TEXTS_H
#define VERRANT_DIALOGUE_TEXTS_H

// The banner, one row a text, each ending with its line feed.
extern const char *const banner_rows[];
extern const int banner_row_count;

// The longest path the tree can hold; sizes the two path buffers.
inline constexpr const char path_template[] =
    "X:\\1_100billion\\xxx_billion\\xxx_10000_million\\xxx_100_million\\xxx_million\\"
    "xxx_10_thousand\\xxx_hundred\\";

#endif
