// Drives the input reader with arbitrary bytes in arbitrary fills, and the
// upper-casing and letter test with every answer it yields. Every answer must
// be one non-blank byte that the input held, in order: the input as the
// fills deliver it, each fill cut at its first Ctrl-Z and the input ending at
// a fill that then holds nothing.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/console.h"
#include "platform/os.h"

namespace {

// The input of the current case and how it is cut into fills: fill i is
// sizes[i % count] + 1 bytes, or 4096 when count is 0.
const unsigned char *source = nullptr;
size_t source_size = 0;
size_t source_pos = 0;
const unsigned char *fill_sizes = nullptr;
size_t fill_count = 0;
size_t fills_made = 0;

size_t memory_fill_size(size_t fill) { return fill_count == 0 ? 4096 : fill_sizes[fill % fill_count] + 1u; }

bool blank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The non-blank bytes the reader should yield, worked out fill by fill.
std::vector<unsigned char> expected_answers(const uint8_t *data, size_t size) {
    std::vector<unsigned char> answers;
    for (size_t pos = 0, fill = 0; pos < size; fill++) {
        size_t step = memory_fill_size(fill);
        if (step > 4096) step = 4096;
        if (step > size - pos) step = size - pos;
        const void *stop = memchr(data + pos, 0x1A, step);
        size_t kept = stop ? static_cast<const uint8_t *>(stop) - (data + pos) : step;
        if (kept == 0) break;
        for (size_t i = 0; i < kept; i++) {
            if (!blank(data[pos + i])) answers.push_back(data[pos + i]);
        }
        pos += step;
    }
    return answers;
}

void check(bool condition) {
    if (!condition) abort();
}

void check_text_rules(unsigned char c) {
    char text[2] = {static_cast<char>(c), '\0'};
    to_upper_text(text);
    unsigned char upper = c >= 'a' && c <= 'z' ? c - 0x20 : c;
    check(static_cast<unsigned char>(text[0]) == upper && text[1] == '\0');
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    check(is_letter(static_cast<char>(c)) == letter);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    // The first byte says how many of the following bytes are fill sizes.
    size_t count = data[0] % 8;
    if (count + 1 > size) return 0;
    source = data + 1 + count;
    source_size = size - 1 - count;
    source_pos = fills_made = 0;
    fill_sizes = data + 1;
    fill_count = count;
    attach_console(0, 1);
    std::vector<unsigned char> expected = expected_answers(source, source_size);
    size_t got = 0;
    char buffer[2] = {'#', '#'};
    while (read_answer(buffer) == 1) {
        check(buffer[1] == '\0');
        check(got < expected.size() && static_cast<unsigned char>(buffer[0]) == expected[got]);
        check_text_rules(static_cast<unsigned char>(buffer[0]));
        got++;
        buffer[1] = '#';
    }
    check(got == expected.size());
    check(read_answer(buffer) == -1);
    return 0;
}

// The platform side: standard input from memory; output, terminals and
// folders are not there.
int os_read(int, char *buffer, int cap) {
    size_t step = memory_fill_size(fills_made++);
    if (step > static_cast<size_t>(cap)) step = cap;
    if (step > source_size - source_pos) step = source_size - source_pos;
    memcpy(buffer, source + source_pos, step);
    source_pos += step;
    return static_cast<int>(step);
}

int os_write(int, const char *, int length) { return length; }
bool os_is_terminal(int) { return false; }
int os_make_directory(const char *) { return -1; }
int os_make_directory_after(const char *, int, int, int) { return -1; }
