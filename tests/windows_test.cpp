// What only the Windows program needs: its executable's kind, and the same
// bytes as the native program for the same input.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/program.h"

namespace {

uint32_t little_endian(const std::string &bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; i--)
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

TEST(WindowsProgram, IsA32BitConsoleProgram) {
    std::string reason;
    if (!program_available(reason)) SKIP_OR_FAIL_FOR_LACK_OF(reason);
    std::string image = read_file(width2_program().executable);
    ASSERT_GT(image.size(), 0x200u);
    ASSERT_EQ(image.substr(0, 2), "MZ");
    size_t header = little_endian(image, 0x3c, 4);
    ASSERT_EQ(image.substr(header, 4), std::string("PE\0\0", 4));
    EXPECT_EQ(little_endian(image, header + 4, 2), 0x14cu);  // Intel 80386
    size_t optional = header + 24;
    EXPECT_EQ(little_endian(image, optional, 2), 0x10bu);   // PE32, not PE32+
    EXPECT_EQ(little_endian(image, optional + 68, 2), 3u);  // console subsystem
}

TEST(WindowsProgram, PrintsTheSameBytesAsTheNativeProgram) {
    std::string reason;
    if (!program_available(reason)) SKIP_OR_FAIL_FOR_LACK_OF(reason);
    Program windows = width2_program();
    Program native{VERRANT_NATIVE_WIDTH2_PROGRAM, false, windows.drive};
    std::string input = "x\ny\nA\n?\n" + std::string(1, windows.drive) + "\n";
    std::string outputs[2];
    for (int i = 0; i < 2; i++) {
        Drives drives(i == 0 ? windows : native);
        drives.add(windows.drive);
        outputs[i] = run_program(drives.options(input)).output;
    }
    EXPECT_GT(outputs[0].size(), 10000u);
    EXPECT_EQ(outputs[0], outputs[1]);
}

}  // namespace
