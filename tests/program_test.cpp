// Whole-program runs of the width-2 program: complete transcripts compared
// byte for byte, and the folders on disk compared with the ones echoed.
#include "tests/program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "tests/transcripts.h"

namespace {

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string reason;
        if (!program_available(reason)) SKIP_OR_FAIL_FOR_LACK_OF(reason);
        drives_ = std::make_unique<Drives>(program_);
    }

    RunResult run(const std::string &input, OutputKind output = OutputKind::Pipe,
                  InputKind kind = InputKind::Pipe) {
        RunOptions options = drives_->options(input);
        options.output_kind = output;
        options.input_kind = kind;
        RunResult result = run_program(options);
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(result.exit_status, 0);
        if (!program_.under_wine) {
            EXPECT_EQ(result.error, "");
        }
        return result;
    }

    // The folders made below the drive, in drive-letter form, sorted.
    std::vector<std::string> folders_on(char letter) {
        char upper = static_cast<char>(letter - 'a' + 'A');
        return folders_below(drives_->path_of(letter), std::string(1, upper) + ":\\");
    }

    std::string lower_drive() { return std::string(1, program_.drive); }
    std::string upper_drive() { return std::string(1, program_.drive - 'a' + 'A'); }

    Program program_ = width2_program();
    std::unique_ptr<Drives> drives_;
};

TEST_F(ProgramTest, AnswerNEndsAfterTheQuestion) {
    for (const char *input : {"n\n", "N\n", "  n  \n", "n"}) {
        EXPECT_EQ(run(input).output, with_crlf(kOpening)) << input;
    }
}

TEST_F(ProgramTest, EndOfInputAtTheFirstQuestionCountsAsN) {
    for (const char *input : {"", "\n\n  \t \n", "\r\n"}) {
        EXPECT_EQ(run(input).output, with_crlf(kOpening)) << input;
    }
    EXPECT_EQ(run("", OutputKind::Pipe, InputKind::File).output, with_crlf(kOpening));
}

TEST_F(ProgramTest, InvalidAnswersAskAgainUntilNOrEnd) {
    EXPECT_EQ(run("x\n?\nn\n").output, with_crlf(kOpening + kInvalid + kInvalid));
    EXPECT_EQ(run("x\n").output, with_crlf(kOpening + kInvalid));
    // The non-ASCII byte and the NUL byte are no answer Y or N either.
    EXPECT_EQ(run(std::string("\xe9\n\0\nn\n", 6)).output,
              with_crlf(kOpening + kInvalid + kInvalid));
}

TEST_F(ProgramTest, CompleteRunMatchesTheTranscriptAndTheDisk) {
    drives_->add(program_.drive);
    std::string expected = with_crlf(full_transcript(program_.drive, kPrompt + "\n"));
    for (OutputKind output : {OutputKind::Pipe, OutputKind::File}) {
        drives_->add(program_.drive);
        RunResult result = run("y\n" + lower_drive() + "\n", output);
        EXPECT_EQ(result.output, expected);
        std::vector<std::string> echoed = echoed_paths(result.output);
        std::sort(echoed.begin(), echoed.end());
        EXPECT_EQ(echoed.size(), 127u);
        EXPECT_EQ(folders_on(program_.drive), echoed);
        TempFolder::remove_all(drives_->path_of(program_.drive) + "/1_100billion");
    }
}

TEST_F(ProgramTest, CarriageReturnLineEndsReadLikeLineFeeds) {
    drives_->add(program_.drive);
    RunResult result = run("\rY\r\n" + upper_drive() + "\r\n", OutputKind::File, InputKind::File);
    EXPECT_EQ(result.output, with_crlf(full_transcript(program_.drive, kPrompt + "\n")));
}

TEST_F(ProgramTest, FloppyAndNonLetterDrivesAreRefused) {
    drives_->add(program_.drive);
    std::string input =
        std::string("y\na\nB\n1\n?\n\xc4\n") + std::string(1, '\0') + "\n" + lower_drive() + "\n";
    std::string asked = kPrompt + "\n" + kFloppy + kReenter + "\n" + kFloppy + kReenter + "\n" +
                        kReenter + "\n" + kReenter + "\n" + kReenter + "\n" + kReenter + "\n";
    EXPECT_EQ(run(input).output, with_crlf(full_transcript(program_.drive, asked)));
}

TEST_F(ProgramTest, AWholeWordAnswersBothQuestions) {
    drives_->add('e');
    RunResult result = run("yes\n");
    EXPECT_EQ(result.output, with_crlf(full_transcript('e', kPrompt + "\n")));
    EXPECT_EQ(folders_on('e').size(), 127u);
}

TEST_F(ProgramTest, RootAlreadyPresentFailsAndMakesNothing) {
    make_folders(drives_->add(program_.drive) + "/1_100billion");
    std::string root = upper_drive() + ":\\1_100billion\\\n";
    EXPECT_EQ(run("y\n" + lower_drive() + "\n").output,
              with_crlf(kOpening + kPrompt + "\n" + kFailed + root));
    EXPECT_EQ(folders_on(program_.drive),
              std::vector<std::string>{upper_drive() + ":\\1_100billion\\"});
}

TEST_F(ProgramTest, MissingDriveFails) {
    drives_->remove('m');
    EXPECT_EQ(run("y\nm\n").output,
              with_crlf(kOpening + kPrompt + "\n" + kFailed + "M:\\1_100billion\\\n"));
}

TEST_F(ProgramTest, EndOfInputAtTheDriveQuestionsEndsQuietly) {
    drives_->add(program_.drive);
    EXPECT_EQ(run("y\n").output, with_crlf(kOpening + kPrompt + "\n"));
    EXPECT_EQ(run("y\na\n").output,
              with_crlf(kOpening + kPrompt + "\n" + kFloppy + kReenter + "\n"));
    EXPECT_EQ(run("x\ny\n7").output,
              with_crlf(kOpening + kInvalid + kPrompt + "\n" + kReenter + "\n"));
    EXPECT_TRUE(folders_on(program_.drive).empty());
}

}  // namespace

namespace {

std::vector<std::string> rows_of(const std::string &text) {
    std::vector<std::string> rows;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        rows.push_back(text.substr(start, end - start));
    }
    return rows;
}

TEST_F(ProgramTest, BannerKeepsItsRowRules) {
    std::vector<std::string> rows = rows_of(run("n\n").output);
    ASSERT_EQ(rows.size(), 22u);
    EXPECT_EQ(rows[0], " ");
    for (int row = 2; row <= 14; row++) {
        const std::string &text = rows[row - 1];
        EXPECT_LE(text.size(), 67u) << row;
        EXPECT_EQ(text.back(), ' ') << row;
    }
    EXPECT_EQ(rows[12], rows[11]);
    EXPECT_EQ(rows[13].rfind("        Verrant v1.01", 0), 0u);
    EXPECT_EQ(rows[14], " ");
    EXPECT_EQ(rows[20], "        " + std::string(51, '-') + " ");
    EXPECT_EQ(rows[21], "        Press y to continue - n to exit ");
}

// The packages carry the build's version; the banner must show the same one.
TEST_F(ProgramTest, BannerShowsTheVersionOfTheBuild) {
    std::vector<std::string> rows = rows_of(run("n\n").output);
    ASSERT_GE(rows.size(), 14u);
    EXPECT_EQ(rows[13].substr(0, 18 + strlen(VERRANT_VERSION)), "        Verrant v" VERRANT_VERSION " ");
}

}  // namespace
