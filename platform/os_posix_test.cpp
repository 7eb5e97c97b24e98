// Directory creation on real folders: drive letters lead to ./drives here.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/console.h"
#include "tests/run_program.h"

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
    EXPECT_EQ(make_directory("C:\\r\\"), -1);               // already there
    EXPECT_EQ(make_directory("C:\\missing\\child\\"), -1);  // no parent
    EXPECT_EQ(make_directory("Q:\\r\\"), -1);               // no such drive
    write_file("drives/c/file", "");
    EXPECT_EQ(make_directory("C:\\file\\"), -1);  // a file has the name
    EXPECT_EQ(make_directory("C:\\file\\x\\"), -1);
    EXPECT_EQ(make_directory("C:\\"), -1);            // names no folder
    EXPECT_EQ(make_directory("C:\\r\\..\\s\\"), -1);  // not a plain name
    EXPECT_EQ(make_directory("C:\\a/b\\"), -1);
    EXPECT_EQ(make_directory("1:\\r\\"), -1);
    EXPECT_EQ(folders_below("drives/c", "C:\\"), (std::vector<std::string>{"C:\\r\\"}));
}

TEST_F(MakeDirectory, EveryCallAsksTheFileSystemAfresh) {
    // What happens to the folders on the way between two calls shows in
    // the answer of the second.
    EXPECT_EQ(make_directory("C:\\p\\"), 0);
    EXPECT_EQ(make_directory("C:\\p\\a\\"), 0);
    ASSERT_EQ(rmdir("drives/c/p/a"), 0);
    EXPECT_EQ(make_directory("C:\\p\\a\\"), 0);
    EXPECT_EQ(make_directory("C:\\p\\a\\"), -1);
    // A parent that could not be made is tried again for each child.
    EXPECT_EQ(make_directory("C:\\gone\\x\\"), -1);
    make_folders("drives/c/gone");
    EXPECT_EQ(make_directory("C:\\gone\\x\\"), 0);
    EXPECT_TRUE(is_folder("drives/c/gone/x"));
}

TEST_F(MakeDirectory, GoesUpAndDownTheTreeInAnyOrder) {
    const char *const made[] = {
        "C:\\a\\",          "C:\\a\\b\\",         "C:\\a\\b\\c\\", "C:\\a\\d\\",
        "C:\\e\\",          "C:\\a\\b\\c\\f\\", "c:\\a\\b\\g\\",  "C:\\e\\h\\",
    };
    for (const char *path : made) EXPECT_EQ(make_directory(path), 0) << path;
    EXPECT_EQ(make_directory("C:\\a\\b\\c\\f\\"), -1);
    EXPECT_EQ(make_directory("C:\\a\\x\\y\\"), -1);
    EXPECT_EQ(folders_below("drives/c", "C:\\"),
              (std::vector<std::string>{"C:\\a\\", "C:\\a\\b\\", "C:\\a\\b\\c\\",
                                        "C:\\a\\b\\c\\f\\", "C:\\a\\b\\g\\", "C:\\a\\d\\",
                                        "C:\\e\\", "C:\\e\\h\\"}));
}

TEST_F(MakeDirectory, FoldersFortyDeepAreMade) {
    std::string path = "C:\\";
    std::string folder = "drives/c";
    for (int depth = 0; depth < 40; depth++) {
        path += "n\\";
        folder += "/n";
        ASSERT_EQ(make_directory(path.c_str()), 0) << path;
    }
    EXPECT_TRUE(is_folder(folder));
    EXPECT_EQ(make_directory(path.c_str()), -1);
}

TEST_F(MakeDirectory, AFolderReplacedFromOutsideIsTheOneUsed) {
    EXPECT_EQ(make_directory("C:\\x\\"), 0);
    EXPECT_EQ(make_directory("C:\\x\\y\\"), 0);
    EXPECT_EQ(make_directory("C:\\x\\y\\z\\"), 0);
    ASSERT_EQ(rmdir("drives/c/x/y/z"), 0);
    ASSERT_EQ(rmdir("drives/c/x/y"), 0);
    EXPECT_EQ(make_directory("C:\\x\\y\\w\\"), -1);
    ASSERT_EQ(mkdir("drives/c/x/y", 0777), 0);
    EXPECT_EQ(make_directory("C:\\x\\y\\w\\"), 0);
    EXPECT_EQ(folders_below("drives/c", "C:\\"),
              (std::vector<std::string>{"C:\\x\\", "C:\\x\\y\\", "C:\\x\\y\\w\\"}));
}

}  // namespace

namespace {

TEST_F(MakeDirectory, MakingFoldersLeavesClosedStandardStreamsClosed) {
    pid_t child = fork();
    if (child == 0) {
        // With the standard streams closed, nothing made on the way may
        // take their places, or later output would land in it.
        close(0);
        close(1);
        close(2);
        bool made = make_directory("C:\\p\\") == 0 && make_directory("C:\\p\\q\\") == 0;
        bool free = fcntl(0, F_GETFD) == -1 && fcntl(1, F_GETFD) == -1 && fcntl(2, F_GETFD) == -1;
        _exit(made && free ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(is_folder("drives/c/p/q"));
}

}  // namespace
