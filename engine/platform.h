// What the engine needs of the operating system: a millisecond clock, standard input read through
// one buffer with a non-blocking poll, whether standard output is a terminal, the check that a
// written file reached the disk, and the runtime's pseudo-random generator reproduced exactly
// (defined in platform.cpp).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Calendar time in milliseconds, truncated to 32 bits.
uint32_t get_ms();

// Nonzero when input other than line ends and NULs (and, on a pipe, '.') has arrived since the
// readers last filled their buffer; never blocks. What the readers already hold does not count,
// nor does a regular file as standard input: all of it is there from the start. Ignorable bytes
// in front of what arrived are consumed. On a console a line counts once Enter is pressed.
int bioskey();

// Word read with scanf("%s") semantics: skips white space, then reads a run of other bytes.
// A word longer than cap - 1 bytes is consumed whole and refused: the result is then
// WORD_TOO_LONG and buf holds its first cap - 1 bytes. WORD_EOF when input has ended.
enum { WORD_OK = 1, WORD_EOF = 0, WORD_TOO_LONG = 2 };
int input_word(char *buf, size_t cap);

// Integer read with scanf("%d") semantics: 1 and *out set when a number was read; 0 when the
// next word is no number (nothing is consumed but white space); -1 at the end of input.
int input_int(int *out);

// Line read with fgets semantics: at most cap - 1 bytes, the line end included when it fits;
// the rest of a longer line stays for the next read. False at the end of input.
bool input_line(char *buf, size_t cap);

// True once standard input has ended and nothing but white space and ignorable bytes is left
// to read.
bool input_ended();

// True when the readers hold input they have not read yet: it came with what they read last
// (a script's next command, or lines an interface wrote in one go) and no poll reports it.
bool input_buffered();

// True when no input can come to end a search that only input ends (pondering, analysis): it
// must then not start, or go on. So it is when input has ended; when the readers hold unread
// input, which came with what they read (a script's next command) and which no poll reports;
// and always when standard input is a regular file, all of which is there from the start.
bool input_cannot_arrive();

// Tests: reads input from the given text, as from a regular file, instead of standard input
// (nullptr restores stdin). With `arriving`, what is left of the text counts as input that has
// arrived, as from an interface that writes ahead: every search stops at its first check.
void input_use_text(const char *text, bool arriving = false);

// True when standard output is a terminal, where a progress line may be redrawn in place.
bool stdout_is_terminal();

// The messages of the set-up (books, tables, settings and learn files): printf's format printed
// after message_prefix, which is empty unless a driver sets one (the UCI loop makes them "info
// string" lines, which interfaces show or ignore).
extern const char *message_prefix;
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void message(const char *format, ...);

// Closes a file that was written; false when any write to it failed. Output is buffered, so a
// full disk may show only here, when the last of it is flushed.
bool close_written(FILE *f);

// The runtime generator: state = state * 214013 + 2531011, result (state >> 16) & 0x7FFF.
void rt_srand(unsigned seed);
int rt_rand();
