// A platform side for the fuzzer: standard input comes from memory in fills
// of chosen sizes; output, terminals and folders are not there.
#include "tests/fuzz/memory_os.h"

#include <cstring>

#include "platform/os.h"

namespace {

// The input of the current case and how it is cut into fills.
const unsigned char *source = nullptr;
size_t source_size = 0;
size_t source_pos = 0;
const unsigned char *fill_sizes = nullptr;
size_t fill_count = 0;
size_t fills_made = 0;

}  // namespace

void set_memory_input(const unsigned char *data, size_t size, const unsigned char *sizes,
                      size_t count) {
    source = data;
    source_size = size;
    source_pos = 0;
    fill_sizes = sizes;
    fill_count = count;
    fills_made = 0;
}

size_t memory_fill_size(size_t fill) {
    return fill_count == 0 ? 4096 : fill_sizes[fill % fill_count] + 1u;
}

int os_read(int, char *buffer, int cap) {
    size_t step = memory_fill_size(fills_made++);
    if (step > static_cast<size_t>(cap)) step = cap;
    if (step > source_size - source_pos) step = source_size - source_pos;
    memcpy(buffer, source + source_pos, step);
    source_pos += step;
    return static_cast<int>(step);
}

int os_write(int, const char *, int length) {
    return length;
}

bool os_is_terminal(int) {
    return false;
}

int os_make_directory(const char *) {
    return -1;
}

int os_make_directory_after(const char *, int, int, int) {
    return -1;
}
