// Expected console text, written out in full.
#ifndef VERRANT_TESTS_TRANSCRIPTS_H
#define VERRANT_TESTS_TRANSCRIPTS_H

#include <string>

#include "tests/expected_tree.inc"

// The banner and the first question, with LF line ends.
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
 
 
        Verrant v1.01    
 
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

// The whole transcript of a width-2 run on drive letter (lower case), with
// the text printed between the first question and the root path in between.
inline std::string full_transcript(char drive, const std::string &between) {
    std::string tree = kTreeWidth2;
    char upper = static_cast<char>(drive - 'a' + 'A');
    for (size_t at = tree.find("C:\\"); at != std::string::npos; at = tree.find("C:\\", at + 1)) {
        tree[at] = upper;
    }
    return kOpening + between + upper + ":\\1_100billion\\\n\n" + tree + kSuccess;
}

#endif
