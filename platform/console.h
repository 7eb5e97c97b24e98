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

// print_text and print_line for text of length bytes and a terminator, known
// to hold no line feed, as the walk knows of its paths: nothing is scanned.
int print_plain_text(const char *text, int length);
int print_plain_line(const char *text, int length);

// print_plain_line, then print_text("\n") until line_ends line feeds are
// printed in all (at least 1): the walk's line and the blank lines after it.
int print_plain_lines(const char *text, int length, int line_ends);

// Writes value (0 to 999) in decimal, zero-padded to three digits, and a
// terminator; returns the number of digits written.
int format_number(char *buffer, int value);

// Creates the directory named by a drive-letter path; returns 0 or -1.
int make_directory(const char *path);

// make_directory for a path of length bytes that differs from the path made
// or tried last only in its count bytes from `from` and in where it ends, as
// the walk knows of its folders (see os_make_directory_after); a from of 0
// promises nothing.
int make_directory_after(const char *path, int length, int from, int count);

// Writes out whatever output is still pending; called once at the end of a run.
void flush_output();

// Binds the console to the given input and output streams, with fresh state.
// The program uses the standard streams and never calls this.
void attach_console(int input, int output);

#endif
