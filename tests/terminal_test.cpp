// Every program of the table at a terminal: every prompt arrives before the
// program waits for its answer, including the two that end without a line
// feed. The Windows program meets Wine's console, which draws the screen
// itself and echoes what is typed.
#include "tests/terminal.h"

#include <gtest/gtest.h>

#include "tests/programs.h"
#include "tests/transcript.h"

namespace {

class TerminalTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        RunOptions options = drives_.options("");
        terminal_ = std::make_unique<Terminal>(options.command, options.working_folder);
        ASSERT_GT(terminal_->child, 0) << terminal_->seen;
    }

    bool under_wine() const { return GetParam().runner == Runner::Wine; }

    // Waits until the screen shows text, the last thing printed.
    bool shows(const std::string &text, int idle_seconds = 5) {
        std::string shown = screen_text(with_crlf(text));
        return terminal_->read_until([&](const std::string &seen) { return screen_text(seen).ends_with(shown); },
                                     idle_seconds);
    }

    // Types an answer and Enter: LF at a Linux terminal, CR at Wine's
    // console, which reads raw keys.
    bool answer(const std::string &keys) { return terminal_->type(keys + (under_wine() ? "\r" : "\n")); }

    // What the user sees of a typed answer: Wine's console echoes it.
    std::string echo(const std::string &keys) const { return under_wine() ? keys + "\n" : ""; }

    std::unique_ptr<Terminal> terminal_;
};

TEST_P(TerminalTest, EveryPromptIsVisibleBeforeItsAnswer) {
    Terminal &terminal = *terminal_;
    std::string drive(1, GetParam().drive);
    // Nothing is typed until each prompt is on the screen in full; Wine
    // starting up may take a while.
    ASSERT_TRUE(shows("Press y to continue - n to exit \n", 60)) << terminal.seen;
    ASSERT_TRUE(answer("y"));
    ASSERT_TRUE(shows(kPrompt)) << terminal.seen;
    ASSERT_TRUE(answer("b"));
    ASSERT_TRUE(shows(kReenter)) << terminal.seen;
    ASSERT_TRUE(answer(drive));
    ASSERT_TRUE(shows(kSuccess)) << screen_text(terminal.seen);
    EXPECT_EQ(terminal.wait_for_end(), 0);
    std::string asked = echo("y") + kPrompt + echo("b") + "\n" + kFloppy + kReenter + echo(drive) + "\n";
    std::string expected = full_transcript(GetParam().drive, asked);
    if (under_wine())
        EXPECT_EQ(screen_text(terminal.seen), screen_text(expected));
    else
        EXPECT_EQ(terminal.seen, expected);
}

// Wine's console does not hand a typed Ctrl-Z to the program as a Windows
// console does, so the end of input at a console is tried on the others; the
// Windows program meets it through pipes and files in the dialogue cases.
class EndOfInputAtATerminal : public TerminalTest {};

TEST_P(EndOfInputAtATerminal, AtTheFirstQuestionAnswersN) {
    ASSERT_TRUE(shows("Press y to continue - n to exit \n", 30)) << terminal_->seen;
    ASSERT_TRUE(terminal_->type("\x04"));
    EXPECT_EQ(terminal_->wait_for_end(), 0);
    EXPECT_EQ(terminal_->seen, with_crlf(kOpening));
}

INSTANTIATE_TEST_SUITE_P(Programs, TerminalTest, ::testing::ValuesIn(all_programs()), name_of);

std::vector<Program> programs_with_ctrl_d() {
    std::vector<Program> programs = all_programs();
    std::erase_if(programs, [](const Program &program) { return program.runner == Runner::Wine; });
    return programs;
}
INSTANTIATE_TEST_SUITE_P(Programs, EndOfInputAtATerminal, ::testing::ValuesIn(programs_with_ctrl_d()),
                         name_of);

}  // namespace
