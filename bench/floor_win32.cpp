// The benchmark's Windows floor: makes the same folders as the program, in
// the same order, with one CreateDirectoryA of the full path each, and prints
// nothing.
//   floor_win32 WIDTH DRIVE_LETTER
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char *const suffixes[] = {"_billion", "_10000_million", "_100_million",
                                "_million", "_10_thousand",   "_hundred"};
int width = 6;

void walk(int level, char *path, size_t length) {
    for (int index = 1; index <= width; index++) {
        int name_length = snprintf(path + length, 64, "%03d%s\\", index, suffixes[level - 1]);
        CreateDirectoryA(path, nullptr);
        if (level < 6) walk(level + 1, path, length + name_length);
    }
    path[length] = '\0';
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    width = atoi(argv[1]);
    char path[512];
    snprintf(path, sizeof path, "%c:\\1_100billion\\", argv[2][0]);
    if (!CreateDirectoryA(path, nullptr)) return 1;
    walk(1, path, strlen(path));
    return 0;
}
