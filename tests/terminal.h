// A program at a pseudo-terminal, its controlling terminal, so Ctrl-C typed
// there interrupts it. The terminal neither echoes what is typed nor changes
// what is printed: what is seen is exactly the program's bytes.
#ifndef VERRANT_TESTS_TERMINAL_H
#define VERRANT_TESTS_TERMINAL_H

#include <pty.h>
#include <sys/ioctl.h>

#include "tests/process.h"

struct Terminal {
    int master = -1;
    pid_t child = -1;  // -1 when it could not be started, seen then says why
    std::string seen;  // everything printed so far

    // Starts command in folder.
    Terminal(const std::vector<std::string> &command, const std::string &folder) {
        int slave = -1;
        // Wide enough that no line of the program's is wrapped by a console
        // that draws the screen itself.
        winsize size = {50, 200, 0, 0};
        if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) return;
        termios mode;
        tcgetattr(slave, &mode);
        mode.c_lflag &= ~ECHO;   // keep the transcript to what the program prints
        mode.c_oflag &= ~OPOST;  // and its bytes unchanged
        mode.c_iflag &= ~ICRNL;  // a CR typed is Enter to a console that reads raw keys
        tcsetattr(slave, TCSANOW, &mode);
        child = fork();
        if (child < 0) seen = std::string("cannot start the program: fork failed: ") + strerror(errno);
        if (child == 0) {
            setsid();
            ioctl(slave, TIOCSCTTY, 0);
            for (int fd : {0, 1, 2}) dup2(slave, fd);
            if (slave > 2) close(slave);
            close(master);
            if (chdir(folder.c_str()) != 0) _exit(126);
            signal(SIGINT, SIG_DFL);
            exec_command(command);
        }
        // The far side stays open here too, so that nothing the program printed
        // is lost to the hang-up when it ends.
        slave_ = slave;
    }
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;
    ~Terminal() {
        if (child > 0 && waitpid(child, nullptr, WNOHANG) == 0) {
            kill(-child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        if (master >= 0) close(master);
        if (slave_ >= 0) close(slave_);
    }

    // Reads until done(seen) holds (true), or until nothing has come for
    // idle_seconds, the terminal was closed or two minutes have passed (false).
    bool read_until(const std::function<bool(const std::string &)> &done, int idle_seconds = 5) {
        auto give_up = after(120);
        for (int idle = 0; idle <= idle_seconds * 20 && !give_up(seen);) {
            if (done(seen)) return true;
            pollfd ready = {master, POLLIN, 0};
            if (poll(&ready, 1, 50) <= 0) {
                idle++;
                continue;
            }
            char block[65536];
            ssize_t got = read(master, block, sizeof block);
            if (got <= 0) return done(seen);
            seen.append(block, got);
            idle = 0;
        }
        return false;
    }

    // Reads until what was seen ends with tail.
    bool read_until(const std::string &tail, int idle_seconds = 5) {
        return read_until([&](const std::string &text) { return text.ends_with(tail); }, idle_seconds);
    }

    bool type(const std::string &keys) {
        return write(master, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size());
    }

    // Reads while the program runs, a second at a time however much it
    // prints, for two minutes at most, then what it left in the terminal;
    // returns its exit status, 128 + the signal that ended it, or -1 when it
    // did not end.
    int wait_for_end() {
        int status = 0;
        pid_t ended = 0;
        for (int waited = 0; child > 0 && ended == 0 && waited < 120; waited++) {
            read_until(after(1), 1);
            ended = waitpid(child, &status, WNOHANG);
        }
        read_until(after(1), 1);
        if (ended != child) return -1;
        child = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

  private:
    int slave_ = -1;
};

// The text a console shows for bytes printed to it: without control
// sequences and carriage returns, and without the blanks that end a line,
// which a console that draws the screen itself leaves out.
inline std::string screen_text(const std::string &bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); i++) {
        char c = bytes[i];
        if (c == '\x1b' && i + 1 < bytes.size() && bytes[i + 1] == '[') {
            // A control sequence: parameters, then one final byte. Moving
            // the cursor forward over a line's end leaves blanks there.
            size_t start = i + 2;
            for (i = start; i < bytes.size() && (bytes[i] < 0x40 || bytes[i] > 0x7e); i++) {
            }
            if (i < bytes.size() && bytes[i] == 'C') text.append(std::max(1, atoi(bytes.c_str() + start)), ' ');
        } else if (c == '\x1b' && i + 1 < bytes.size() && bytes[i + 1] == ']') {
            // An operating system command, ended by BEL.
            while (i < bytes.size() && bytes[i] != '\a') i++;
        } else if (c == '\n') {
            while (!text.empty() && text.back() == ' ') text.pop_back();
            text += c;
        } else if (c != '\r') {
            text += c;
        }
    }
    return text;
}

#endif
