// The dialogue driver: banner, the two questions, the root folder, the tree
// walk and the verdict.
#ifndef VERRANT_DIALOGUE_DIALOGUE_H
#define VERRANT_DIALOGUE_DIALOGUE_H

// Runs the whole dialogue on the console; returns the exit status, always 0.
int run_dialogue();

#endif
