// The operating-system layer: clock, buffered standard input with a non-blocking poll, the check
// that a written file reached the disk, and the runtime generator whose sequence after a seed
// must be the same on every machine.
#include "platform.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <sys/timeb.h>
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

#ifdef _WIN32
uint32_t get_ms() {
    struct __timeb64 now;
    _ftime64(&now);
    return (uint32_t)(now.time * 1000 + now.millitm);
}
#else
uint32_t get_ms() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return (uint32_t)ms;
}
#endif

// ---------------------------------------------------------------------------------------------
// Standard input. Every reader takes bytes from one buffer; the poll reads whatever has arrived
// into the same buffer, so nothing it sees is ever lost to the readers.

namespace {

char in_buf[1 << 16];
size_t in_head = 0, in_tail = 0;
bool in_eof = false;
const char *text_src = nullptr; // tests read from a text instead of the descriptor
bool poll_ready = false, on_pipe = false;

size_t in_avail() { return in_tail - in_head; }

void compact() {
    if (in_head == 0) return;
    memmove(in_buf, in_buf + in_head, in_avail());
    in_tail -= in_head;
    in_head = 0;
}

#ifdef _WIN32

// What standard input is, looked at once: the console, a pipe (an interface), or a file.
enum StdinKind { STDIN_CONSOLE, STDIN_PIPE, STDIN_FILE };
HANDLE stdin_handle;
StdinKind stdin_kind;
bool stdin_known = false;

void know_stdin() {
    if (stdin_known) return;
    stdin_known = true;
    stdin_handle = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    if (GetConsoleMode(stdin_handle, &mode))
        stdin_kind = STDIN_CONSOLE;
    else
        stdin_kind = GetFileType(stdin_handle) == FILE_TYPE_PIPE ? STDIN_PIPE : STDIN_FILE;
}

// Bytes per read: what the runtime's own stdin buffer takes, and safe for a console read.
const DWORD READ_CHUNK = 4096;

// Standard input is read in text mode: CR LF becomes LF. Returns the new length.
size_t drop_cr_before_lf(char *p, size_t n) {
    size_t out = 0;
    for (size_t i = 0; i < n; i++)
        if (p[i] != '\r' || i + 1 == n || p[i + 1] != '\n') p[out++] = p[i];
    return out;
}

// Bytes read, 0 when nothing can be read without waiting, -1 at the end of input. A console or
// a pipe is never read without waiting (bioskey peeks at it instead); a file always can be.
long read_stdin(char *dst, size_t room, bool block) {
    know_stdin();
    if (!block && stdin_kind != STDIN_FILE) return 0;
    DWORD n = 0, more = 0;
    if (!ReadFile(stdin_handle, dst, room < READ_CHUNK ? (DWORD)room : READ_CHUNK, &n, nullptr) ||
        n == 0)
        return -1;
    // As in the runtime's text mode, a CR that ends a read waits for the byte after it.
    if (dst[n - 1] == '\r' && n < room && ReadFile(stdin_handle, dst + n, 1, &more, nullptr))
        n += more;
    return (long)drop_cr_before_lf(dst, n);
}

#else

// Bytes read, 0 when `block` is off and nothing is waiting, -1 at the end of input.
long read_stdin(char *dst, size_t room, bool block) {
    if (!block) {
        struct pollfd p = {0, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0) return 0;
    }
    ssize_t n;
    do {
        n = read(0, dst, room);
    } while (n < 0 && errno == EINTR);
    return n > 0 ? (long)n : -1;
}

#endif

// Reads more bytes into the buffer; blocks only when `block` is set. False at the end of input.
bool read_more(bool block) {
    compact();
    size_t room = sizeof in_buf - in_tail;
    if (room == 0 || in_eof) return false;
    if (text_src) {
        size_t n = strnlen(text_src, room);
        if (n == 0) {
            in_eof = true;
            return false;
        }
        memcpy(in_buf + in_tail, text_src, n);
        text_src += n;
        in_tail += n;
        return true;
    }
    if (block) fflush(stdout); // whatever was asked must be visible before waiting for the answer
    long n = read_stdin(in_buf + in_tail, room, block);
    if (n == 0) return false;
    if (n < 0) {
        in_eof = true;
        return false;
    }
    in_tail += (size_t)n;
    return true;
}

// Makes at least n bytes available unless input ends first.
bool ensure(size_t n) {
    while (in_avail() < n)
        if (!read_more(true)) return false;
    return true;
}

int peek_at(size_t i) { return ensure(i + 1) ? (unsigned char)in_buf[in_head + i] : -1; }

bool is_blank(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

void skip_blanks() {
    while (is_blank(peek_at(0))) in_head++;
}

// Line ends and NULs never count as input; on a pipe neither does '.', the status request an
// interface sends while the engine thinks.
bool ignorable(char c) { return c == '\r' || c == '\n' || c == '\0' || (on_pipe && c == '.'); }

// Drops the ignorable bytes at the front of the buffer; true when other input is left there.
bool buffer_has_input() {
    while (in_avail() > 0 && ignorable(in_buf[in_head])) in_head++;
    return in_avail() > 0;
}

#ifdef _WIN32

// A key typed at the console shows as two events or more (key down, key up).
int console_keys() {
    DWORD n = 0;
    return GetNumberOfConsoleInputEvents(stdin_handle, &n) && n >= 2 ? (int)n : 0;
}

// Looks at what waits in the pipe without taking it, except the ignorable bytes in front, which
// are taken out one at a time. A pipe that cannot be peeked has nothing waiting; a broken one
// (the writer has gone, everything sent has been read) is the end of input.
int pipe_has_input() {
    char seen[512];
    DWORD got = 0, total = 0;
    if (!PeekNamedPipe(stdin_handle, seen, sizeof seen, &got, &total, nullptr)) {
        if (GetLastError() == ERROR_BROKEN_PIPE) in_eof = true;
        return 0;
    }
    for (DWORD i = 0; i < got; i++) {
        if (!ignorable(seen[i])) return 1;
        char c;
        DWORD n;
        if (!ReadFile(stdin_handle, &c, 1, &n, nullptr) || n != 1) return 0;
    }
    return 0;
}

#endif

} // namespace

void input_use_text(const char *text) {
    text_src = text;
    in_head = in_tail = 0;
    in_eof = false;
}

bool input_ended() { return in_eof && in_avail() == 0; }

#ifdef _WIN32

int bioskey() {
    know_stdin();
    if (!poll_ready) {
        poll_ready = true;
        on_pipe = stdin_kind != STDIN_CONSOLE;
        DWORD mode;
        if (!on_pipe && GetConsoleMode(stdin_handle, &mode)) {
            // Only keys count: window and mouse events, and whatever was typed before, do not.
            SetConsoleMode(stdin_handle, mode & ~(DWORD)(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT));
            FlushConsoleInputBuffer(stdin_handle);
        }
    }
    while (read_more(false)) {
    }
    if (buffer_has_input()) return 1;
    if (text_src || in_eof) return 0;
    if (stdin_kind == STDIN_CONSOLE) return console_keys();
    return stdin_kind == STDIN_PIPE ? pipe_has_input() : 0;
}

#else

int bioskey() {
    if (!poll_ready) {
        on_pipe = !isatty(0);
        poll_ready = true;
    }
    while (read_more(false)) {
    }
    return buffer_has_input();
}

#endif

int input_word(char *buf, size_t cap) {
    skip_blanks();
    if (peek_at(0) < 0) {
        buf[0] = '\0';
        return WORD_EOF;
    }
    size_t n = 0;
    bool too_long = false;
    for (int c = peek_at(0); c >= 0 && !is_blank(c); c = peek_at(0)) {
        in_head++;
        if (n + 1 < cap)
            buf[n++] = (char)c;
        else
            too_long = true;
    }
    buf[n] = '\0';
    return too_long ? WORD_TOO_LONG : WORD_OK;
}

int input_int(int *out) {
    skip_blanks();
    int c = peek_at(0);
    if (c < 0) return -1;
    size_t i = (c == '-' || c == '+') ? 1 : 0;
    int d = peek_at(i);
    if (d < '0' || d > '9') return 0;
    bool neg = c == '-';
    long long v = 0;
    in_head += i;
    for (d = peek_at(0); d >= '0' && d <= '9'; d = peek_at(0)) {
        in_head++;
        if (v <= INT_MAX) v = v * 10 + (d - '0');
    }
    if (neg) v = -v;
    *out = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : (int)v;
    return 1;
}

bool input_line(char *buf, size_t cap) {
    size_t n = 0;
    while (n + 1 < cap) {
        int c = peek_at(0);
        if (c < 0) break;
        in_head++;
        buf[n++] = (char)c;
        if (c == '\n') break;
    }
    buf[n] = '\0';
    return n > 0;
}

// ---------------------------------------------------------------------------------------------
// Files written by the engine.

bool close_written(FILE *f) {
    bool failed = ferror(f) != 0;
    return fclose(f) == 0 && !failed;
}

// ---------------------------------------------------------------------------------------------
// The runtime generator.

static uint32_t rt_state = 1;

void rt_srand(unsigned seed) { rt_state = seed; }

int rt_rand() {
    rt_state = rt_state * 214013u + 2531011u;
    return (int)((rt_state >> 16) & 0x7FFF);
}
