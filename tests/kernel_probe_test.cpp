// The probe that decides whether the kernel starts i386 programs, and so
// whether the 32-bit Windows row runs: a machine no kernel knows shows its
// refusal anywhere; its verdict on i386 is the one the table acts on.
#include <gtest/gtest.h>

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
    EXPECT_TRUE(refused.output.ends_with(
        "(ELF machine 30583), and the kernel refused it (Exec format error)\n"))
        << refused.output;
    RunResult i386 = probe("3");
    ASSERT_TRUE(i386.exit_status == 0 || i386.exit_status == 1) << i386.output;
    Program started_by_the_kernel = native_program();
    started_by_the_kernel.kernel_runs_it = true;
    EXPECT_EQ(refused_by_kernel(started_by_the_kernel), i386.exit_status == 1 ? i386.output : "");
    EXPECT_EQ(refused_by_kernel(native_program()), "");
}

// The probe must say what the kernel does with a real i386 program: the
// i386 row's own, started by the kernel through its C library's loader.
TEST(KernelProbe, AgreesWithTheKernelStartingTheI386RowsProgram) {
    RunResult verdict = probe("3");
    ASSERT_TRUE(verdict.exited && verdict.exit_status <= 1) << verdict.output;
    std::vector<Program> rows = all_programs();
    auto i386 = std::find_if(rows.begin(), rows.end(),
                             [](const Program &p) { return p.name == std::string("i386"); });
    if (i386 == rows.end()) GTEST_SKIP() << "this build has no i386 row: the other rows are off";
    if (access(i386->width2, X_OK) != 0) SKIP_OR_FAIL_FOR_LACK_OF("the i386 row's program");
    const std::string root = i386->library_root;
    RunOptions run;
    run.command = {"bash",           "-c",          "exec \"$@\"", "-", root + "/lib/ld-linux.so.2",
                   "--library-path", root + "/lib", i386->width2};
    run.input = "n\n";
    RunResult started = run_program(run);
    if (verdict.exit_status == 0)
        EXPECT_TRUE(started.exited && started.exit_status == 0) << started.error;
    else
        EXPECT_NE(started.error.find("Exec format error"), std::string::npos) << started.error;
}

}  // namespace
