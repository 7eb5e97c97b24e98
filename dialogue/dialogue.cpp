#include "dialogue/dialogue.h"

#include <cstdlib>
#include <cstring>

#include "dialogue/texts.h"
#include "platform/console.h"
#include "tree/tree.h"

namespace {

// The driver's own working buffers, obtained at the start and released at
// the end; the number and level path buffers are shared with the tree builder.
char *theEnd = nullptr;        // the continue/exit answer
char *pdir = nullptr;          // the root folder path
char *pdriveLetter = nullptr;  // the drive-letter answer

const size_t ANSWER_CAPACITY = 2;
const size_t NUMBER_CAPACITY = 4;

// The tree builder copies pdir_level into a buffer of its own on every level.
static_assert(sizeof path_template <= COPY_CAPACITY, "a level's copy must hold the longest path");

void obtain_buffers() {
    size_t path_capacity = strlen(path_template) + 1;
    theEnd = static_cast<char *>(malloc(ANSWER_CAPACITY));
    pint_a_2_str = static_cast<char *>(malloc(NUMBER_CAPACITY));
    pdir = static_cast<char *>(malloc(path_capacity));
    pdriveLetter = static_cast<char *>(malloc(ANSWER_CAPACITY));
    pdir_level = static_cast<char *>(malloc(path_capacity));
}

bool all_buffers_obtained() { return theEnd && pint_a_2_str && pdir && pdriveLetter && pdir_level; }

void print_banner() {
    for (int row = 0; row < banner_row_count; row++) print_text(banner_rows[row]);
}

// Reads a continue/exit answer, upper-cased; the end of input answers N.
void read_confirmation() {
    if (read_answer(theEnd) < 0) strcpy(theEnd, "N");
    to_upper_text(theEnd);
}

// Asks whether to go on until Y or N is typed; returns true for Y.
bool confirmed() {
    print_text("        Press y to continue - n to exit \n");
    read_confirmation();
    while (strcmp(theEnd, "Y") != 0 && strcmp(theEnd, "N") != 0) {
        print_text("Invalid entry!\n");
        print_text("Continue? Y(yes)/N(no)\n");
        read_confirmation();
    }
    return strcmp(theEnd, "Y") == 0;
}

// Reads a drive answer and ends its line; returns false when the input ended.
bool read_drive_answer() {
    int got = read_answer(pdriveLetter);
    print_text("\n");
    if (got < 0) return false;
    to_upper_text(pdriveLetter);
    return true;
}

bool is_floppy(const char *answer) { return strcmp(answer, "A") == 0 || strcmp(answer, "B") == 0; }

// Asks for a hard drive letter until one is typed; returns false when the
// input ended first.
bool ask_drive_letter() {
    print_text("        Type the destination drive letter + press enter to begin:");
    if (!read_drive_answer()) return false;
    while (!is_letter(pdriveLetter[0]) || is_floppy(pdriveLetter)) {
        if (is_floppy(pdriveLetter)) {
            print_text(
                "       Attempting to write a billion folders to a floppy drive is pretty "
                "stupid.\n");
        }
        print_text("       Please re-enter a hard drive letter: ");
        if (!read_drive_answer()) return false;
    }
    return true;
}

void compose_root() {
    strcpy(pdir, pdriveLetter);
    strcat(pdir, ":\\");
    strcat(pdir, "1_100billion");
    strcat(pdir, "\\");
}

// Makes the root folder and, when it was made, the whole tree below it.
void make_tree() {
    if (make_directory(pdir) != 0) {
        print_text("       Sorry; we failed to complete the process\n");
        print_line(pdir);
        return;
    }
    print_line(pdir);
    print_text("\n");
    build_level(1, pdir);
    print_text("       Congratulations! Process is complete\n");
}

// Releases a buffer, or names it when it was never obtained.
void release(char *&buffer, const char *message_when_absent) {
    if (buffer == nullptr) print_text(message_when_absent);
    free(buffer);
    buffer = nullptr;
}

void release_buffers() {
    release(pint_a_2_str, "        Failed to free pint_a_2_str\n");
    release(pdir, "       Failed to free pdir\n");
    release(pdriveLetter, "       Failed to free pdriveLetter\n");
    release(theEnd, "       Failed to free theEnd\n");
    release(pdir_level, "       Failed to free pdir_level\n");
}

}  // namespace

int run_dialogue() {
    obtain_buffers();
    // A buffer that could not be obtained is never used: the release step
    // names it, and nothing else happens.
    if (all_buffers_obtained()) {
        print_banner();
        if (confirmed() && ask_drive_letter()) {
            compose_root();
            make_tree();
        }
    }
    release_buffers();
    flush_output();
    return 0;
}
