// Starts a console program the way a Windows chess interface does, with its standard input and
// output on anonymous pipes (CreatePipe, CreateProcess), and relays: what this program reads on
// its own standard input goes to the child as it arrives, what the child writes (standard output
// and error together) comes out here. Input that arrives late therefore reaches the child late,
// through a real pipe the child can peek at.
//
//   vrk-pipedriver program.exe [arguments...]
//
// The child's CR LF line ends come out as LF. The exit status is the child's.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HANDLE child_in;  // our end of the child's standard input
HANDLE child_out; // our end of the child's standard output

bool write_all(HANDLE h, const char *p, DWORD n) {
    while (n > 0) {
        DWORD done = 0;
        if (!WriteFile(h, p, n, &done, nullptr)) return false;
        p += done;
        n -= done;
    }
    return true;
}

// Copies our standard input to the child until either side ends, then closes the child's input
// so that it sees the end of input.
DWORD WINAPI feed(void *) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(in, buf, sizeof buf, &n, nullptr) && n > 0)
        if (!write_all(child_in, buf, n)) break;
    CloseHandle(child_in);
    return 0;
}

// Drops the CR of every CR LF pair; a CR that ends one chunk is held until the next shows
// whether LF follows it.
DWORD unix_line_ends(char *buf, DWORD n, bool *held_cr, char *out) {
    DWORD k = 0;
    for (DWORD i = 0; i < n; i++) {
        if (*held_cr && buf[i] != '\n') out[k++] = '\r';
        *held_cr = buf[i] == '\r';
        if (!*held_cr) out[k++] = buf[i];
    }
    return k;
}

// Copies the child's output to ours until the child and every copy of the pipe's write end
// are gone.
void collect() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    char buf[4096], conv[2 * sizeof buf];
    bool held_cr = false;
    DWORD n = 0;
    while (ReadFile(child_out, buf, sizeof buf, &n, nullptr) && n > 0)
        write_all(out, conv, unix_line_ends(buf, n, &held_cr, conv));
    if (held_cr) write_all(out, "\r", 1);
}

bool make_pipe(HANDLE *read_end, HANDLE *write_end, HANDLE *ours) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    if (!CreatePipe(read_end, write_end, &sa, 0)) return false;
    // The child must not inherit our end, or it would never see the pipe close.
    return SetHandleInformation(*ours, HANDLE_FLAG_INHERIT, 0) != 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: vrk-pipedriver program.exe [arguments...]\n");
        return 2;
    }
    // Each argument quoted whole: the tests pass paths and FEN fields, none holding a quote or
    // ending with a backslash.
    std::string cmdline;
    for (int i = 1; i < argc; i++)
        cmdline += std::string("\"") + argv[i] + "\" ";

    // An interface on Linux interrupts its engine with SIGINT, which wine turns into a Ctrl-C
    // event for this process. A Windows engine under a Windows interface never gets one, so
    // neither does the child: the event is dropped here instead of ending the relay.
    SetConsoleCtrlHandler([](DWORD) -> BOOL { return TRUE; }, TRUE);
    HANDLE in_read, out_write;
    if (!make_pipe(&in_read, &child_in, &child_in) ||
        !make_pipe(&child_out, &out_write, &child_out)) {
        fprintf(stderr, "vrk-pipedriver: cannot create pipes (%lu)\n", GetLastError());
        return 2;
    }
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in_read;
    si.hStdOutput = out_write;
    si.hStdError = out_write;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, &cmdline[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                        &pi)) {
        fprintf(stderr, "vrk-pipedriver: cannot start %s (%lu)\n", argv[1], GetLastError());
        return 2;
    }
    // Only the child holds these now: its exit closes the output pipe for good.
    CloseHandle(in_read);
    CloseHandle(out_write);
    CloseHandle(pi.hThread);

    CreateThread(nullptr, 0, feed, nullptr, 0, nullptr);
    collect();
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD status = 2;
    GetExitCodeProcess(pi.hProcess, &status);
    // The feeding thread may still wait for input that no one will read: end it with us.
    ExitProcess(status);
}
