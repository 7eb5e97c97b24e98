// Directory creation on real folders: drive letters lead to ./drives here.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/console.h"
#include "tests/files.h"

namespace {

class MakeDirectory : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(getcwd(previous_, sizeof previous_), previous_);
        ASSERT_EQ(chdir(folder_.path.c_str()), 0);
        make_folders("drives/c");
    }
    void TearDown() override { ASSERT_EQ(chdir(previous_), 0); }

    static bool is_folder(const std::string &path) {
        struct stat info;
        return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }

    TempFolder folder_;
    char previous_[4096];
};

TEST_F(MakeDirectory, CreatesExactlyTheNamedFolder) {
    EXPECT_EQ(make_directory("C:\\1_100billion\\"), 0);
    EXPECT_TRUE(is_folder("drives/c/1_100billion"));
    EXPECT_EQ(make_directory("c:\\1_100billion\\001_billion\\"), 0);
    EXPECT_EQ(make_directory("C:\\1_100billion\\002_billion"), 0);
    EXPECT_EQ(folders_below("drives/c", "C:\\"),
              (std::vector<std::string>{"C:\\1_100billion\\", "C:\\1_100billion\\001_billion\\",
                                        "C:\\1_100billion\\002_billion\\"}));
}

TEST_F(MakeDirectory, FailsWithoutEffect) {
    EXPECT_EQ(make_directory("C:\\r\\"), 0);
    EXPECT_EQ(make_directory("C:\\r\\"), -1);  // already there
    EXPECT_EQ(make_directory("C:\\r\\abc\\"), 0);
    EXPECT_EQ(make_directory("C:\\r\\abd\\q\\"), -1);       // under a sibling of the last folder
    EXPECT_EQ(make_directory("C:\\missing\\child\\"), -1);  // no parent
    EXPECT_EQ(make_directory("Q:\\r\\"), -1);               // no such drive
    write_file("drives/c/file", "");
    EXPECT_EQ(make_directory("C:\\file\\"), -1);  // a file has the name
    EXPECT_EQ(make_directory("C:\\file\\x\\"), -1);
    EXPECT_EQ(make_directory("C:\\"), -1);            // names no folder
    EXPECT_EQ(make_directory("C:\\r\\..\\s\\"), -1);  // not a plain name
    EXPECT_EQ(make_directory("C:\\a/b\\"), -1);
    EXPECT_EQ(make_directory("1:\\r\\"), -1);
    EXPECT_EQ(folders_below("drives/c", "C:\\"),
              (std::vector<std::string>{"C:\\r\\", "C:\\r\\abc\\"}));
}

// The walk names only what changed since the last folder: a sibling's name,
// a child's, an ancestor's sibling's number. After a refused path nothing is
// kept, and the next path is mapped whole.
TEST_F(MakeDirectory, AFolderNamedByItsChangeFromTheLastIsThatFolder) {
    EXPECT_EQ(make_directory("C:\\r\\"), 0);
    EXPECT_EQ(make_directory_after("C:\\r\\abc\\", 9, 5, 3), 0);      // child
    EXPECT_EQ(make_directory_after("C:\\r\\abc\\x\\", 11, 9, 1), 0);  // child
    EXPECT_EQ(make_directory_after("C:\\r\\abd\\", 9, 5, 3), 0);      // sibling of its parent
    EXPECT_EQ(make_directory_after("C:\\r\\abe\\", 9, 5, 3), 0);      // sibling
    EXPECT_EQ(make_directory("C:\\zz\\..\\"), -1);
    EXPECT_EQ(make_directory_after("C:\\r\\abf\\", 9, 5, 3), 0);
    EXPECT_EQ(folders_below("drives/c", "C:\\"),
              (std::vector<std::string>{"C:\\r\\", "C:\\r\\abc\\", "C:\\r\\abc\\x\\",
                                        "C:\\r\\abd\\", "C:\\r\\abe\\", "C:\\r\\abf\\"}));
}

// Paths as long as the system takes are made, and longer ones fail with no
// effect at every length around the limit, the mapping staying within its
// buffer.
TEST_F(MakeDirectory, PathsUpToTheSystemsLimitAreMadeAndLongerOnesFail) {
    std::string path = "C:\\", folders = "drives/c";
    while (path.size() < 4000) path += "n\\", folders += "/n";
    make_folders(folders);
    EXPECT_EQ(make_directory((path + "last\\").c_str()), 0);
    EXPECT_TRUE(is_folder(folders + "/last"));
    while (path.size() < 4200) path += "m\\";
    for (size_t length = 4070; length < path.size(); length += 2)
        EXPECT_EQ(make_directory(path.substr(0, length).c_str()), -1) << length;
    EXPECT_FALSE(is_folder(folders + "/m"));
}

}  // namespace
