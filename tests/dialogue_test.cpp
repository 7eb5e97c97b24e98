// The dialogue and a complete width-2 tree, on every program of the table: whole
// transcripts compared byte for byte, and the folders on disk with those echoed.
#include <gtest/gtest.h>

#include "tests/programs.h"
#include "tests/transcript.h"

namespace {

class DialogueTest : public ProgramTest {
  protected:
    // Runs the width-2 program; it must end cleanly, saying nothing on
    // standard error but what Wine itself says.
    std::string run(const std::string &input, OutputKind output = OutputKind::Pipe,
                    InputKind kind = InputKind::Pipe) {
        RunOptions options = drives_.options(input);
        options.output_kind = output;
        options.input_kind = kind;
        RunResult result = run_program(options);
        EXPECT_TRUE(result.exited && result.exit_status == 0) << result.exit_status << " " << result.error;
        EXPECT_TRUE(GetParam().runner == Runner::Wine || result.error.empty()) << result.error;
        return result.output;
    }

    char drive_ = GetParam().drive;
    std::string letter_ = std::string(1, drive_);
    std::string upper_ = std::string(1, static_cast<char>(drive_ - 'a' + 'A'));
};

TEST_P(DialogueTest, AnswerNOrTheEndOfInputEndsAfterTheQuestion) {
    for (const char *input : {"n\n", "N\n", "  n  \n", "n", "", "\n\n  \t \n", "\r\n"})
        EXPECT_EQ(run(input), with_crlf(kOpening)) << input;
    EXPECT_EQ(run("", OutputKind::Pipe, InputKind::File), with_crlf(kOpening));
    EXPECT_TRUE(drives_.folders_on(drive_).empty());
}

TEST_P(DialogueTest, InvalidAnswersAskAgainUntilNOrEnd) {
    EXPECT_EQ(run("x\n?\nn\n"), with_crlf(kOpening + kInvalid + kInvalid));
    EXPECT_EQ(run("x\n"), with_crlf(kOpening + kInvalid));
    // The non-ASCII byte and the NUL byte are no answer Y or N either.
    EXPECT_EQ(run(std::string("\xe9\n\0\nn\n", 6)), with_crlf(kOpening + kInvalid + kInvalid));
}

TEST_P(DialogueTest, CompleteRunMatchesTheTranscriptAndTheDisk) {
    std::string expected = full_transcript(drive_, kPrompt + "\n");
    for (OutputKind output : {OutputKind::Pipe, OutputKind::File}) {
        std::string transcript = run("y\n" + letter_ + "\n", output);
        EXPECT_EQ(transcript, expected);
        std::vector<std::string> echoed;
        for (const Echoed &path : echoed_paths(transcript)) echoed.push_back(path.path);
        std::sort(echoed.begin(), echoed.end());
        EXPECT_EQ(echoed.size(), 127u);
        EXPECT_EQ(drives_.folders_on(drive_), echoed);
        remove_all(drives_.path_of(drive_) + "/1_100billion");
    }
    // Carriage returns before line feeds read as the line feeds alone.
    EXPECT_EQ(run("\rY\r\n" + upper_ + "\r\n", OutputKind::File, InputKind::File), expected);
}

TEST_P(DialogueTest, FloppyAndNonLetterDrivesAreRefused) {
    std::string input = std::string("y\na\nB\n1\n?\n\xc4\n") + std::string(1, '\0') + "\n" + letter_ + "\n";
    std::string asked = kPrompt + "\n" + kFloppy + kReenter + "\n" + kFloppy + kReenter + "\n";
    for (int refused = 0; refused < 4; refused++) asked += kReenter + "\n";
    EXPECT_EQ(run(input), full_transcript(drive_, asked));
}

TEST_P(DialogueTest, AWholeWordAnswersBothQuestions) {
    drives_.add('e');
    EXPECT_EQ(run("yes\n"), full_transcript('e', kPrompt + "\n"));
    EXPECT_EQ(drives_.folders_on('e').size(), 127u);
}

TEST_P(DialogueTest, ARootAlreadyThereOrAMissingDriveFailsAndMakesNothing) {
    make_folders(drives_.path_of(drive_) + "/1_100billion");
    EXPECT_EQ(run("y\n" + letter_ + "\n"),
              with_crlf(kOpening + kPrompt + "\n" + kFailed + upper_ + ":\\1_100billion\\\n"));
    EXPECT_EQ(drives_.folders_on(drive_), std::vector<std::string>{upper_ + ":\\1_100billion\\"});
    EXPECT_EQ(run("y\nm\n"), with_crlf(kOpening + kPrompt + "\n" + kFailed + "M:\\1_100billion\\\n"));
}

TEST_P(DialogueTest, EndOfInputAtTheDriveQuestionsEndsQuietly) {
    EXPECT_EQ(run("y\n"), with_crlf(kOpening + kPrompt + "\n"));
    EXPECT_EQ(run("y\na\n"), with_crlf(kOpening + kPrompt + "\n" + kFloppy + kReenter + "\n"));
    EXPECT_EQ(run("x\ny\n7"), with_crlf(kOpening + kInvalid + kPrompt + "\n" + kReenter + "\n"));
    EXPECT_TRUE(drives_.folders_on(drive_).empty());
}

std::vector<std::string> rows_of(const std::string &text) {
    std::vector<std::string> rows;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        rows.push_back(text.substr(start, end - start));
    return rows;
}

// The banner's rules, and the version of the build, which the packages carry.
TEST_P(DialogueTest, BannerKeepsItsRowRulesAndShowsTheVersion) {
    std::vector<std::string> rows = rows_of(run("n\n"));
    ASSERT_EQ(rows.size(), 22u);
    EXPECT_EQ(rows[0], " ");
    for (int row = 2; row <= 14; row++) {
        EXPECT_LE(rows[row - 1].size(), 67u) << row;
        EXPECT_EQ(rows[row - 1].back(), ' ') << row;
    }
    EXPECT_EQ(rows[12], rows[11]);
    EXPECT_EQ(rows[13].substr(0, 18 + strlen(VERRANT_VERSION)), "        Verrant v" VERRANT_VERSION " ");
    EXPECT_EQ(rows[14], " ");
    EXPECT_EQ(rows[20], "        " + std::string(51, '-') + " ");
    EXPECT_EQ(rows[21], "        Press y to continue - n to exit ");
}

INSTANTIATE_TEST_SUITE_P(Programs, DialogueTest, ::testing::ValuesIn(all_programs()), name_of);

}  // namespace
