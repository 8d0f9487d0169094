"""vrk.exe under a Windows pipe, as an interface drives it: a line typed ahead at the console
stops the search at the next check and is still there to be read (the pipe is peeked, not read),
and the output has Windows line ends. The protocol's handling of input during a search ("." and
empty lines, pondering, analysis ended by the input) is checked by tests/e2e/test_xboard.py, which
the Windows build runs through the same pipe driver.

Arguments: the launcher that runs vrk.exe through the pipe driver, the data folder, the build."""
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from vrk_e2e import BUILD, Checks, Running, rc_with, workdir  # noqa: E402

c = Checks()

# Console: the line that stops the engine's search is still there to be read afterwards.
s = Running(rc=rc_with(BOOK=0))
s.send("st 30", "on")
s.expect(r"ply score time nodes pv")
time.sleep(1.0)
start = time.time()
s.send("d")
c.check("typed-ahead input stops the console search", s.wait_for(r"Computer's move: ", 30)
        and time.time() - start < 3, f"{time.time() - start:.1f} s\n{s.text()}")
c.check("and is read afterwards", s.wait_for(r"\nFEN \S+ b KQkq"), s.text())
out, status = s.close()
c.check("console end of input", status == 0, f"status {status}\n{out[-300:]}")

# Standard output is in text mode: every line ends with CR LF (seen without the driver).
out = subprocess.run(["wine", os.path.join(BUILD, "vrk.exe")], input=b"d\nbye\n", cwd=workdir(),
                     stdout=subprocess.PIPE, timeout=120).stdout
c.check("CR LF line ends", out.count(b"\r\n") > 10 and re.search(rb"[^\r]\n", out) is None,
        repr(out[:300]))

c.done()
