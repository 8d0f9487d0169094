"""What a Windows user gets: vrk.exe and egbbprobe.dll export the prober's six functions and need
no library beyond the system's, and vrk-win64.zip unpacks to a folder the engine starts in.

Arguments: the launcher of vrk.exe, the data folder, the Windows build, objdump for PE files.
Runs under wine, with the pipe driver of the build."""
import os
import re
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from vrk_e2e import BUILD, Checks  # noqa: E402

OBJDUMP = sys.argv[4]
PROBER = {"load_egbb", "probe_egbb", "load_egbb_5men", "probe_egbb_5men", "load_egbb_into_ram",
          "unload_egbb_from_ram"}
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll"}
c = Checks()

for name in ("vrk.exe", "egbbprobe.dll"):
    pe = subprocess.run([OBJDUMP, "-p", os.path.join(BUILD, name)], stdout=subprocess.PIPE,
                        text=True).stdout
    names = pe.split("[Ordinal/Name Pointer] Table")[-1]
    exported = set(re.findall(r"^\s+\[\s*\d+\] (\w+)$", names, re.M))
    c.check(f"{name} exports the prober", exported == PROBER, f"exported: {sorted(exported)}")
    dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", pe)}
    c.check(f"{name} needs only system libraries", dlls <= SYSTEM_DLLS, f"imports {sorted(dlls)}")

with zipfile.ZipFile(os.path.join(BUILD, "vrk-win64.zip")) as z:
    files = set(z.namelist())
    c.check("zip contents", {f"vrk-win64/{n}" for n in (
        "vrk.exe", "vrk.rc", "README.txt", "random1.bin", "random2.bin", "tourbook.bin",
        "mainbook.bin")} <= files, sorted(files))
    d = tempfile.mkdtemp(prefix="vrk-zip-")
    z.extractall(d)
# The engine of the zip, started in its own folder, finds everything it needs there.
folder = os.path.join(d, "vrk-win64")
driver = ["wine", os.path.join(BUILD, "tests", "vrk-pipedriver.exe")]
p = subprocess.run(driver + [os.path.join(folder, "vrk.exe")], input=b"d\nbye\n", cwd=folder,
                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
out = p.stdout.decode("latin-1")
c.check("unpacked engine starts", p.returncode == 0 and "book=true" in out and
        "FEN rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -" in out, out)

c.done()
