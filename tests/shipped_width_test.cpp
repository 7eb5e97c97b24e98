// The program as shipped, one hundred folders a level: the start of its walk,
// stopped once the first block of output has come.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/run_program.h"

namespace {

std::string leaf_path(int first, int leaf) {
    char name[16];
    std::string path = "C:\\1_100billion\\001_billion\\001_10000_million\\001_100_million\\";
    snprintf(name, sizeof name, "%03d", first);
    path += std::string("001_million\\") + name + "_10_thousand\\";
    snprintf(name, sizeof name, "%03d", leaf);
    return path + name + "_hundred\\";
}

TEST(ShippedWidth, WalksDepthFirstWithFullLengthPaths) {
    TempFolder folder;
    make_folders(folder.path + "/drives/c");
    RunOptions options;
    options.command = {VERRANT_WIDTH100_PROGRAM};
    options.input = "y\nc\n";
    options.working_folder = folder.path;
    options.kill_after_output = 65536;
    RunResult result = run_program(options);
    std::vector<std::string> paths = echoed_paths(result.output);
    ASSERT_GT(paths.size(), 110u);
    const char *first[] = {
        "C:\\1_100billion\\",
        "C:\\1_100billion\\001_billion\\",
        "C:\\1_100billion\\001_billion\\001_10000_million\\",
        "C:\\1_100billion\\001_billion\\001_10000_million\\001_100_million\\",
        "C:\\1_100billion\\001_billion\\001_10000_million\\001_100_million\\001_million\\",
        "C:\\1_100billion\\001_billion\\001_10000_million\\001_100_million\\001_million\\"
        "001_10_thousand\\",
    };
    for (int i = 0; i < 6; i++) EXPECT_EQ(paths[i], first[i]);
    for (int leaf = 1; leaf <= 100; leaf++) EXPECT_EQ(paths[5 + leaf], leaf_path(1, leaf));
    EXPECT_EQ(paths[106], std::string(first[4]) + "002_10_thousand\\");
    EXPECT_EQ(paths[107], leaf_path(2, 1));
    // Every leaf path is as long as the deepest one can be, and is on disk.
    for (const std::string &path : paths) {
        if (path.find("_hundred\\") != std::string::npos) {
            EXPECT_EQ(path.size(), 102u) << path;
        }
    }
    for (size_t i = 0; i + 1 < paths.size(); i++) {
        std::string posix = folder.path + "/drives/c" + paths[i].substr(2);
        for (char &c : posix) c = c == '\\' ? '/' : c;
        struct stat info;
        EXPECT_EQ(stat(posix.c_str(), &info), 0) << paths[i];
    }
}

}  // namespace
