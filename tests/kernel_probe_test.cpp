// The probe that decides whether this kernel starts 32-bit x86 programs, and
// so whether the 32-bit Windows row can run here: it starts a minimal i386
// program. A program for a machine no kernel knows shows the refusal on any
// machine; the verdict on i386 itself is the one the table of programs acts on.
#include <gtest/gtest.h>

#include <string>

#include "tests/process.h"
#include "tests/programs.h"

namespace {

RunResult probe(const std::string &machine) {
    RunOptions options;
    options.command = {"bash", VERRANT_I386_PROBE};
    if (!machine.empty()) options.command.push_back(machine);
    return run_program(options);
}

TEST(KernelProbe, TellsARefusalFromARunAndSaysWhatItTried) {
    RunResult refused = probe("30583");
    EXPECT_EQ(refused.exit_status, 1) << refused.output;
    EXPECT_NE(refused.output.find("ELF machine 30583), and the kernel refused it (Exec format error)"),
              std::string::npos)
        << refused.output;

    RunResult i386 = probe("");
    ASSERT_TRUE(i386.exit_status == 0 || i386.exit_status == 1) << i386.output;
    Program started_by_the_kernel = native_program();
    started_by_the_kernel.kernel_runs_it = true;
    EXPECT_EQ(refused_by_kernel(started_by_the_kernel), i386.exit_status == 1 ? i386.output : "");
    EXPECT_EQ(refused_by_kernel(native_program()), "");
}

}  // namespace
