#include "tests/programs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

// One Wine prefix for the whole test run, under the build tree; the tests
// that use it are run one at a time, as each gives it its own drive letters.
const std::string kPrefix = VERRANT_WINE_PREFIX;
// What runs a command under that prefix, in Wine's environment.
const std::vector<std::string> kWine = {"bash", VERRANT_WINE_SH, kPrefix};

std::vector<std::string> under_wine(std::initializer_list<std::string> words) {
    std::vector<std::string> command = kWine;
    command.insert(command.end(), words);
    return command;
}

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

bool command_exists(const std::string &name) {
    return system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
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
    if (program.runner == Runner::Wine) {
        // Makes the tests' prefix too, the first time.
        RunOptions loader;
        loader.command = under_wine({program.launcher, "--version"});
        RunResult found = run_program(loader);
        return found.exited && found.exit_status == 0 ? "" : found.error;
    }
    if (*program.launcher && !command_exists(program.launcher))
        return std::string(program.launcher) + ", which is not installed";
    return "";
}

std::vector<std::string> command_of(const Program &program, const std::string &executable) {
    switch (program.runner) {
        case Runner::Wine: return under_wine({program.launcher, executable});
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
    std::string wine;
    for (const std::string &word : kWine) wine += shell_quoted(word) + " ";
    return wine + "wineserver -k 2>/dev/null; " + wine + "wineserver -w";
}

std::string shell_quoted(const std::string &word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void PrintTo(const Program &program, std::ostream *out) { *out << program.name; }

std::string name_of(const ::testing::TestParamInfo<Program> &info) { return info.param.name; }
