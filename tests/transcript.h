// What the program prints: the dialogue's texts written out in full, the
// walk a program of a given width makes, and the reading of a transcript.
#ifndef VERRANT_TESTS_TRANSCRIPT_H
#define VERRANT_TESTS_TRANSCRIPT_H

#include <cstdint>
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
std::string with_crlf(const std::string &text);

// The folders a program of width makes on drive letter (upper case), the
// root first, in the order it makes them: all of them, or the first limit.
std::vector<std::string> walk_paths(char letter, int width, size_t limit = SIZE_MAX);

// The whole transcript of a complete run of width on drive letter (lower
// case), with LF line ends, and with between printed between the first
// question and the root path.
std::string full_transcript(char letter, int width, const std::string &between);

// One path the program echoed, made or reported as failed.
struct Echoed {
    std::string path;
    bool failed = false;
    bool operator==(const Echoed &other) const = default;
};

// Every whole line of a transcript that echoes a folder path, in order.
std::vector<Echoed> echoed_paths(const std::string &transcript);

// How echoed paths match a walk: in walk order, every folder either made or
// reported failed; the made ones sorted.
struct WalkCheck {
    bool in_walk_order = false;
    std::string first_mismatch;  // where it is not in walk order
    std::vector<std::string> made;
    size_t failed = 0;
};
WalkCheck check_walk(const std::vector<Echoed> &echoed, const std::vector<std::string> &walk);

#endif
