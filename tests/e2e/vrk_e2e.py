"""Runs the real engine binary in a fresh working directory and returns what it printed."""
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import threading
import time

VRK, DATA, BUILD = (os.path.abspath(a) for a in sys.argv[1:4])
DATA_FILES = ("random1.bin", "random2.bin", "tourbook.bin", "mainbook.bin")


def workdir(rc=True, files=None):
    """A temporary working directory with the shipped data.

    rc: True copies the shipped vrk.rc, False leaves it out, a string is written as vrk.rc.
    files: {name: bytes or str} written as well."""
    d = tempfile.mkdtemp(prefix="vrk-e2e-")
    for name in DATA_FILES + (("vrk.rc",) if rc is True else ()):
        if os.path.exists(os.path.join(DATA, name)):
            shutil.copy(os.path.join(DATA, name), d)
    files = dict(files or {}, **({"vrk.rc": rc} if isinstance(rc, str) else {}))
    for name, content in files.items():
        with open(os.path.join(d, name), "wb" if isinstance(content, bytes) else "w") as f:
            f.write(content)
    return d


def run(script, rc=True, files=None, cwd=None, timeout=120):
    """Feeds script on standard input; returns (stdout text, exit status, working directory)."""
    d = cwd or workdir(rc, files)
    p = subprocess.run([VRK], input=script.encode("latin-1"), cwd=d, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, timeout=timeout)
    return p.stdout.decode("latin-1"), p.returncode, d


def mask_times(text):
    """Replaces what varies from run to run (speeds) by placeholders."""
    return re.sub(r"\[ *[0-9.]+ n/s\]", "[N n/s]", text)


class Checks:
    """Collects failures so that one run reports every mismatch; exits non-zero at the end."""

    def __init__(self):
        self.failed = self.passed = 0

    def check(self, name, cond, detail=""):
        if cond:
            self.passed += 1
        else:
            self.failed += 1
            print(f"FAIL {name}\n{detail}")

    def contains(self, name, text, part):
        self.check(name, part in text, f"expected to find:\n{part!r}\nin:\n{text}")

    def done(self):
        print(f"{self.passed} passed, {self.failed} failed")
        sys.exit(1 if self.failed else 0)


class Running:
    """A process whose output is collected by a thread while lines are sent to it."""

    def __init__(self, args, cwd):
        self.proc = subprocess.Popen(args, cwd=cwd, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.out = b""
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self._read)
        self.reader.start()

    def _read(self):
        for chunk in iter(lambda: self.proc.stdout.read1(4096), b""):
            with self.lock:
                self.out += chunk

    def text(self):
        with self.lock:
            return self.out.decode("latin-1")

    def send(self, *lines):
        for line in lines:
            self.proc.stdin.write(line.encode() + b"\n")
        self.proc.stdin.flush()

    def close(self, timeout):
        """Closes the input; returns (output, exit status)."""
        self.proc.stdin.close()
        status = self.proc.wait(timeout=timeout)
        self.reader.join()
        return self.text(), status


class Session:
    """The engine driven line by line, as a person at the console or an interface would: input
    arrives only after the engine has answered what came before."""

    def __init__(self, rc=True, files=None, cwd=None):
        self.dir = cwd or workdir(rc, files)
        self.p = subprocess.Popen([VRK], cwd=self.dir, stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.out = ""
        os.set_blocking(self.p.stdout.fileno(), False)

    def send(self, text):
        self.p.stdin.write(text.encode("latin-1"))
        self.p.stdin.flush()

    def _read(self, wait):
        r, _, _ = select.select([self.p.stdout], [], [], wait)
        if r:
            chunk = self.p.stdout.read()
            if chunk:
                self.out += chunk.decode("latin-1")
                return True
        return False

    def expect(self, pattern, timeout=60):
        """Waits until the output (from the start) matches the regular expression pattern."""
        end = time.time() + timeout
        while not re.search(pattern, self.out):
            if time.time() > end or self.p.poll() is not None and not self._read(0.1):
                raise AssertionError(f"timeout waiting for {pattern!r}; output tail:\n{self.out[-2000:]}")
            self._read(0.05)
        return self.out

    def close(self, timeout=60):
        """Ends standard input and returns (all output, exit status)."""
        self.p.stdin.close()
        end = time.time() + timeout
        while self.p.poll() is None and time.time() < end:
            self._read(0.05)
        while self._read(0):
            pass
        if self.p.poll() is None:
            self.p.kill()
        return self.out, self.p.wait()
