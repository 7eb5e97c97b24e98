// The program at a terminal: every prompt arrives before the program waits
// for its answer, including the two that end without a line feed. Natively
// and, where the test binary is the Wine one, the Windows program at Wine's
// console.
#include "tests/terminal.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/program.h"
#include "tests/transcripts.h"

namespace {

class TerminalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string reason;
        if (!program_available(reason)) SKIP_OR_FAIL_FOR_LACK_OF(reason);
        drives_.add(program_.drive);
        RunOptions options = drives_.options("");
        terminal_ = std::make_unique<Terminal>(options.command, options.working_folder,
                                               options.environment);
        ASSERT_GT(terminal_->child, 0);
    }

    // Waits until the screen shows text, the last thing printed.
    bool shows(const std::string &text, int idle_seconds = 5) {
        std::string shown = screen_text(with_crlf(text));
        return terminal_->read_until(
            [&](const std::string &seen) {
                std::string screen = screen_text(seen);
                return screen.size() >= shown.size() &&
                       screen.compare(screen.size() - shown.size(), shown.size(), shown) == 0;
            },
            idle_seconds);
    }

    // Types an answer and Enter: LF at a Linux terminal, CR at Wine's
    // console, which reads raw keys and echoes what is typed.
    bool answer(const std::string &keys) {
        return terminal_->type(keys + (program_.under_wine ? "\r" : "\n"));
    }

    // What the user sees of printed text and the echoes of typed answers.
    std::string echo(const std::string &keys) const {
        return program_.under_wine ? keys + "\n" : "";
    }

    Program program_ = width2_program();
    Drives drives_{program_};
    std::unique_ptr<Terminal> terminal_;
};

TEST_F(TerminalTest, EveryPromptIsVisibleBeforeItsAnswer) {
    Terminal &terminal = *terminal_;
    std::string drive(1, program_.drive);
    // Nothing is typed until each prompt is on the screen in full; Wine
    // starting up may take a while.
    ASSERT_TRUE(shows("Press y to continue - n to exit \n", 60)) << terminal.seen;
    ASSERT_TRUE(answer("y"));
    ASSERT_TRUE(shows(kPrompt)) << terminal.seen;
    ASSERT_TRUE(answer("b"));
    ASSERT_TRUE(shows(kReenter)) << terminal.seen;
    ASSERT_TRUE(answer(drive));
    ASSERT_TRUE(shows(kSuccess)) << screen_text(terminal.seen);
    EXPECT_TRUE(terminal.ended_cleanly());
    std::string asked = echo("y") + kPrompt + echo("b") + "\n" + kFloppy + kReenter + echo(drive) + "\n";
    std::string expected = with_crlf(full_transcript(program_.drive, asked));
    if (program_.under_wine) {
        EXPECT_EQ(screen_text(terminal.seen), screen_text(expected));
    } else {
        EXPECT_EQ(terminal.seen, expected);
    }
}

// Wine's console does not hand a typed Ctrl-Z to the program as a Windows
// console does, so the end of input at a console is tried natively only; the
// Windows program meets it through pipes and files in the other cases.
#ifndef VERRANT_UNDER_WINE
TEST_F(TerminalTest, CtrlDAtTheFirstQuestionAnswersN) {
    Terminal &terminal = *terminal_;
    ASSERT_TRUE(shows("Press y to continue - n to exit \n")) << terminal.seen;
    ASSERT_TRUE(terminal.type("\x04"));
    EXPECT_TRUE(terminal.ended_cleanly());
    EXPECT_EQ(terminal.seen, with_crlf(kOpening));
}
#endif

}  // namespace
