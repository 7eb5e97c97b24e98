#include "tests/programs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

// One Wine prefix for the whole test run, under the build tree; the tests
// that use it are run one at a time, as each gives it its own drive letters.
const std::string kPrefix = VERRANT_WINE_PREFIX;
// Wine's 64-bit loader. Each Windows row calls its loader directly: the wine
// command picks the 32-bit one whenever it is installed, and falls back to
// the 64-bit one, silently, when it is not.
const std::string kWine64 = "/usr/lib/wine/wine64";
// Wine's display drivers want a runtime folder of the user's, which a fresh
// machine without a desktop session lacks: it gets one of its own.
const std::vector<std::string> kWineEnvironment = {
    "env", "WINEPREFIX=" + kPrefix, "XDG_RUNTIME_DIR=" + kPrefix + "-runtime", "WINEDEBUG=-all",
    "WINEDLLOVERRIDES=mscoree,mshtml="};

// The words of a command, each quoted for the shell.
std::string shell_words(const std::vector<std::string> &words) {
    std::string line;
    for (const std::string &word : words) line += " " + shell_quoted(word);
    return line;
}

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

bool command_exists(const std::string &name) {
    return system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Makes the Wine prefix once, with the 64-bit loader, which every machine
// that runs Wine has; returns what stopped it, in Wine's own words, or "".
std::string wine_prefix_problem() {
    mkdir((kPrefix + "-runtime").c_str(), 0700);
    if (exists(kPrefix + "/system.reg")) return "";
    RunOptions boot;
    boot.command = kWineEnvironment;
    boot.command.insert(boot.command.end(), {"sh", "-c", "\"$0\" wineboot --init && wineserver -w", kWine64});
    RunResult result = run_program(boot);
    if (result.exited && result.exit_status == 0 && exists(kPrefix + "/dosdevices")) return "";
    return "a Wine prefix: wineboot --init ended with status " + std::to_string(result.exit_status) + ": " +
           result.error;
}

// The probe's verdict on this kernel, found once: empty when it starts i386
// programs, else why not and what was tried.
const std::string &i386_refusal() {
    static const std::string refusal = [] {
        RunOptions probe;
        probe.command = {"bash", VERRANT_I386_PROBE};
        RunResult result = run_program(probe);
        if (!result.exited || result.exit_status > 1) ADD_FAILURE() << result.output << result.error;
        return result.exited && result.exit_status == 1 ? result.output : std::string();
    }();
    return refusal;
}

}  // namespace

std::vector<Program> all_programs() {
    return {
#include "program_table.inc"
    };
}

Program native_program() { return all_programs()[0]; }

std::string refused_by_kernel(const Program &program) {
    return program.kernel_runs_it ? i386_refusal() : "";
}

std::string missing_for(const Program &program) {
    if (!exists(program.width2) || !exists(program.width4))
        return std::string("the program, not built: ") + program.width2;
    if (*program.launcher && !command_exists(program.launcher))
        return std::string(program.launcher) + ", which is not installed";
    if (program.runner == Runner::Wine && !command_exists(kWine64)) return kWine64;
    if (program.runner == Runner::Wine) return wine_prefix_problem();
    return "";
}

std::vector<std::string> command_of(const Program &program, const std::string &executable) {
    switch (program.runner) {
        case Runner::Wine: {
            std::vector<std::string> command = kWineEnvironment;
            command.insert(command.end(), {program.launcher, executable});
            return command;
        }
        case Runner::Qemu: return {program.launcher, "-L", program.library_root, executable};
        case Runner::Native: break;
    }
    return {executable};
}

Drives::Drives(const Program &program) : program(program) { make_folders(folder.path + "/drives"); }

std::string Drives::path_of(char letter) const { return folder.path + "/drives/" + letter; }

std::string Drives::add(char letter) {
    std::string path = path_of(letter);
    make_folders(path);
    if (program.runner == Runner::Wine) {
        std::string device = kPrefix + "/dosdevices/" + letter + ":";
        unlink(device.c_str());
        if (symlink(path.c_str(), device.c_str()) != 0) path.clear();
    }
    return path;
}

std::vector<std::string> Drives::folders_on(char letter) const {
    return folders_below(path_of(letter), std::string(1, static_cast<char>(letter - 'a' + 'A')) + ":\\");
}

RunOptions Drives::options(const std::string &input, const char *executable) const {
    RunOptions options;
    options.input = input;
    options.working_folder = folder.path;
    options.command = command_of(program, executable ? executable : program.width2);
    return options;
}

std::string stop_wine_server() {
    std::string env = shell_words(kWineEnvironment);
    return env + " wineserver -k 2>/dev/null;" + env + " wineserver -w";
}

std::string shell_quoted(const std::string &word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void PrintTo(const Program &program, std::ostream *out) { *out << program.name; }

std::string name_of(const ::testing::TestParamInfo<Program> &info) { return info.param.name; }
