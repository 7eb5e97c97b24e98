#include "dialogue/dialogue.h"

// Arguments and environment are not read: the two answers are all it needs.
int main() { return run_dialogue(); }
