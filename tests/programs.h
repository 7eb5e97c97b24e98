// The programs the whole-program tests run, one row each, at widths 2 and 4:
// the Linux program, the Windows ones under Wine, every other architecture's
// under its qemu; drive letters lead to folders of the test's own.
#ifndef VERRANT_TESTS_PROGRAMS_H
#define VERRANT_TESTS_PROGRAMS_H

#include <gtest/gtest.h>

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

inline std::vector<Program> all_programs() {
    return {
#include "program_table.inc"
    };
}

// The Linux program, for the tests that run it alone.
inline Program native_program() { return all_programs()[0]; }

// One Wine prefix for the test run, used by one test at a time (each gives it
// its own drive letters), and the command that runs words under it.
inline const std::string kPrefix = VERRANT_WINE_PREFIX;
inline const std::vector<std::string> kWine = {"bash", VERRANT_WINE_SH, kPrefix};

inline std::vector<std::string> under_wine(std::initializer_list<std::string> words) {
    std::vector<std::string> command = kWine;
    command.insert(command.end(), words);
    return command;
}

// The word in single quotes, for the shell.
inline std::string shell_quoted(const std::string &word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? "'\\''" : std::string(1, c);
    return out + "'";
}

// A shell command that stops the Wine server of the tests' prefix, so the
// next Windows program starts one where it runs (in a mount namespace, say).
inline std::string stop_wine_server() {
    std::string wine;
    for (const std::string &word : kWine) wine += shell_quoted(word) + " ";
    return wine + "wineserver -k 2>/dev/null; " + wine + "wineserver -w";
}

// Why this kernel cannot run the program, as the probe found once, or "". No
// test of such a row runs, even where every test must.
inline std::string refused_by_kernel(const Program &program) {
    static const std::string refusal = [] {
        RunOptions probe;
        probe.command = {"bash", VERRANT_I386_PROBE};
        RunResult result = run_program(probe);
        if (!result.exited || result.exit_status > 1) ADD_FAILURE() << result.output << result.error;
        return result.exited && result.exit_status == 1 ? result.output : std::string();
    }();
    return program.kernel_runs_it ? refusal : "";
}

// What this machine lacks to run the program, or "".
inline std::string missing_for(const Program &program) {
    if (access(program.width2, F_OK) != 0 || access(program.width4, F_OK) != 0)
        return std::string("the program, not built: ") + program.width2;
    if (program.runner == Runner::Wine) {
        // Makes the tests' prefix too, the first time.
        RunOptions loader;
        loader.command = under_wine({program.launcher, "--version"});
        RunResult found = run_program(loader);
        return found.exited && found.exit_status == 0 ? "" : found.error;
    }
    if (*program.launcher && system(("command -v " + std::string(program.launcher) + " >/dev/null").c_str()) != 0)
        return std::string(program.launcher) + ", which is not installed";
    return "";
}

// Ends a test that cannot run its program here: skipped where the kernel
// refuses it, otherwise as SKIP_OR_FAIL_FOR_LACK_OF does.
#define REQUIRE_RUNNABLE(program)                                               \
    do {                                                                        \
        std::string refused = refused_by_kernel(program);                       \
        if (!refused.empty()) GTEST_SKIP() << refused;                          \
        SKIP_OR_FAIL_FOR_LACK_OF(missing_for(program));                         \
    } while (0)

// The command that runs one of the program's executables.
inline std::vector<std::string> command_of(const Program &program, const std::string &executable) {
    switch (program.runner) {
        case Runner::Wine: return under_wine({program.launcher, executable});
        case Runner::Qemu: return {program.launcher, "-L", program.library_root, executable};
        case Runner::Native: break;
    }
    return {executable};
}

// A test's world: a temporary folder holding one folder per drive letter
// (lower case), given to the program as its drives.
struct Drives {
    explicit Drives(const Program &program) : program(program) { make_folders(folder.path + "/drives"); }

    std::string path_of(char letter) const { return folder.path + "/drives/" + letter; }

    // Makes a drive's folder, and under Wine its drive letter; returns the folder.
    std::string add(char letter) {
        std::string path = path_of(letter);
        make_folders(path);
        if (program.runner == Runner::Wine) {
            std::string device = kPrefix + "/dosdevices/" + letter + ":";
            unlink(device.c_str());
            if (symlink(path.c_str(), device.c_str()) != 0) path.clear();
        }
        return path;
    }

    // The folders made on a drive, as drive-letter paths, sorted.
    std::vector<std::string> folders_on(char letter) const {
        return folders_below(path_of(letter), std::string(1, static_cast<char>(toupper(letter))) + ":\\");
    }

    // A run of the width-2 program (or another executable) with this input.
    RunOptions options(const std::string &input, const char *executable = nullptr) const {
        RunOptions options;
        options.input = input;
        options.working_folder = folder.path;
        options.command = command_of(program, executable ? executable : program.width2);
        return options;
    }

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

// Names the row in GoogleTest's messages and in test names.
inline void PrintTo(const Program &program, std::ostream *out) { *out << program.name; }
inline std::string name_of(const ::testing::TestParamInfo<Program> &info) { return info.param.name; }

#endif
