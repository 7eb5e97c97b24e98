#include "tests/transcript.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

const char *const kSuffixes[] = {"_billion", "_10000_million", "_100_million",
                                 "_million", "_10_thousand",   "_hundred"};
const int kLeafLevel = 6;

void walk_level(int level, const std::string &parent, int width, size_t limit,
                std::vector<std::string> &into) {
    for (int index = 1; index <= width && into.size() < limit; index++) {
        char name[32];
        snprintf(name, sizeof name, "%03d%s\\", index, kSuffixes[level - 1]);
        std::string path = parent + name;
        into.push_back(path);
        if (level < kLeafLevel) walk_level(level + 1, path, width, limit, into);
    }
}

}  // namespace

std::string with_crlf(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::vector<std::string> walk_paths(char letter, int width, size_t limit) {
    std::string root = std::string(1, letter) + ":\\1_100billion\\";
    std::vector<std::string> paths = {root};
    walk_level(1, root, width, limit, paths);
    return paths;
}

std::string full_transcript(char letter, int width, const std::string &between) {
    std::string text = kOpening + between;
    // Every path and an empty line; a leaf, one more.
    for (const std::string &path : walk_paths(static_cast<char>(letter - 'a' + 'A'), width)) {
        bool leaf = path.size() > 9 && path.compare(path.size() - 9, 9, "_hundred\\") == 0;
        text += path + (leaf ? "\n\n\n" : "\n\n");
    }
    return text + kSuccess;
}

std::vector<Echoed> echoed_paths(const std::string &transcript) {
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

WalkCheck check_walk(const std::vector<Echoed> &echoed, const std::vector<std::string> &walk) {
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
