// Settings fixed when a program is built; each program links its own copy.
#include "platform/os.h"
#include "tree/tree.h"

#ifndef VERRANT_FOLDERS_PER_LEVEL
#define VERRANT_FOLDERS_PER_LEVEL 100
#endif

#ifndef VERRANT_DRIVE_ROOT
#define VERRANT_DRIVE_ROOT "/mnt"
#endif

static_assert(VERRANT_FOLDERS_PER_LEVEL >= 1 && VERRANT_FOLDERS_PER_LEVEL <= 999,
              "folder numbers have three digits");

const int folders_per_level = VERRANT_FOLDERS_PER_LEVEL;

// Where drive letters lead on systems without them: drive X is drive_root/x.
const char drive_root[] = VERRANT_DRIVE_ROOT;
const int drive_root_length = sizeof(VERRANT_DRIVE_ROOT) - 1;
