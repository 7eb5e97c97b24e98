// A program on the far side of a pseudo-terminal, as at a console: the
// terminal is its controlling terminal, so Ctrl-C typed there interrupts it.
// The terminal neither echoes what is typed nor changes what is printed, so
// what is seen is exactly the program's bytes.
#ifndef VERRANT_TESTS_TERMINAL_H
#define VERRANT_TESTS_TERMINAL_H

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct Terminal {
    int master = -1;
    pid_t child = -1;  // -1 when it could not be started, seen then says why
    std::string seen;  // everything printed so far

    // Starts command in folder.
    Terminal(const std::vector<std::string> &command, const std::string &folder);
    ~Terminal();
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;

    // Reads until done(seen) holds (true), or until nothing has come for
    // idle_seconds, the terminal was closed or two minutes have passed (false).
    bool read_until(const std::function<bool(const std::string &)> &done, int idle_seconds = 5);
    // Reads until what was seen ends with tail.
    bool read_until(const std::string &tail, int idle_seconds = 5);
    // Types keys at the terminal.
    bool type(const std::string &keys);
    // Reads what is left while waiting for the program (up to two minutes
    // in all); returns its exit status, 128 + the signal that ended it, or
    // -1 when it did not end.
    int wait_for_end();

  private:
    int slave_ = -1;
};

// The text a console shows for bytes printed to it: without control
// sequences and carriage returns, and without the blanks that end a line,
// which a console that draws the screen itself leaves out.
std::string screen_text(const std::string &bytes);

#endif
