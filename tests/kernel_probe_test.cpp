// The probe that decides whether the kernel starts i386 programs, and so
// whether the 32-bit Windows row runs: a machine no kernel knows shows its
// refusal anywhere; its verdict on i386 is the one the table acts on.
#include <gtest/gtest.h>

#include <string>

#include "tests/process.h"
#include "tests/programs.h"

namespace {

RunResult probe(const std::string &machine) {
    RunOptions options;
    options.command = {"bash", VERRANT_I386_PROBE, machine};
    return run_program(options);
}

TEST(KernelProbe, TellsARefusalFromARunAndSaysWhatItTried) {
    RunResult refused = probe("30583");
    EXPECT_EQ(refused.exit_status, 1);
    EXPECT_TRUE(refused.output.ends_with("(ELF machine 30583), and the kernel refused it (Exec format error)\n"))
        << refused.output;
    RunResult i386 = probe("3");
    ASSERT_TRUE(i386.exit_status == 0 || i386.exit_status == 1) << i386.output;
    Program started_by_the_kernel = native_program();
    started_by_the_kernel.kernel_runs_it = true;
    EXPECT_EQ(refused_by_kernel(started_by_the_kernel), i386.exit_status == 1 ? i386.output : "");
    EXPECT_EQ(refused_by_kernel(native_program()), "");
}

}  // namespace
