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
#include "tests/fuzz/memory_os.h"

namespace {

bool blank(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

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
    const uint8_t *input = data + 1 + count;
    size_t input_size = size - 1 - count;
    set_memory_input(input, input_size, data + 1, count);
    attach_console(0, 1);
    std::vector<unsigned char> expected = expected_answers(input, input_size);
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
