// Feeding the console from memory, for the fuzzer.
#ifndef VERRANT_TESTS_FUZZ_MEMORY_OS_H
#define VERRANT_TESTS_FUZZ_MEMORY_OS_H

#include <cstddef>

// Makes data the input, read in fills of sizes[i % count] + 1 bytes
// (4096 when count is 0).
void set_memory_input(const unsigned char *data, size_t size, const unsigned char *sizes,
                      size_t count);

// The size of the given fill, counted from 0.
size_t memory_fill_size(size_t fill);

#endif
