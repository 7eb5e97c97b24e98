// What the program prints: the dialogue's texts written out in full, the
// walk a program of a given width makes, and the reading of a transcript.
#ifndef VERRANT_TESTS_TRANSCRIPT_H
#define VERRANT_TESTS_TRANSCRIPT_H

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

// The banner and the first question, with LF line ends; the version is the
// build's.
const std::string kOpening = R"( 
                        TTTTTTT                              k 
                        TTTTTTT                              k 
                          TTT                                k 
                          TTT    r rrr   aaa   v   v   eee   k   k 
                          TTT    rr  r      a  v   v  e   e  k  k 
                          TTT    rr      aaaa  v   v  e   e  k k 
                          TTT    r      a   a   v v   eeeee  kk 
                          TTT    r      a   a   v v   e      k k 
                          TTT    r      a  aa   v v   e   e  k  k 
                          TTT    r       aa a    v     eee   k   k 
 
 
        Verrant v)" VERRANT_VERSION R"(    
 
        providing you with another means of storing 100 billion
        files on your drive. This application is part of the  
        Lumastra project 
 
        concept: Oriel Vance | code: Tamsin Okafor | info: www.example.com/verrant 
        --------------------------------------------------- 
        Press y to continue - n to exit 
)";

// The questions and messages of the dialogue, with LF line ends.
const std::string kPrompt = "        Type the destination drive letter + press enter to begin:";
const std::string kReenter = "       Please re-enter a hard drive letter: ";
const std::string kFloppy =
    "       Attempting to write a billion folders to a floppy drive is pretty stupid.\n";
const std::string kInvalid = "Invalid entry!\nContinue? Y(yes)/N(no)\n";
const std::string kFailed = "       Sorry; we failed to complete the process\n";
const std::string kSuccess = "       Congratulations! Process is complete\n";
const std::string kFailedToWrite = "Failed to write ";

// Turns every LF into CR LF, as the program prints it.
inline std::string with_crlf(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// The folders below parent, from level down to the leaves, in walk order.
inline void walk_level(int level, const std::string &parent, int width, size_t limit,
                       std::vector<std::string> &into) {
    const char *const suffixes[] = {"_billion", "_10000_million", "_100_million",
                                    "_million", "_10_thousand",   "_hundred"};
    for (int index = 1; index <= width && into.size() < limit; index++) {
        char name[32];
        snprintf(name, sizeof name, "%03d%s\\", index, suffixes[level - 1]);
        std::string path = parent + name;
        into.push_back(path);
        if (level < 6) walk_level(level + 1, path, width, limit, into);
    }
}

// The folders a program of width makes on drive letter (either case), the
// root first, in the order it makes them: all of them, or the first limit.
inline std::vector<std::string> walk_paths(char letter, int width, size_t limit = SIZE_MAX) {
    std::string root = std::string(1, static_cast<char>(toupper(letter))) + ":\\1_100billion\\";
    std::vector<std::string> paths = {root};
    walk_level(1, root, width, limit, paths);
    return paths;
}

// The whole transcript, as printed, of a complete width-2 run on drive
// letter (lower case), with between printed between the first question and
// the root path.
inline std::string full_transcript(char letter, const std::string &between) {
    std::string text = kOpening + between;
    // Every path and an empty line; a leaf, one more.
    for (const std::string &path : walk_paths(letter, 2))
        text += path + (path.ends_with("_hundred\\") ? "\n\n\n" : "\n\n");
    return with_crlf(text + kSuccess);
}

// One path the program echoed, made or reported as failed.
struct Echoed {
    std::string path;
    bool failed = false;
    bool operator==(const Echoed &other) const = default;
};

// Every whole line of a transcript that echoes a folder path, in order.
inline std::vector<Echoed> echoed_paths(const std::string &transcript) {
    std::vector<Echoed> paths;
    std::istringstream lines(transcript);
    for (std::string line; std::getline(lines, line);) {
        if (lines.eof() || line.empty() || line.back() != '\r') continue;  // not a whole line
        line.pop_back();
        Echoed echoed{line, line.rfind(kFailedToWrite, 0) == 0};
        if (echoed.failed) echoed.path.erase(0, kFailedToWrite.size());
        const std::string &p = echoed.path;
        if (p.size() > 3 && p[1] == ':' && p[2] == '\\' && p.back() == '\\') paths.push_back(echoed);
    }
    return paths;
}

// How echoed paths match a walk: in walk order, every folder either made or
// reported failed; the made ones sorted.
struct WalkCheck {
    bool in_walk_order = false;
    std::string first_mismatch;  // where it is not in walk order
    std::vector<std::string> made;
    size_t failed = 0;
};
inline WalkCheck check_walk(const std::vector<Echoed> &echoed, const std::vector<std::string> &walk) {
    WalkCheck check;
    check.in_walk_order = echoed.size() <= walk.size();
    for (size_t i = 0; i < echoed.size() && check.in_walk_order; i++) {
        if (echoed[i].path != walk[i]) {
            check.in_walk_order = false;
            check.first_mismatch = "echoed #" + std::to_string(i) + ": " + echoed[i].path;
        } else if (echoed[i].failed) {
            check.failed++;
        } else {
            check.made.push_back(echoed[i].path);
        }
    }
    std::sort(check.made.begin(), check.made.end());
    return check;
}

#endif
