// The benchmark's echo floor, the least work the program's job allows: the
// program's folders in its order, one directory call of the full path each,
// and its transcript of the walk byte for byte in blocks of its output size.
//   echo_floor WIDTH LETTER FOLDER    (FOLDER, where drive LETTER leads, not on Windows)
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const int BLOCK = 16384;
const char *const suffixes[] = {"_billion", "_10000_million", "_100_million",
                                "_million", "_10_thousand",   "_hundred"};
const int FAILED_LENGTH = 16;  // "Failed to write "

char block[BLOCK];
int used = 0;
// "Failed to write " and the drive-letter path; a made folder's line starts
// after the prefix.
char line[FAILED_LENGTH + 512] = "Failed to write C:\\1_100billion\\";
char *const shown = line + FAILED_LENGTH;
char made[4096];  // the path the system is given
int width = 10;

#ifdef _WIN32
bool make_folder() { return CreateDirectoryA(shown, nullptr); }
void write_block(int count) {
    DWORD wrote;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), block, count, &wrote, nullptr);
}
#else
bool make_folder() { return mkdir(made, 0777) == 0; }
void write_block(int count) { (void)!write(1, block, count); }
#endif

void put(const char *bytes, int count) {
    if (count > BLOCK - used) {
        int room = BLOCK - used;
        memcpy(block + used, bytes, room);
        write_block(BLOCK);
        used = 0;
        bytes += room;
        count -= room;
    }
    memcpy(block + used, bytes, count);
    used += count;
}

// Makes the folder whose echoed path is shown_length bytes and echoes it,
// followed by line_ends line ends.
void make_and_echo(int shown_length, int line_ends) {
    char *start = make_folder() ? shown : line;
    memcpy(shown + shown_length, "\r\n\r\n\r\n", 6);
    put(start, static_cast<int>(shown + shown_length + 2 * line_ends - start));
}

void walk(int level, int shown_length, int made_length) {
    char *digits = shown + shown_length, *made_digits = made + made_length + 1;
    int suffix_length = static_cast<int>(strlen(suffixes[level - 1]));
    int name_length = 3 + suffix_length;
    memcpy(digits + 3, suffixes[level - 1], suffix_length);
    memcpy(made_digits + 3, suffixes[level - 1], suffix_length);
    made[made_length] = '/';
    char number[3] = {'0', '0', '0'};
    for (int index = 1; index <= width; index++) {
        // The next number, counted up in its digits.
        int digit = 2;
        while (number[digit] == '9') number[digit--] = '0';
        number[digit]++;
        memcpy(digits, number, 3);
        memcpy(made_digits, number, 3);
        digits[name_length] = '\\';
        digits[name_length + 1] = '\0';  // for CreateDirectoryA, which takes the shown path
        made_digits[name_length] = '\0';
        if (level < 6) {
            make_and_echo(shown_length + name_length + 1, 2);
            walk(level + 1, shown_length + name_length + 1, made_length + 1 + name_length);
        } else {
            make_and_echo(shown_length + name_length + 1, 3);
        }
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) return 2;
    width = atoi(argv[1]);
    shown[0] = argv[2][0];
    int shown_length = static_cast<int>(strlen(shown));
    int made_length = argc > 3 ? static_cast<int>(strlen(strcpy(made, argv[3]))) : 0;
    memcpy(made + made_length, "/1_100billion", 14);
    made_length += 13;
    if (!make_folder()) return 1;
    memcpy(shown + shown_length, "\r\n\r\n", 4);
    put(shown, shown_length + 4);
    walk(1, shown_length, made_length);
    write_block(used);
    return 0;
}
