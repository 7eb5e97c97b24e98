// The programs the whole-program tests run, one row each: the Linux program,
// the Windows programs under Wine, and every other Linux architecture's under
// its qemu, each at widths 2 and 4, its drive letters leading to folders of
// the test's own.
#ifndef VERRANT_TESTS_PROGRAMS_H
#define VERRANT_TESTS_PROGRAMS_H

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/files.h"
#include "tests/process.h"

enum class Runner { Native, Wine, Qemu };

struct Program {
    const char *name;  // in test names: native, windows, windows64, arm64, s390x, ...
    Runner runner;
    const char *width2;  // the executables
    const char *width4;
    char drive;                // the letter the ordinary cases answer with (lower case)
    const char *launcher;      // wine32 or wine64 (see wine.sh), or the architecture's qemu
    const char *library_root;  // where qemu finds the architecture's C library
    bool kernel_runs_it;       // a 32-bit x86 program that the kernel itself starts
};

std::vector<Program> all_programs();
Program native_program();  // the Linux program, for the tests that run it alone

// Why this kernel cannot run the program, as the probe found, or "". No test
// of such a row runs, even where every test must.
std::string refused_by_kernel(const Program &program);
// What this machine lacks to run the program, or "".
std::string missing_for(const Program &program);

// Ends a test that cannot run its program here: skipped where the kernel
// refuses it, otherwise as SKIP_OR_FAIL_FOR_LACK_OF does.
#define REQUIRE_RUNNABLE(program)                                               \
    do {                                                                        \
        std::string refused = refused_by_kernel(program);                       \
        if (!refused.empty()) GTEST_SKIP() << refused;                          \
        std::string missing = missing_for(program);                             \
        if (!missing.empty()) SKIP_OR_FAIL_FOR_LACK_OF(missing);                \
    } while (0)

// The command that runs one of the program's executables.
std::vector<std::string> command_of(const Program &program, const std::string &executable);

// A test's world: a temporary folder holding one folder per drive letter
// (lower case), given to the program as its drives.
struct Drives {
    explicit Drives(const Program &program);
    std::string add(char letter);            // makes a drive's folder, returns it
    std::string path_of(char letter) const;  // where a drive's folders are
    // The folders made on a drive, as drive-letter paths, sorted.
    std::vector<std::string> folders_on(char letter) const;
    // A run of the width-2 program (or another executable) with this input.
    RunOptions options(const std::string &input, const char *executable = nullptr) const;

    Program program;
    TempFolder folder;
};

// A test over the rows of the table: it fails or skips, naming what is
// missing, where the row cannot run here, and has the row's drive ready.
class ProgramTest : public ::testing::TestWithParam<Program> {
  protected:
    void SetUp() override {
        REQUIRE_RUNNABLE(GetParam());
        drives_.add(GetParam().drive);
    }

    Drives drives_{GetParam()};
};

// A shell command that stops the Wine server of the tests' prefix, so the
// next Windows program starts one where it runs (in a mount namespace, say).
std::string stop_wine_server();
std::string shell_quoted(const std::string &word);  // in single quotes, for the shell

// Names the row in GoogleTest's messages and in test names.
void PrintTo(const Program &program, std::ostream *out);
std::string name_of(const ::testing::TestParamInfo<Program> &info);

#endif
