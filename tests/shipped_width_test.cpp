// The program at the shipped width, one hundred folders a level: the start of
// its walk, and a folder renamed from outside while the walk is below it.
#include <gtest/gtest.h>

#include "tests/programs.h"
#include "tests/transcript.h"

namespace {

const std::string kLevel3 = "C:\\1_100billion\\001_billion\\001_10000_million\\001_100_million\\";

class ShippedWidth : public ::testing::Test {
  protected:
    // The program answering y and c, stopped when stop(output) holds.
    std::vector<Echoed> run(const std::function<bool(const std::string &)> &stop) {
        RunOptions options = drives_.options("y\nc\n", VERRANT_NATIVE_WIDTH100);
        options.watch = stop;
        return echoed_paths(run_program(options).output);
    }

    std::string posix_path(const std::string &path) const {
        std::string posix = drives_.path_of('c') + path.substr(2);
        std::replace(posix.begin(), posix.end(), '\\', '/');
        return posix;
    }

    Drives drives_{native_program()};
    std::string drive_ = drives_.add('c');
};

TEST_F(ShippedWidth, WalksDepthFirstWithFullLengthPaths) {
    std::vector<Echoed> echoed = run([](const std::string &output) { return output.size() > 65536; });
    std::vector<std::string> walk = walk_paths('C', 100, echoed.size());
    ASSERT_GT(echoed.size(), 110u);
    WalkCheck check = check_walk(echoed, walk);
    EXPECT_TRUE(check.in_walk_order) << check.first_mismatch;
    EXPECT_EQ(check.failed, 0u);
    // Down to the first leaf, its 99 siblings, then its parent's sibling.
    EXPECT_EQ(walk[3], kLevel3);
    EXPECT_EQ(walk[6], kLevel3 + "001_million\\001_10_thousand\\001_hundred\\");
    EXPECT_EQ(walk[105], kLevel3 + "001_million\\001_10_thousand\\100_hundred\\");
    EXPECT_EQ(walk[106], kLevel3 + "001_million\\002_10_thousand\\");
    struct stat info;
    for (const std::string &path : check.made) {
        EXPECT_TRUE(!path.ends_with("_hundred\\") || path.size() == 102u) << path;
        EXPECT_EQ(stat(posix_path(path).c_str(), &info), 0) << path;
    }
}

TEST_F(ShippedWidth, AFolderRenamedDuringTheWalkFailsItsLaterDescendants) {
    const std::string renamed = kLevel3 + "001_million\\", next = kLevel3 + "002_million\\";
    std::string old_name = posix_path(renamed), new_name = posix_path(kLevel3 + "moved\\");
    bool moved = false;
    // Output waits in the program's block and the pipe, so the walk is at
    // most a few hundred folders past what has been read: well inside the
    // ten thousand below the renamed folder.
    std::vector<Echoed> echoed = run([&](const std::string &output) {
        if (!moved && output.find(renamed + "001_10_thousand\\001_hundred\\") != std::string::npos)
            moved = rename(old_name.c_str(), new_name.c_str()) == 0;
        return output.find(next + "001_10_thousand\\\r\n") != std::string::npos;
    });
    ASSERT_TRUE(moved);
    // Every folder of the walk is echoed in order; below the renamed folder,
    // folders are made until the rename and every later one fails.
    std::vector<std::string> walk = walk_paths('C', 100, echoed.size());
    WalkCheck check = check_walk(echoed, walk);
    ASSERT_TRUE(check.in_walk_order) << check.first_mismatch;
    size_t first = std::find(walk.begin(), walk.end(), renamed) - walk.begin();
    size_t after = std::find(walk.begin(), walk.end(), next) - walk.begin();
    ASSERT_LT(after, echoed.size());
    size_t made = first + 1;
    while (made < after && !echoed[made].failed) made++;
    EXPECT_GT(made, first + 1);
    EXPECT_LT(made, after);
    for (size_t i = made; i < after; i++) EXPECT_TRUE(echoed[i].failed) << echoed[i].path;
    // The walk goes on at the next sibling, made where it is named, and
    // nothing was made through the old name after the rename.
    EXPECT_FALSE(echoed[after].failed);
    EXPECT_FALSE(echoed[after + 1].failed);
    std::vector<std::string> made_below;
    for (size_t i = first + 1; i < made; i++) made_below.push_back("M:\\" + walk[i].substr(renamed.size()));
    std::sort(made_below.begin(), made_below.end());
    EXPECT_EQ(folders_below(new_name, "M:\\"), made_below);
    EXPECT_EQ(folders_below(old_name, "M:\\"), std::vector<std::string>{});
}

}  // namespace
