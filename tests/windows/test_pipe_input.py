"""vrk.exe under a Windows pipe, as an interface drives it: a line typed ahead at the console
stops the search at the next check and is still there to be read (the pipe is peeked, not read),
and the output has Windows line ends. The protocol's handling of input during a search ("." and
empty lines, pondering, analysis ended by the input) is checked by tests/e2e/test_xboard.py, which
the Windows build runs through the same pipe driver.

Arguments: the launcher that runs vrk.exe through the pipe driver, the data folder, the build."""
import os
import re
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from vrk_e2e import VRK, Checks, Running, workdir  # noqa: E402

NO_BOOK = open(os.path.join(sys.argv[2], "vrk.rc")).read().replace("BOOK=1", "BOOK=0")
c = Checks()


class Session(Running):
    """The engine started through the driver; lines are sent while it runs."""

    def __init__(self, *driver_args):
        super().__init__([VRK, *driver_args], workdir(NO_BOOK))

    def wait_for(self, pattern, timeout=30):
        """Seconds until pattern shows in the output; None if it does not within the timeout."""
        start = time.time()
        while time.time() - start < timeout:
            if re.search(pattern, self.text()):
                return time.time() - start
            time.sleep(0.02)
        return None

    def finish(self):
        return self.close(60)


# Console: the line that stops the engine's search is still there to be read afterwards.
s = Session()
s.send("st 30", "on")
c.check("console search starts", s.wait_for(r"ply score time nodes pv") is not None, s.text())
time.sleep(1.0)
s.send("d")
waited = s.wait_for(r"Computer's move: ")
c.check("typed-ahead input stops the console search", waited is not None and waited < 3,
        f"{waited} s\n{s.text()}")
c.check("and is read afterwards", s.wait_for(r"\nFEN \S+ b KQkq") is not None, s.text())
out, status = s.finish()
c.check("console end of input", status == 0, f"status {status}\n{out[-300:]}")

# Standard output is in text mode: every line ends with CR LF.
s = Session("--raw")
s.send("d", "bye")
out, status = s.finish()
c.check("CR LF line ends", out.count("\r\n") > 10 and re.search(r"[^\r]\n", out) is None,
        repr(out[:300]))

c.done()
