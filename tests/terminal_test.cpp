// The program at a terminal: every prompt arrives before the program waits
// for its answer, including the two that end without a line feed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "tests/program.h"
#include "tests/transcripts.h"

namespace {

// Reads from the terminal until text ends with tail, or nothing came for five seconds.
bool read_until(int master, std::string &seen, const std::string &tail) {
    for (int idle = 0; idle < 100;) {
        if (seen.size() >= tail.size() &&
            seen.compare(seen.size() - tail.size(), tail.size(), tail) == 0) {
            return true;
        }
        pollfd ready = {master, POLLIN, 0};
        if (poll(&ready, 1, 50) <= 0) {
            idle++;
            continue;
        }
        char block[4096];
        ssize_t got = read(master, block, sizeof block);
        if (got <= 0) return false;
        seen.append(block, got);
    }
    return false;
}

// A pseudo-terminal with the program on its far side, in a folder with drive C.
struct TerminalRun {
    TempFolder folder;
    int master = -1;
    int slave = -1;
    pid_t child = -1;

    TerminalRun() {
        make_folders(folder.path + "/drives/c");
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return;
        termios mode;
        tcgetattr(slave, &mode);
        mode.c_lflag &= ~ECHO;   // keep the transcript to what the program prints
        mode.c_oflag &= ~OPOST;  // and its bytes unchanged
        tcsetattr(slave, TCSANOW, &mode);
        child = fork();
        if (child == 0) {
            dup2(slave, 0);
            dup2(slave, 1);
            close(master);
            if (chdir(folder.path.c_str()) != 0) _exit(126);
            execl(VERRANT_WIDTH2_PROGRAM, VERRANT_WIDTH2_PROGRAM, nullptr);
            _exit(127);
        }
    }

    // Waits for the program; true when it ended with status 0. The parent
    // keeps the terminal open until then, so no output is lost to a hang-up.
    bool ended_cleanly() {
        int status = 0;
        waitpid(child, &status, 0);
        close(slave);
        close(master);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
};

TEST(Terminal, EveryPromptIsVisibleBeforeItsAnswer) {
    TerminalRun run;
    ASSERT_GT(run.child, 0);
    int master = run.master;
    std::string seen;
    // Nothing is typed until each prompt has arrived in full.
    ASSERT_TRUE(read_until(master, seen, "to exit \r\n")) << seen;
    ASSERT_EQ(write(master, "y\n", 2), 2);
    ASSERT_TRUE(read_until(master, seen, "to begin:")) << seen;
    ASSERT_EQ(write(master, "b\n", 2), 2);
    ASSERT_TRUE(read_until(master, seen, "drive letter: ")) << seen;
    ASSERT_EQ(write(master, "c\n", 2), 2);
    ASSERT_TRUE(read_until(master, seen, "complete\r\n"))
        << ::testing::PrintToString(seen.substr(seen.size() > 60 ? seen.size() - 60 : 0));
    EXPECT_TRUE(run.ended_cleanly());
    std::string asked = kPrompt + "\n" + kFloppy + kReenter + "\n";
    EXPECT_EQ(seen, with_crlf(full_transcript('c', asked)));
}

TEST(Terminal, CtrlDAtTheFirstQuestionAnswersN) {
    TerminalRun run;
    ASSERT_GT(run.child, 0);
    std::string seen;
    ASSERT_TRUE(read_until(run.master, seen, "to exit \r\n")) << seen;
    ASSERT_EQ(write(run.master, "\x04", 1), 1);
    EXPECT_TRUE(run.ended_cleanly());
    EXPECT_EQ(seen, with_crlf(kOpening));
}

}  // namespace
