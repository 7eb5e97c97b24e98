#include "tests/program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

bool exists(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// One Wine prefix for the whole test run, under the build tree; the tests
// that use it are run one at a time, as each sets its own drive letters.
#ifndef VERRANT_WINE_PREFIX
#define VERRANT_WINE_PREFIX ""
#endif
const char *const kPrefix = VERRANT_WINE_PREFIX;

#ifdef VERRANT_UNDER_WINE
void prepare_prefix() {
    static bool ready = false;
    if (ready) return;
    ready = true;
    mkdir((std::string(kPrefix) + "-runtime").c_str(), 0700);
    if (!exists(std::string(kPrefix) + "/system.reg")) {
        std::string boot =
            std::string("WINEPREFIX=") + kPrefix + " XDG_RUNTIME_DIR=" + kPrefix + "-runtime" +
            " WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= wineboot --init >/dev/null 2>&1";
        if (system(boot.c_str()) != 0) return;
        if (system((std::string("WINEPREFIX=") + kPrefix + " wineserver -w").c_str()) != 0) return;
    }
}
#endif

}  // namespace

namespace {

Program program_of(const char *executable) {
    Program program;
    program.executable = executable;
#ifdef VERRANT_UNDER_WINE
    program.under_wine = true;
    program.drive = 'd';
#endif
    return program;
}

}  // namespace

Program width2_program() { return program_of(VERRANT_WIDTH2_PROGRAM); }

Program width4_program() { return program_of(VERRANT_WIDTH4_PROGRAM); }

bool stop_wine_server() {
    std::string prefix = std::string("WINEPREFIX=") + kPrefix;
    return system((prefix + " wineserver -k >/dev/null 2>&1; " + prefix + " wineserver -w").c_str()) == 0;
}

bool program_available(std::string &reason) {
    if (!exists(VERRANT_WIDTH2_PROGRAM)) {
        reason = std::string("not built: ") + VERRANT_WIDTH2_PROGRAM;
        return false;
    }
#ifdef VERRANT_UNDER_WINE
    if (system("command -v wine >/dev/null 2>&1") != 0) {
        reason = "wine is not installed";
        return false;
    }
    prepare_prefix();
    if (!exists(std::string(kPrefix) + "/dosdevices")) {
        reason = "the Wine prefix could not be made";
        return false;
    }
#endif
    return true;
}

Drives::Drives(const Program &program) : program_(program) {
    make_folders(folder.path + "/drives");
}

std::string Drives::path_of(char letter) const { return folder.path + "/drives/" + letter; }

std::string Drives::add(char letter) {
    std::string path = path_of(letter);
    make_folders(path);
    if (program_.under_wine) {
        std::string device = std::string(kPrefix) + "/dosdevices/" + letter + ":";
        unlink(device.c_str());
        if (symlink(path.c_str(), device.c_str()) != 0) path.clear();
    }
    return path;
}

void Drives::remove(char letter) {
    if (program_.under_wine) {
        unlink((std::string(kPrefix) + "/dosdevices/" + letter + ":").c_str());
    }
}

RunOptions Drives::options(const std::string &input) const {
    RunOptions options;
    options.input = input;
    options.working_folder = folder.path;
    if (program_.under_wine) {
        options.command = {"wine", program_.executable};
        // Wine's display drivers want a runtime folder of the user's; a
        // fresh machine without a desktop session has none.
        options.environment = {std::string("WINEPREFIX=") + kPrefix, "WINEDEBUG=-all",
                               std::string("XDG_RUNTIME_DIR=") + kPrefix + "-runtime"};
    } else {
        options.command = {program_.executable};
    }
    return options;
}
