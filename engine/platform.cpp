// The operating-system layer: clock, buffered standard input with a non-blocking poll, the check
// that a written file reached the disk, and the runtime generator whose sequence after a seed
// must be the same on every machine.
#include "platform.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <sys/timeb.h>
#include <windows.h>
#else
#include <poll.h>
#include <sys/stat.h>
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
// Standard input, read as a C runtime reads it: the readers fill their buffer only when they
// need more bytes, with one read of whatever has arrived. The poll looks only at what arrived
// after that, so a script read whole by the first read (its next command already in the
// buffer) never interrupts a search; a line that comes while the engine thinks does.

namespace {

char in_buf[1 << 16];
size_t in_head = 0, in_tail = 0;
bool in_eof = false;
char last_taken = '\n';         // the last byte the readers took in; '\n' when it ended a line
const char *text_src = nullptr; // tests read from a text instead of the descriptor
bool text_arrives = false;      // and its rest counts as input that has arrived
bool on_pipe = true;            // not a console: '.' is ignorable there

size_t in_avail() {
    return in_tail - in_head;
}

void compact() {
    if (in_head == 0) return;
    memmove(in_buf, in_buf + in_head, in_avail());
    in_tail -= in_head;
    in_head = 0;
}

bool is_blank(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Line ends and NULs never count as input; on a pipe neither does '.', the status request an
// interface sends while the engine thinks.
bool ignorable(char c) {
    return c == '\r' || c == '\n' || c == '\0' || (on_pipe && c == '.');
}

// Ignorable bytes that arrive are taken out (and lost) only at the start of a line: after a
// line the readers have begun they belong to that line.
bool at_line_start() {
    return in_avail() == 0 ? last_taken == '\n' : in_buf[in_tail - 1] == '\n';
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
    on_pipe = stdin_kind != STDIN_CONSOLE;
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

// Bytes read, waiting for them when none has arrived; -1 at the end of input.
long read_stdin(char *dst, size_t room) {
    know_stdin();
    DWORD n = 0, more = 0;
    if (!ReadFile(stdin_handle, dst, room < READ_CHUNK ? (DWORD)room : READ_CHUNK, &n, nullptr) ||
        n == 0)
        return -1;
    // As in the runtime's text mode, a CR that ends a read waits for the byte after it.
    if (dst[n - 1] == '\r' && n < room && ReadFile(stdin_handle, dst + n, 1, &more, nullptr))
        n += more;
    return (long)drop_cr_before_lf(dst, n);
}

size_t take_arrived(char *, size_t) {
    return 0;
} // what arrives waits in the pipe itself

#else

bool stdin_known = false;
bool stdin_is_file = false; // a regular file: all of it counts as read already

void know_stdin() {
    if (stdin_known) return;
    stdin_known = true;
    struct stat st;
    stdin_is_file = fstat(0, &st) == 0 && S_ISREG(st.st_mode);
    on_pipe = !isatty(0);
}

// Bytes read, waiting for them when none has arrived; -1 at the end of input.
long read_stdin(char *dst, size_t room) {
    ssize_t n;
    do {
        n = read(0, dst, room);
    } while (n < 0 && errno == EINTR);
    return n > 0 ? (long)n : -1;
}

// Bytes that arrived after the readers' last fill. A pipe cannot be looked into without
// reading it, so the poll reads them here and the readers take them from here first.
char arrived[4096];
size_t arrived_len = 0;

size_t take_arrived(char *dst, size_t room) {
    size_t n = arrived_len < room ? arrived_len : room;
    memcpy(dst, arrived, n);
    memmove(arrived, arrived + n, arrived_len - n);
    arrived_len -= n;
    return n;
}

#endif

// Reads more bytes into the buffer, waiting for them when none has arrived. False at the end
// of input.
bool read_more() {
    compact();
    size_t room = sizeof in_buf - in_tail;
    if (room == 0) return false;
    size_t n = take_arrived(in_buf + in_tail, room);
    if (n == 0 && in_eof) return false;
    if (n == 0 && text_src) {
        n = strnlen(text_src, room);
        memcpy(in_buf + in_tail, text_src, n);
        text_src += n;
    } else if (n == 0) {
        fflush(stdout); // whatever was asked must be visible before waiting for the answer
        long got = read_stdin(in_buf + in_tail, room);
        n = got > 0 ? (size_t)got : 0;
    }
    if (n == 0) {
        in_eof = true;
        return false;
    }
    in_tail += n;
    last_taken = in_buf[in_tail - 1];
    return true;
}

// Makes at least n bytes available unless input ends first.
bool ensure(size_t n) {
    while (in_avail() < n)
        if (!read_more()) return false;
    return true;
}

int peek_at(size_t i) {
    return ensure(i + 1) ? (unsigned char)in_buf[in_head + i] : -1;
}

void skip_blanks() {
    while (is_blank(peek_at(0)))
        in_head++;
}

#ifdef _WIN32

// A line typed at the console: a key with a character, then Enter (the console delivers the
// line to the readers only then). A lone Enter is a line end and does not count.
int console_line_typed() {
    INPUT_RECORD ev[128];
    DWORD n = 0;
    if (!PeekConsoleInputA(stdin_handle, ev, 128, &n)) return 0;
    bool typed = false;
    for (DWORD i = 0; i < n; i++) {
        if (ev[i].EventType != KEY_EVENT || !ev[i].Event.KeyEvent.bKeyDown) continue;
        char c = ev[i].Event.KeyEvent.uChar.AsciiChar;
        if (c == '\r' && typed) return 1;
        if (!ignorable(c)) typed = true;
    }
    return 0;
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
    bool take = at_line_start();
    for (DWORD i = 0; i < got; i++) {
        if (!ignorable(seen[i])) return 1;
        char c;
        DWORD n;
        if (take && (!ReadFile(stdin_handle, &c, 1, &n, nullptr) || n != 1)) return 0;
    }
    return 0;
}

int poll_arrived() {
    static bool console_ready = false;
    if (stdin_kind == STDIN_CONSOLE && !console_ready) {
        console_ready = true;
        // Only keys count: window and mouse events, and whatever was typed before, do not.
        DWORD mode;
        if (GetConsoleMode(stdin_handle, &mode))
            SetConsoleMode(stdin_handle, mode & ~(DWORD)(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT));
        FlushConsoleInputBuffer(stdin_handle);
    }
    if (stdin_kind == STDIN_CONSOLE) return console_line_typed();
    return stdin_kind == STDIN_PIPE ? pipe_has_input() : 0;
}

#else

// Reads what has arrived into `arrived` (one read, without waiting) and drops the ignorable
// bytes in front; nonzero when other input is left.
int poll_arrived() {
    if (arrived_len < sizeof arrived && !in_eof) {
        struct pollfd p = {0, POLLIN, 0};
        if (poll(&p, 1, 0) > 0) {
            ssize_t n = read(0, arrived + arrived_len, sizeof arrived - arrived_len);
            if (n > 0)
                arrived_len += (size_t)n;
            else if (n == 0 || (errno != EINTR && errno != EAGAIN))
                in_eof = true;
        }
    }
    size_t i = 0;
    while (i < arrived_len && ignorable(arrived[i]))
        i++;
    if (i > 0 && at_line_start()) {
        memmove(arrived, arrived + i, arrived_len - i);
        arrived_len -= i;
        i = 0;
    }
    return i < arrived_len;
}

#endif

// A regular file (or a test's text) as standard input: nothing arrives, all of it is there.
bool input_from_file() {
    know_stdin();
#ifdef _WIN32
    return text_src || stdin_kind == STDIN_FILE;
#else
    return text_src || stdin_is_file;
#endif
}

// True when the buffer holds input that the readers will take: more than white space and the
// bytes the poll ignores.
bool buffer_holds_input() {
    for (size_t i = in_head; i < in_tail; i++)
        if (!is_blank(in_buf[i]) && !ignorable(in_buf[i])) return true;
    return false;
}

} // namespace

void input_use_text(const char *text, bool arriving) {
    text_src = text;
    text_arrives = arriving;
    in_head = in_tail = 0;
    in_eof = false;
    last_taken = '\n';
#ifndef _WIN32
    arrived_len = 0;
#endif
}

bool input_ended() {
#ifndef _WIN32
    if (arrived_len > 0) return false;
#endif
    return in_eof && !buffer_holds_input();
}

bool input_buffered() {
    return buffer_holds_input();
}

bool input_cannot_arrive() {
    return input_from_file() || input_ended() || buffer_holds_input();
}

int bioskey() {
    if (text_src && text_arrives) return *text_src != '\0' || buffer_holds_input();
    if (input_from_file()) return 0;
#ifdef _WIN32
    if (in_eof) return 0;
#endif
    return poll_arrived();
}

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
// Output.

bool stdout_is_terminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(1) != 0;
#endif
}

const char *message_prefix = "";

void message(const char *format, ...) {
    fputs(message_prefix, stdout);
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
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

void rt_srand(unsigned seed) {
    rt_state = seed;
}

int rt_rand() {
    rt_state = rt_state * 214013u + 2531011u;
    return (int)((rt_state >> 16) & 0x7FFF);
}
