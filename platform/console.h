// Console and directory services: one-character answers from standard input,
// text and lines to standard output (both in text mode), folder numbers, and
// creating one directory.
#ifndef VERRANT_PLATFORM_CONSOLE_H
#define VERRANT_PLATFORM_CONSOLE_H

// Stores the next non-blank input character and a terminator in a 2-byte
// buffer; returns 1, or -1 when the input ended first (buffer untouched).
int read_answer(char *buffer);

// Upper-cases the ASCII letters a-z of text in place; returns text.
char *to_upper_text(char *text);

// Returns true when the byte is an ASCII letter.
bool is_letter(char character);

// Prints text unchanged; returns the characters handed over, -1 when refused.
int print_text(const char *text);

// Prints text and a line feed; returns 0, or non-zero when a byte was refused.
int print_line(const char *text);

// Writes value (0 to 999) in decimal, zero-padded to three digits, and a
// terminator; returns the number of digits written.
int format_number(char *buffer, int value);

// Creates the directory named by a drive-letter path; returns 0 or -1.
int make_directory(const char *path);

// Writes out whatever output is still pending; called once at the end of a run.
void flush_output();

// Binds the console to the given input and output streams, with fresh state.
// The program uses the standard streams and never calls this.
void attach_console(int input, int output);

#endif
