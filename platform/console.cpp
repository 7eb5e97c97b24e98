// Text-mode streams over the raw platform read and write, shared by every
// platform: LF becomes CR LF on output, Ctrl-Z ends the data of a fill,
// output is line-buffered on a terminal and block-buffered otherwise, and the
// end and failure flags stay set once set. Input keeps its CR bytes: the only
// reader, read_answer, skips CR and LF alike as white space, so a CR LF pair
// reads exactly as the LF it stands for.
#include "platform/console.h"

#include <cstring>

#include "platform/os.h"

namespace {

const int INPUT_CAPACITY = 4096;
const int OUTPUT_CAPACITY = 16384;
const char CTRL_Z = 0x1A;

// The first line feed of text, or its terminator when it has none: one scan
// finds both, where the C library offers it.
#ifdef _WIN32
const char *line_feed_or_end(const char *text) { return text + strcspn(text, "\n"); }
#else
const char *line_feed_or_end(const char *text) { return strchrnul(text, '\n'); }
#endif

// Standard input: how far the current fill is taken, and its state.
struct InputStream {
    int stream = STDIN_STREAM;
    bool ready = false;        // set up at the first take
    bool interactive = false;  // a terminal: flush line-buffered output before a fill
    bool ended = false;        // end of input seen, or a read failed; no read is made after it
    int pos = 0;
    int end = 0;
};

// Standard output: how many bytes wait to be written out, and its state.
struct OutputStream {
    int stream = STDOUT_STREAM;
    bool ready = false;          // set up at the first byte printed
    bool failed = false;         // a write failed; everything after it is dropped
    bool line_buffered = false;  // a terminal: written out at every line end and call
    int length = 0;
    // How far text may fill the buffer with nothing else due: its capacity
    // once a block-buffered stream is set up, 0 before that, on a terminal
    // and once the stream failed. One comparison then admits the usual case.
    int quick_limit = 0;
};

// The two streams live for the whole run; every service below shares them.
// Their bytes are kept apart from them, in memory the system zeroes at
// start-up, so they take no room in the program file.
InputStream input;
OutputStream output;
char input_bytes[INPUT_CAPACITY];
char output_bytes[OUTPUT_CAPACITY];

void set_up_output() {
    if (output.ready) return;
    output.ready = true;
    output.line_buffered = os_is_terminal(output.stream);
    output.quick_limit = output.line_buffered ? 0 : OUTPUT_CAPACITY;
}

// True when count more bytes fit the buffer of a set-up, block-buffered,
// sound stream.
bool takes_quickly(int count) { return count <= output.quick_limit - output.length; }

// Writes out the pending bytes; a refused or short write fails the stream.
void drain_output() {
    if (output.length == 0 || output.failed) return;
    int written = os_write(output.stream, output_bytes, output.length);
    if (written != output.length) {
        output.failed = true;
        output.quick_limit = 0;
    }
    output.length = 0;
}

// Appends bytes that hold no line feed, writing out every block they fill;
// returns false once the stream failed. Kept out of line, so that the usual
// case below stays small.
[[gnu::noinline]] bool put_in_blocks(const char *bytes, int count) {
    while (count > 0 && !output.failed) {
        if (output.length == OUTPUT_CAPACITY) drain_output();
        int room = OUTPUT_CAPACITY - output.length;
        int step = count < room ? count : room;
        memcpy(output_bytes + output.length, bytes, step);
        output.length += step;
        bytes += step;
        count -= step;
    }
    return !output.failed;
}

// Appends count bytes to a buffer known to have room for them.
void put_bytes(const char *bytes, int count) {
    char *at = output_bytes + output.length;
    output.length += count;
    memcpy(at, bytes, count);
}

// Appends count bytes of a line and the CR LF that ends it to a buffer known
// to have room for them. The copy comes last, so that the call ends with it.
void put_line(const char *bytes, int count) {
    char *at = output_bytes + output.length;
    output.length += count + 2;
    at[count] = '\r';
    at[count + 1] = '\n';
    memcpy(at, bytes, count);
}

// Appends the CR LF pair that stands for one line feed to a buffer known to
// have room for it.
void put_crlf() {
    output_bytes[output.length] = '\r';
    output_bytes[output.length + 1] = '\n';
    output.length += 2;
}

// Appends bytes that hold no line feed; returns false once the stream failed.
bool put_plain(const char *bytes, int count) {
    if (count > OUTPUT_CAPACITY - output.length || output.failed) return put_in_blocks(bytes, count);
    put_bytes(bytes, count);
    return true;
}

// Appends the CR LF pair that stands for one line feed.
bool put_line_end() {
    if (OUTPUT_CAPACITY - output.length < 2 || output.failed) {
        if (!put_in_blocks("\r\n", 2)) return false;
    } else {
        put_crlf();
    }
    if (output.line_buffered) drain_output();
    return true;
}

// Hands the text to the stream up to its terminator, each line feed as CR LF,
// given where its first line feed or terminator is; returns where it
// stopped: at the terminator unless a byte was refused.
const char *put_text(const char *text, const char *stop) {
    for (;;) {
        if (stop > text && !put_plain(text, static_cast<int>(stop - text))) return text;
        if (*stop == '\0' || !put_line_end()) return stop;
        text = stop + 1;
        stop = line_feed_or_end(text);
    }
}

// print_text for any stream and any text; stop is as for put_text.
[[gnu::noinline]] int print_text_slowly(const char *text, const char *stop) {
    set_up_output();
    stop = put_text(text, stop);
    if (output.line_buffered) drain_output();
    return *stop == '\0' ? static_cast<int>(stop - text) : -1;
}

// print_line for any stream and any text; stop is as for put_text.
[[gnu::noinline]] int print_line_slowly(const char *text, const char *stop) {
    set_up_output();
    if (*put_text(text, stop) != '\0') return 1;
    return put_line_end() && !output.failed ? 0 : 1;
}

// Marks the end of input, for good.
bool end_input() {
    input.ended = true;
    return false;
}

// Before the program waits at a terminal, whatever it printed must be visible.
void flush_before_waiting() {
    if (input.interactive && output.line_buffered) drain_output();
}

// Reads once into the input buffer; returns the count of bytes up to any
// Ctrl-Z, or -1 when the read failed.
int read_up_to_ctrl_z() {
    int got = os_read(input.stream, input_bytes, INPUT_CAPACITY);
    if (got <= 0) return got;
    const char *stop = static_cast<const char *>(memchr(input_bytes, CTRL_Z, got));
    return stop ? static_cast<int>(stop - input_bytes) : got;
}

// Reads one fill into the input buffer; returns false when nothing came and
// the input has therefore ended.
bool fill_input() {
    if (input.ended) return false;
    if (!input.ready) {
        input.ready = true;
        input.interactive = os_is_terminal(input.stream);
    }
    flush_before_waiting();
    int got = read_up_to_ctrl_z();
    input.pos = 0;
    input.end = got > 0 ? got : 0;
    if (got <= 0) return end_input();
    return true;
}

// Returns the next input byte (0 to 255), or -1 at end of input.
int take_character() {
    if (input.pos == input.end && !fill_input()) return -1;
    return static_cast<unsigned char>(input_bytes[input.pos++]);
}

// Puts the byte just taken back at the front of the input; -1 puts nothing.
void put_back(int character) {
    if (character < 0) return;
    input_bytes[--input.pos] = static_cast<char>(character);
}

// Every folder number's three digits and terminator, composed when the
// program is compiled: the walk formats a number for every folder, and one
// copy of four bytes costs less than three divisions.
const int NUMBER_TEXT_SIZE = 4;
struct NumberTexts {
    char text[1000][NUMBER_TEXT_SIZE];
};

constexpr NumberTexts compose_number_texts() {
    NumberTexts texts{};
    for (int value = 0; value < 1000; value++) {
        texts.text[value][0] = static_cast<char>('0' + value / 100);
        texts.text[value][1] = static_cast<char>('0' + value / 10 % 10);
        texts.text[value][2] = static_cast<char>('0' + value % 10);
    }
    return texts;
}

constexpr NumberTexts number_texts = compose_number_texts();

bool is_white_space(int character) {
    return character == ' ' || (character >= '\t' && character <= '\r');
}

}  // namespace

int read_answer(char *buffer) {
    int character = take_character();
    while (is_white_space(character)) character = take_character();
    if (character < 0) return -1;
    buffer[0] = static_cast<char>(character);
    int look_ahead = take_character();
    buffer[1] = '\0';
    put_back(look_ahead);
    return 1;
}

char *to_upper_text(char *text) {
    for (char *at = text; *at != '\0'; at++) {
        if (*at >= 'a' && *at <= 'z') *at = static_cast<char>(*at - 0x20);
    }
    return text;
}

bool is_letter(char character) {
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z');
}

// The walk prints a line and two or three bare line ends a folder, mostly to
// a file or pipe: there, text without a line feed goes straight into the
// buffer, and a bare line end needs no scan.
int print_text(const char *text) {
    if (text[0] == '\n' && text[1] == '\0' && takes_quickly(2)) {
        put_crlf();
        return 1;
    }
    const char *stop = line_feed_or_end(text);
    if (*stop != '\0') return print_text_slowly(text, stop);
    return print_plain_text(text, static_cast<int>(stop - text));
}

int print_line(const char *text) {
    const char *stop = line_feed_or_end(text);
    if (*stop != '\0') return print_line_slowly(text, stop);
    return print_plain_line(text, static_cast<int>(stop - text));
}

int print_plain_text(const char *text, int length) {
    if (!takes_quickly(length)) return print_text_slowly(text, text + length);
    put_bytes(text, length);
    return length;
}

int print_plain_line(const char *text, int length) {
    if (!takes_quickly(length + 2)) return print_line_slowly(text, text + length);
    put_line(text, length);
    return 0;
}

int print_plain_lines(const char *text, int length, int line_ends) {
    if (!takes_quickly(length + 2 * line_ends)) {
        int result = print_plain_line(text, length);
        while (--line_ends > 0) print_text("\n");
        return result;
    }
    put_line(text, length);
    while (--line_ends > 0) put_crlf();
    return 0;
}

int format_number(char *buffer, int value) {
    // Outside 0 to 999, only the number's last three digits are written.
    memcpy(buffer, number_texts.text[static_cast<unsigned>(value) % 1000], NUMBER_TEXT_SIZE);
    return 3;
}

int make_directory(const char *path) { return os_make_directory(path) == 0 ? 0 : -1; }

int make_directory_after(const char *path, int length, int from, int count) {
    if (from == 0) return make_directory(path);
    return os_make_directory_after(path, length, from, count) == 0 ? 0 : -1;
}

void flush_output() { drain_output(); }

void attach_console(int input_stream, int output_stream) {
    input = InputStream{};
    output = OutputStream{};
    input.stream = input_stream;
    output.stream = output_stream;
}
