#include "dialogue/texts.h"

// The version is written once, in CMakeLists.txt, and given to this file when
// it is built.
#ifndef VERRANT_VERSION
#error "VERRANT_VERSION must be defined"
#endif

const char *const banner_rows[] = {
    " \n",
    "                        TTTTTTT                              k \n",
    "                        TTTTTTT                              k \n",
    "                          TTT                                k \n",
    "                          TTT    r rrr   aaa   v   v   eee   k   k \n",
    "                          TTT    rr  r      a  v   v  e   e  k  k \n",
    "                          TTT    rr      aaaa  v   v  e   e  k k \n",
    "                          TTT    r      a   a   v v   eeeee  kk \n",
    "                          TTT    r      a   a   v v   e      k k \n",
    "                          TTT    r      a  aa   v v   e   e  k  k \n",
    "                          TTT    r       aa a    v     eee   k   k \n",
    " \n",
    " \n",
    "        Verrant v" VERRANT_VERSION "    \n",
    " \n",
    "        providing you with another means of storing 100 billion\n",
    "        files on your drive. This application is part of the  \n",
    "        Lumastra project \n",
    " \n",
    "        concept: Oriel Vance | code: Tamsin Okafor | info: www.example.com/verrant \n",
    "        --------------------------------------------------- \n",
};

const int banner_row_count = sizeof banner_rows / sizeof banner_rows[0];
