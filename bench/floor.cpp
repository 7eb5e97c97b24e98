// The benchmark's floor: makes the same folders as the program, in the same
// order, and prints nothing. "full" makes each with one mkdir of its full
// path; "at" makes each with mkdirat relative to its open parent, and opens
// each parent relative to its own parent.
//   floor full|at WIDTH DRIVE_FOLDER
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char *const suffixes[] = {"_billion", "_10000_million", "_100_million",
                                "_million", "_10_thousand",   "_hundred"};
int width = 10;
bool relative = false;

void walk(int level, char *path, size_t length, int parent) {
    for (int index = 1; index <= width; index++) {
        int name_length = snprintf(path + length + 1, 64, "%03d%s", index, suffixes[level - 1]);
        path[length] = '/';
        const char *name = path + length + 1;
        if (relative) mkdirat(parent, name, 0777);
        else mkdir(path, 0777);
        if (level == 6) continue;
        int child = relative ? openat(parent, name, O_PATH | O_DIRECTORY | O_CLOEXEC) : -1;
        walk(level + 1, path, length + 1 + name_length, child);
        if (child >= 0) close(child);
    }
    path[length] = '\0';
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4) return 2;
    relative = strcmp(argv[1], "at") == 0;
    width = atoi(argv[2]);
    char path[4096];
    snprintf(path, sizeof path, "%s/1_100billion", argv[3]);
    if (mkdir(path, 0777) != 0) return 1;
    int root = relative ? open(path, O_PATH | O_DIRECTORY | O_CLOEXEC) : -1;
    walk(1, path, strlen(path), root);
    return 0;
}
