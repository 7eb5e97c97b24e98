// The program as shipped, one hundred folders a level: the start of its walk,
// stopped once the first block of output has come, and a folder renamed from
// outside while the walk is below it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/run_program.h"

namespace {

const std::string kLevel3 = "C:\\1_100billion\\001_billion\\001_10000_million\\001_100_million\\";

// The folder name of index with the level's suffix, and its backslash.
std::string numbered(int index, const char *suffix) {
    char name[32];
    snprintf(name, sizeof name, "%03d%s\\", index, suffix);
    return name;
}

std::string leaf_path(int first, int leaf) {
    return kLevel3 + "001_million\\" + numbered(first, "_10_thousand") + numbered(leaf, "_hundred");
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

namespace {

const std::string kRenamed = kLevel3 + "001_million\\";

// Every folder below the renamed one, in the order the walk makes them.
std::vector<std::string> walk_below_renamed() {
    std::vector<std::string> paths;
    for (int middle = 1; middle <= 100; middle++) {
        std::string parent = kRenamed + numbered(middle, "_10_thousand");
        paths.push_back(parent);
        for (int leaf = 1; leaf <= 100; leaf++) paths.push_back(parent + numbered(leaf, "_hundred"));
    }
    return paths;
}

TEST(ShippedWidth, AFolderRenamedDuringTheWalkFailsItsLaterDescendants) {
    TempFolder folder;
    make_folders(folder.path + "/drives/c");
    std::string level3 = folder.path + "/drives/c/1_100billion/001_billion/001_10000_million/001_100_million";
    std::string first_leaf = kRenamed + "001_10_thousand\\001_hundred\\";
    std::string next = kLevel3 + "002_million\\001_10_thousand\\\r\n";
    bool renamed = false;
    RunOptions options;
    options.command = {VERRANT_WIDTH100_PROGRAM};
    options.input = "y\nc\n";
    options.working_folder = folder.path;
    // Output waits in the program's block and the pipe, so the walk is at
    // most a few hundred folders past what has been read: well inside the
    // ten thousand below the renamed folder.
    options.watch = [&](const std::string &output) {
        if (!renamed && output.find(first_leaf) != std::string::npos) {
            renamed = rename((level3 + "/001_million").c_str(), (level3 + "/moved").c_str()) == 0;
        }
        return output.find(next) != std::string::npos;
    };
    RunResult result = run_program(options);
    ASSERT_TRUE(renamed);

    std::vector<std::string> echoed = echoed_paths(result.output);
    auto start = std::find(echoed.begin(), echoed.end(), kRenamed);
    ASSERT_NE(start, echoed.end());
    std::vector<std::string> below(start + 1, echoed.end());
    std::vector<std::string> expected = walk_below_renamed();
    ASSERT_GE(below.size(), expected.size() + 2);
    // Folders are made until the rename; every later one is reported failed.
    std::vector<std::string> made_below;
    size_t made = 0;
    while (made < expected.size() && below[made] == expected[made]) {
        made_below.push_back("M:\\" + expected[made].substr(kRenamed.size()));
        made++;
    }
    EXPECT_GT(made, 0u);
    EXPECT_LT(made, expected.size());
    for (size_t i = made; i < expected.size(); i++) EXPECT_EQ(below[i], "Failed to write " + expected[i]);
    // The walk goes on at the renamed folder's next sibling, made where it is named.
    EXPECT_EQ(below[expected.size()], kLevel3 + "002_million\\");
    EXPECT_EQ(below[expected.size() + 1], kLevel3 + "002_million\\001_10_thousand\\");
    // Nothing was made through the old name after the rename.
    std::sort(made_below.begin(), made_below.end());
    EXPECT_EQ(folders_below(level3 + "/moved", "M:\\"), made_below);
    EXPECT_EQ(folders_below(level3 + "/001_million", "M:\\"), std::vector<std::string>{});
    struct stat info;
    EXPECT_EQ(stat((level3 + "/002_million/001_10_thousand").c_str(), &info), 0);
}

}  // namespace
