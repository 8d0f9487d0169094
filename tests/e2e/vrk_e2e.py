"""Runs the real engine binary in a fresh working directory and returns what it printed."""
import os
import pty
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from vrk_workdir import DATA_FILES, copy_data  # noqa: E402,F401 (DATA_FILES for the tests)

VRK, DATA, BUILD = (os.path.abspath(a) for a in sys.argv[1:4])
# Seconds within which a line stops a search "at once", with room for an emulator and a busy machine.
AT_ONCE = 0.5
# The engine of this system, or a launcher of one built for another run under an emulator.
NATIVE = open(VRK, "rb").read(4) == b"\x7fELF"


def workdir(rc=True, files=None):
    """A temporary working directory with the shipped data.

    rc: True copies the shipped vrk.rc, False leaves it out, a string is written as vrk.rc.
    files: {name: bytes or str} written as well."""
    d = tempfile.mkdtemp(prefix="vrk-e2e-")
    copy_data(DATA, d, rc=rc is True)
    files = dict(files or {}, **({"vrk.rc": rc} if isinstance(rc, str) else {}))
    for name, content in files.items():
        with open(os.path.join(d, name), "wb" if isinstance(content, bytes) else "w") as f:
            f.write(content)
    return d


def rc_with(**settings):
    """The shipped vrk.rc with these settings changed."""
    text = open(os.path.join(DATA, "vrk.rc")).read()
    for key, value in settings.items():
        text = re.sub(rf"\b{key}=\S*", f"{key}={value}", text)
    return text


def run(script, rc=True, files=None, cwd=None, timeout=120, from_file=False):
    """Feeds script on standard input, through a pipe or (from_file) as a regular file; returns
    (stdout text, exit status, working directory)."""
    d = cwd or workdir(rc, files)
    for _ in range(1 if NATIVE else 2):
        if from_file:
            with open(os.path.join(d, "script.txt"), "w+b") as f:
                f.write(script.encode("latin-1"))
                f.seek(0)
                p = subprocess.run([VRK], stdin=f, cwd=d, stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT, timeout=timeout)
        else:
            p = subprocess.run([VRK], input=script.encode("latin-1"), cwd=d,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
        # The banner comes before any read: no output means the emulator never started it.
        if p.stdout:
            break
        print(f"the emulator started nothing (status {p.returncode}); once more")
    return p.stdout.decode("latin-1"), p.returncode, d


def transcripts(name, prefix=""):
    """Runs the sessions of a transcript file beside this one: "== what" starts a session, "< "
    lines are sent (after prefix; then the input ends), "> " lines are the output expected as it
    stands (">" an empty line, Python escapes apply), "~ " lines a regex for one or more lines,
    "..." any output between (the last line need not end); "rc none" runs without vrk.rc ("rc
    text" with that one, "set K=v ..." with the shipped one so changed), "status n" expects that
    status, "file name text" writes a file; {c*n} is the character c n times. Yields (what,
    output, status, expected status, expected output regex)."""
    text = open(os.path.join(os.path.dirname(os.path.abspath(__file__)), name)).read()
    text = re.sub(r"\{(.)\*(\d+)\}", lambda m: m[1] * int(m[2]), text)
    for block in text.split("\n== ")[1:]:
        what, *lines = block.split("\n")
        sent, expected, options = [prefix + "\n"] if prefix else [], [], {}
        for line in lines:
            plain = line[2:].encode("latin-1").decode("unicode_escape") + "\n"
            if line[:1] == "<":
                sent.append(plain)
            elif line[:1] in (">", "~"):
                expected.append(re.escape(plain) if line[0] == ">" else line[2:] + "\n")
            elif line == "...":
                expected.append(".*")
            elif line and line[0] != "#":
                key, value = line.split(" ", 1)
                options.setdefault(key, []).append(value.encode("latin-1").decode("unicode_escape"))
        files = dict(v.split(" ", 1) for v in options.get("file", []))
        rc = options.get("rc", [True])[0]
        if "set" in options:
            rc = rc_with(**dict(kv.split("=") for kv in options["set"][0].split()))
        out, status, _ = run("".join(sent), rc=rc != "none" and rc, files=files)
        yield (what, out, status, int(options.get("status", ["0"])[0]),
               re.sub(r"\\?\n\Z", r"\\n?", "".join(expected)))


def installed(prog):
    """Whether a program is on the PATH or among the games Debian installs outside it."""
    return bool(shutil.which(prog)) or os.path.exists(os.path.join("/usr/games", prog))


def skip(reason):
    """Ends a test that cannot run here; ctest counts status 77 as skipped."""
    print(f"skipped: {reason}")
    sys.exit(77)


class Checks:
    """Collects failures so that one run reports every mismatch; exits non-zero at the end."""

    def __init__(self):
        self.failed = self.passed = 0
        self.unchecked = None  # why a check could not be made

    def cannot_check(self, reason):
        """A check that a broken outside program keeps from being made: unless another check
        fails, the test ends as skipped with the reason."""
        self.unchecked = reason

    def check(self, name, cond, detail=""):
        if cond:
            self.passed += 1
        else:
            self.failed += 1
            print(f"FAIL {name}\n{detail}")

    def contains(self, name, text, part):
        self.check(name, part in text, f"expected to find:\n{part!r}\nin:\n{text}")

    def transcripts(self, name, prefix="", output=lambda out: out):
        """Checks the sessions of a transcript file; output picks the part the lines stand for."""
        for what, out, status, expected_status, pattern in transcripts(name, prefix):
            self.check(what, status == expected_status and re.fullmatch(pattern, output(out), re.S),
                       f"status {status}, expected:\n{pattern}\ngot:\n{output(out)}")

    def done(self):
        print(f"{self.passed} passed, {self.failed} failed")
        if self.unchecked and not self.failed:
            skip(self.unchecked)
        sys.exit(1 if self.failed else 0)


class Running:
    """A running program (the engine unless args says otherwise) whose output a thread collects
    while lines are sent to it, as a person or an interface would; with tty, typed at a
    terminal (its output still comes through a pipe)."""

    def __init__(self, args=None, cwd=None, rc=True, files=None, env=None, tty=False):
        self.dir = cwd or workdir(rc, files)
        self.terminal = None
        stdin = subprocess.PIPE
        if tty:
            self.terminal, stdin = pty.openpty()
        self.proc = subprocess.Popen(args or [VRK], cwd=self.dir, stdin=stdin,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
        if tty:
            os.close(stdin)
        self.out = b""
        self.stamps = []  # (arrival time, length of the output with that chunk)
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self._read)
        self.reader.start()

    def _read(self):
        for chunk in iter(lambda: self.proc.stdout.read1(4096), b""):
            with self.lock:
                self.out += chunk
                self.stamps.append((time.time(), len(self.out)))

    def text(self):
        with self.lock:
            return self.out.decode("latin-1")

    def send(self, *lines):
        data = b"".join(line.encode("latin-1") + b"\n" for line in lines)
        if self.terminal is not None:
            os.write(self.terminal, data)
            return
        self.proc.stdin.write(data)
        self.proc.stdin.flush()

    def wait_for(self, pattern, timeout=20):
        """The first match of pattern in the output so far; None after the timeout."""
        end = time.time() + timeout
        while True:
            ended = not self.reader.is_alive()
            m = re.search(pattern, self.text())
            if m or ended or time.time() > end:
                return m
            time.sleep(0.05)

    def arrival(self, pattern):
        """The time at which the first match of pattern came out, or None."""
        with self.lock:
            m = re.search(pattern, self.out.decode("latin-1"))
            return m and next(t for t, length in self.stamps if length >= m.end())

    def expect(self, pattern, timeout=60):
        """The match, which must come before the timeout."""
        m = self.wait_for(pattern, timeout)
        if not m:
            raise AssertionError(f"no {pattern!r} in time; output tail:\n{self.text()[-2000:]}")
        return m

    def close(self, timeout=60):
        """Ends standard input; returns (all output, exit status), killed after the timeout."""
        if self.terminal is not None:
            os.write(self.terminal, b"\x04")  # Ctrl-D at the start of a line: end of input
        else:
            self.proc.stdin.close()
        try:
            status = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            status = self.proc.wait()
        self.reader.join()
        if self.terminal is not None:
            os.close(self.terminal)
        return self.text(), status
