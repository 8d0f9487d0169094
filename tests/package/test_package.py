"""The Debian package built by cpack (arguments: the engine, the data, the build, cpack): its
contents, control fields and lintian's verdict; unpacked, its launcher prepares the working
directory, the engine plays, and what the launcher cannot do it says with status 1."""
import atexit
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from vrk_e2e import BUILD, DATA, DATA_FILES, Checks, Running, rc_with, skip  # noqa: E402

CPACK = sys.argv[4]

for tool in ("dpkg-deb", "dpkg-shlibdeps", "lintian"):
    if not shutil.which(tool):
        skip(f"{tool} is missing (apt-get install dpkg-dev lintian)")
c = Checks()
out = tempfile.mkdtemp(prefix="vrk-package-")
atexit.register(shutil.rmtree, out, ignore_errors=True)
os.chmod(out, 0o755)  # an unprivileged user runs the launcher from here below


def sh(*cmd, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)


p = sh(CPACK, "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", out)
debs = glob.glob(os.path.join(out, "*.deb"))
if p.returncode != 0 or len(debs) != 1:
    c.check("cpack makes one package", False, p.stdout)
    c.done()
deb = debs[0]

listing = sh("dpkg-deb", "-c", deb).stdout
print(listing)
entries = {}  # path -> (mode, owner)
for line in listing.splitlines():
    mode, owner, _size, _date, _time, path = line.split(None, 5)
    entries[path.removeprefix(".").rstrip("/")] = (mode, owner)
files = {path for path, (mode, _) in entries.items() if not mode.startswith("d")}
# The three- and four-men tables; the tests' five-men tables beside them are not shipped.
bitbases = sorted(f for f in map(os.path.basename, glob.glob(os.path.join(BUILD, "egbb-files", "*.cmp")))
                  if len(f.split(".")[0]) <= 4)
data = sorted(os.path.basename(f) for f in glob.glob(os.path.join(DATA, "*.bin")) +
              glob.glob(os.path.join(DATA, "*.txt"))) + ["vrk.rc"]
programs = {"/usr/games/vrk"} | {f"/usr/lib/games/vrk/{t}" for t in ("vrk", "vrk-rebelbook", "vrk-bbgen")}
expected = programs | {
    "/usr/share/man/man6/vrk.6.gz", "/usr/share/games/plugins/xboard/vrk.eng",
    "/usr/share/doc/vrk/README.md", "/usr/share/doc/vrk/copyright", "/usr/share/doc/vrk/changelog.gz",
} | {f"/usr/share/games/vrk/{f}" for f in data} | {f"/usr/share/games/vrk/egbb/{f}" for f in bitbases}
c.check("three- and four-men bitbases", len(bitbases) == 70 and "kbnk.w.cmp" in bitbases, bitbases)
c.check("the files are those expected", files == expected,
        f"missing {sorted(expected - files)}, unexpected {sorted(files - expected)}")
c.check("programs executable, data not", all(
    mode == ("-rwxr-xr-x" if path in programs else "-rw-r--r--")
    for path, (mode, _) in entries.items() if path in files), listing)
c.check("owned by root", {owner for _, owner in entries.values()} == {"root/root"}, listing)

fields = sh("dpkg-deb", "-f", deb, "Package", "Section", "Depends", "Suggests").stdout
c.check("control fields", re.search(r"Package: vrk\nSection: games\nDepends: .*libc6.*\n"
                                    r"Suggests: xboard\n", fields) is not None, fields)
p = sh("lintian", "--fail-on", "error,warning", *(["--allow-root"] if os.geteuid() == 0 else []), deb)
if p.returncode in (0, 2):  # 2: it found errors or warnings; 1 is its own failure
    c.check("lintian finds no error and no warning", p.returncode == 0 and
            not re.search(r"^[EW]: ", p.stdout, re.M), p.stdout)
else:
    c.cannot_check(f"lintian itself failed (status {p.returncode}): {p.stdout[-500:]}")

root = os.path.join(out, "root")
sh("dpkg-deb", "-x", deb, root)
launcher = os.path.join(root, "usr", "games", "vrk")
installed = os.path.join(root, "usr", "share", "games", "vrk")
base_env = {k: v for k, v in os.environ.items() if k not in ("HOME", "XDG_DATA_HOME")}


def environment(home, **extra):
    return dict(base_env, **({"HOME": home} if home else {}), **extra)


def start(script, home=None, user=None, **extra):
    """Runs the launcher with script as standard input: (stdout, stderr, status)."""
    p = subprocess.run((user or []) + [launcher], input=script, env=environment(home, **extra),
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120,
                       encoding="latin-1")
    return p.stdout, p.stderr, p.returncode


def fresh_home():
    home = tempfile.mkdtemp(prefix="home-", dir=out)
    os.chmod(home, 0o755)
    return home


# Searched deep enough, king and queen against king probe the installed bitbases.
home = fresh_home()
work = os.path.join(home, ".local", "share", "vrk")
s = Running([launcher], cwd=home, env=environment(home))
s.send("easy", "fen 8/8/8/4k3/8/8/8/4K2Q w - - 0 1", "sd 7", "on")
s.expect(r"\n1>vrk# $", timeout=120)
s.send("stat", "bye")
text, status = s.close()
c.check("console: the engine moves with the bitbases", status == 0 and
        "Path for EGBB: egbb/" in text and "Computer's move: " in text and
        re.search(r"\n[1-9]\d* Tablebases hit\n", text), text[-3000:])


def same(name):
    return open(os.path.join(installed, name), "rb").read() == open(os.path.join(work, name), "rb").read()


c.check("working directory set up, bitbases linked", all(map(same, DATA_FILES + ("vrk.rc",))) and
        os.path.realpath(os.path.join(work, "egbb")) == os.path.realpath(os.path.join(installed, "egbb")),
        os.listdir(work))
text, err, status = start("xboard\nnew\ngo\n", home)
c.check("protocol: the engine moves", status == 0 and re.search(r"\nmove [a-h][1-8][a-h][1-8]\n", text),
        text[-2000:] + err)

# A second start: the user's vrk.rc stays, a damaged book is restored from the installed one.
own_rc = rc_with(HASH=8)
with open(os.path.join(work, "vrk.rc"), "w") as f:
    f.write(own_rc)
with open(os.path.join(work, "mainbook.bin"), "wb") as f:
    f.write(b"broken")
text, err, status = start("bye\n", home)
c.check("second start keeps vrk.rc", status == 0 and "hash=8MB" in text and
        open(os.path.join(work, "vrk.rc")).read() == own_rc, text[-1500:] + err)
c.check("second start restores the book", same("mainbook.bin"))

xdg = fresh_home()
text, err, status = start("bye\n", fresh_home(), XDG_DATA_HOME=xdg)
c.check("XDG_DATA_HOME holds the working directory",
        status == 0 and os.path.exists(os.path.join(xdg, "vrk", "vrk.rc")), text[-500:] + err)

read_only = fresh_home()
os.makedirs(os.path.join(read_only, ".local", "share", "vrk"), mode=0o555)
# Root writes anywhere: the read-only directory is tried as an unprivileged user.
nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else None


def refused(name, message, home, user=None, **env):
    text, err, status = start("bye\n", home, user, **env)
    c.check(name, status == 1 and text == "" and re.fullmatch(f"vrk: .*{message}.*\n", err),
            f"status {status}\nstdout {text[:500]}\nstderr {err}")


refused("read-only working directory", "working directory .* is read-only", read_only, nobody)
refused("working directory cannot be made", "cannot create the working directory", fresh_home(),
        XDG_DATA_HOME=deb)
refused("no home", "neither HOME nor XDG_DATA_HOME is set", None)
os.rename(installed, installed + ".away")
refused("data not installed", "installed data directory .* is missing", fresh_home())
os.rename(installed + ".away", installed)
c.done()
