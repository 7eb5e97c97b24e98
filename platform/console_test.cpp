// The console's text rules on real descriptors: input in separate fills,
// files, a terminal, and outputs that refuse bytes.
#include "platform/console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "tests/files.h"

namespace {

using Answers = std::vector<std::string>;

// Every answer read until the input ends; "<end>" marks the end.
Answers answers_until_end() {
    Answers got;
    char buffer[2] = {'?', '?'};
    while (read_answer(buffer) == 1) {
        EXPECT_EQ(buffer[1], '\0');
        got.push_back(std::string(1, buffer[0]));
    }
    got.push_back("<end>");
    return got;
}

// The answers read from the chunks, each arriving as a fill of its own: a
// packet socket gives one packet a read.
Answers answers_of(const std::vector<std::string> &chunks) {
    int ends[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends), 0);
    for (const std::string &chunk : chunks)
        EXPECT_EQ(write(ends[1], chunk.data(), chunk.size()), ssize_t(chunk.size()));
    close(ends[1]);
    attach_console(ends[0], -1);
    Answers got = answers_until_end();
    close(ends[0]);
    return got;
}

TEST(ReadAnswer, TakesOneNonBlankCharacterAndLeavesTheRest) {
    EXPECT_EQ(answers_of({"y\n"}), (Answers{"y", "<end>"}));
    EXPECT_EQ(answers_of({"yes\n"}), (Answers{"y", "e", "s", "<end>"}));
    EXPECT_EQ(answers_of({"  n\n"}), (Answers{"n", "<end>"}));
    EXPECT_EQ(answers_of({"c"}), (Answers{"c", "<end>"}));
    EXPECT_EQ(answers_of({"\n", " \t \n", "\v\f n\n"}), (Answers{"n", "<end>"}));
    EXPECT_EQ(answers_of({std::string("\0\n\xe9", 3)}), (Answers{std::string(1, '\0'), "\xe9", "<end>"}));
    // One byte at a time.
    EXPECT_EQ(answers_of({" ", "\n", "n", "o", "\r", "\n", "x"}), (Answers{"n", "o", "x", "<end>"}));
}

TEST(ReadAnswer, LineEndsAndCarriageReturns) {
    EXPECT_EQ(answers_of({"a\r\nb\r\n"}), (Answers{"a", "b", "<end>"}));
    EXPECT_EQ(answers_of({"\ra\rb\r"}), (Answers{"a", "b", "<end>"}));
    // A CR LF pair split across two fills, and a CR alone in a fill.
    EXPECT_EQ(answers_of({"a\r", "\nb\r", "\r", "\n"}), (Answers{"a", "b", "<end>"}));
    EXPECT_EQ(answers_of({"a", "\r", "b"}), (Answers{"a", "b", "<end>"}));
}

TEST(ReadAnswer, CtrlZEndsTheDataOfItsFill) {
    // The rest of the fill is dropped, the next fill is read as usual.
    EXPECT_EQ(answers_of({"a\x1a" "bcd\n", "e\n"}), (Answers{"a", "e", "<end>"}));
    // A fill that starts with Ctrl-Z is the end of input, for good.
    EXPECT_EQ(answers_of({"a\n", "\x1a" "b\n", "c\n"}), (Answers{"a", "<end>"}));
    EXPECT_EQ(answers_of({"\x1a\r\n"}), (Answers{"<end>"}));
}

TEST(ReadAnswer, EndOfInputLeavesTheBufferAndStays) {
    TempFolder folder;
    std::string path = folder.path + "/input";
    write_file(path, "");
    int fd = open(path.c_str(), O_RDONLY);
    attach_console(fd, -1);
    char buffer[2] = {'Q', '\0'};
    EXPECT_EQ(read_answer(buffer), -1);
    EXPECT_EQ(std::string(buffer), "Q");
    // Data that turns up later is never read: the end stands.
    write_file(path, "y\n");
    EXPECT_EQ(read_answer(buffer), -1);
    EXPECT_EQ(std::string(buffer), "Q");
    close(fd);
}

TEST(ReadAnswer, AFailedReadCountsAsEndOfInput) {
    int fd = open("/", O_RDONLY | O_DIRECTORY);
    attach_console(fd, -1);
    char buffer[2] = {'Q', '\0'};
    EXPECT_EQ(read_answer(buffer), -1);
    EXPECT_EQ(read_answer(buffer), -1);
    EXPECT_EQ(buffer[0], 'Q');
    close(fd);
}

TEST(ReadAnswer, SpansManyFills) {
    TempFolder folder;
    write_file(folder.path + "/input", std::string(1 << 20, ' ') + "z" + std::string(5000, '\t') + "w");
    int fd = open((folder.path + "/input").c_str(), O_RDONLY);
    attach_console(fd, -1);
    EXPECT_EQ(answers_until_end(), (Answers{"z", "w", "<end>"}));
    close(fd);
}

// Output into a file, read back after the run's final write-out.
class FileOutput : public ::testing::Test {
  protected:
    void SetUp() override { attach_console(-1, fd_); }
    void TearDown() override { close(fd_); }
    std::string written() { return read_file(path_); }

    TempFolder folder_;
    std::string path_ = folder_.path + "/out";
    int fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
};

TEST_F(FileOutput, LineFeedsBecomeCrLf) {
    EXPECT_EQ(print_text("a\nb\n\n"), 5);
    EXPECT_EQ(print_line("C:\\x\\"), 0);
    EXPECT_EQ(print_line(""), 0);
    EXPECT_EQ(print_text("\r"), 1);
    flush_output();
    EXPECT_EQ(written(), "a\r\nb\r\n\r\nC:\\x\\\r\n\r\n\r");
}

TEST_F(FileOutput, LeavesInBlocksNotLines) {
    std::string line(99, 'p');
    print_line(line.c_str());
    EXPECT_EQ(written(), "");
    for (int i = 1; i < 170; i++) print_line(line.c_str());
    // 170 lines of 101 bytes: only the first full 16 KiB block has gone out.
    EXPECT_EQ(written().size(), 16384u);
    flush_output();
    EXPECT_EQ(written().size(), 17170u);
}

TEST(FailedOutput, StaysFailedAndDropsEverything) {
    int fd = open("/dev/full", O_WRONLY);
    attach_console(-1, fd);
    std::string block(70000, 'x');
    EXPECT_EQ(print_text(block.c_str()), -1);
    // Even a text that would fit the buffer is refused from now on.
    EXPECT_EQ(print_text("y"), -1);
    EXPECT_NE(print_line("z"), 0);
    flush_output();
    close(fd);
}

TEST(FailedOutput, APipeWithoutReaderFailsTheStream) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    attach_console(-1, ends[1]);
    print_text("lost\n");
    flush_output();
    EXPECT_EQ(print_text("a"), -1);
    close(ends[1]);
}

// A terminal: the pseudo-terminal's far end sees what was written at once.
TEST(TerminalOutput, IsWrittenOutAtEveryCall) {
    int master, slave;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios mode;
    tcgetattr(slave, &mode);
    mode.c_oflag &= ~OPOST;
    tcsetattr(slave, TCSANOW, &mode);
    attach_console(-1, slave);
    print_text("prompt: ");
    char got[64] = {};
    EXPECT_EQ(read(master, got, sizeof got), 8);
    EXPECT_EQ(std::string(got), "prompt: ");
    print_line("line");
    EXPECT_EQ(read(master, got, sizeof got), 6);
    EXPECT_EQ(std::string(got, 6), "line\r\n");
    close(slave);
    close(master);
}

TEST(Text, UpperCasesOnlyAsciiLetters) {
    char text[] = "y7@\xe9zA`{";
    EXPECT_EQ(to_upper_text(text), text);
    EXPECT_EQ(std::string(text), "Y7@\xe9ZA`{");
}

TEST(Text, LettersAreAsciiLettersOnly) {
    for (char c : std::string("AZaz")) EXPECT_TRUE(is_letter(c)) << c;
    for (char c : std::string("09@[`{ \xc4\xe9\x80\xff", 12)) EXPECT_FALSE(is_letter(c)) << int(c);
    EXPECT_FALSE(is_letter('\0'));
}

TEST(Text, NumbersHaveThreeDigits) {
    char buffer[8];
    const std::pair<int, const char *> cases[] = {
        {0, "000"}, {1, "001"}, {42, "042"}, {100, "100"}, {999, "999"}};
    for (auto [value, text] : cases) {
        EXPECT_EQ(format_number(buffer, value), 3);
        EXPECT_EQ(std::string(buffer), text);
    }
}

}  // namespace
