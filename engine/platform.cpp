// The operating-system layer: clock, buffered standard input with a non-blocking poll, and the
// runtime generator whose sequence after a seed must be the same on every machine.
#include "platform.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <unistd.h>

uint32_t get_ms() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return (uint32_t)ms;
}

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
    if (!block) {
        struct pollfd p = {0, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0) return false;
    } else {
        fflush(stdout); // whatever was asked must be visible before waiting for the answer
    }
    ssize_t n;
    do {
        n = read(0, in_buf + in_tail, room);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
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

} // namespace

void input_use_text(const char *text) {
    text_src = text;
    in_head = in_tail = 0;
    in_eof = false;
}

bool input_ended() { return in_eof && in_avail() == 0; }

int bioskey() {
    if (!poll_ready) {
        on_pipe = !isatty(0);
        poll_ready = true;
    }
    while (read_more(false)) {
    }
    // Line ends and NULs never count as input; on a pipe neither does '.', the status request
    // an interface sends while the engine thinks.
    while (in_avail() > 0) {
        char c = in_buf[in_head];
        if (c != '\r' && c != '\n' && c != '\0' && !(on_pipe && c == '.')) break;
        in_head++;
    }
    return in_avail() > 0;
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
// The runtime generator.

static uint32_t rt_state = 1;

void rt_srand(unsigned seed) { rt_state = seed; }

int rt_rand() {
    rt_state = rt_state * 214013u + 2531011u;
    return (int)((rt_state >> 16) & 0x7FFF);
}
