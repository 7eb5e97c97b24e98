// The program under test: the native build, or the Windows build under Wine,
// with drive letters given to it as folders inside a test's own folder.
#ifndef VERRANT_TESTS_PROGRAM_H
#define VERRANT_TESTS_PROGRAM_H

#include <string>

#include "tests/run_program.h"

struct Program {
    std::string executable;
    bool under_wine = false;
    char drive = 'c';  // the letter the ordinary cases answer with
};

// The width-2 program of this test binary (native or Windows).
Program width2_program();

// The width-4 program of this test binary (native or Windows).
Program width4_program();

// Stops the Wine server of the tests' prefix, so the next Windows program
// starts one of its own where it runs (in a mount namespace, say); returns
// true once none runs.
bool stop_wine_server();

// Whether this test binary can run its program here; the reason when not.
bool program_available(std::string &reason);

// A test's world: a temporary folder holding one folder per drive letter.
struct Drives {
    TempFolder folder;
    explicit Drives(const Program &program);
    // Makes the folder for a drive letter (lower case) and gives it to the program.
    std::string add(char letter);
    // Makes sure the program sees no drive of that letter.
    void remove(char letter);
    // Where a drive letter's folders are.
    std::string path_of(char letter) const;
    RunOptions options(const std::string &input) const;

  private:
    Program program_;
};

#endif
