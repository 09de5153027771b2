"""Wine prefixes for the end-to-end runs: the template prefix with an installed
keyboard layout, cheap per-run copies of it, the box bot, and a reader for the
registry files Wine leaves in a prefix."""

import os
import re
import shutil
import subprocess
import time

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
WINEDIR = os.path.join(REPO, "build", "wine")
EXE = os.path.join(REPO, "build", "windows", "Uninstall_Lorvanis.exe")
BOT_SOURCE = os.path.join(REPO, "tests", "wine", "boxbot.c")
BOT = os.path.join(WINEDIR, "boxbot.exe")
# /usr/bin/wine starts the 32-bit loader first, which costs a 32-bit process start
# (close to a minute under qemu); 64-bit programs go straight to wine64.
WINE64 = "/usr/lib/wine/wine64" if os.path.exists("/usr/lib/wine/wine64") else "wine64"

USER = os.environ.get("USER") or "root"
PRODUCT_DIR_WIN = r"C:\Program Files (x86)\Tavik-Tastaturbelegung"
PRODUCT_DIR = "drive_c/Program Files (x86)/Tavik-Tastaturbelegung"
PRODUCT_EXE_WIN = PRODUCT_DIR_WIN + r"\Uninstall_Lorvanis.exe"
DIAGRAM = "Tastaturbelegung Tavik (V3.02) Schaubild"
DESKTOP = "drive_c/users/%s/Desktop" % USER
TEMP = "drive_c/users/%s/Temp" % USER
TEMP_WIN = "C:\\users\\%s\\Temp" % USER
SHORTCUT = DESKTOP + "/" + DIAGRAM + ".LNK"
DRIVER64 = "drive_c/windows/system32/Lorvanis.DLL"
DRIVER32 = "drive_c/windows/syswow64/Lorvanis.DLL"
TEMP_COPY = TEMP + "/Uninstall_Lorvanis.exe"
ENTRY = "Tastaturbelegung DIN Tavik (Ostrelon 3.02)"
OTHER_ENTRY = "Nachbarbelegung 1.0"
UNINSTALL = r"Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall"
LAYOUTS = r"System\CurrentControlSet\Control\Keyboard Layouts"
SESSION = r"System\CurrentControlSet\Control\Session Manager"

# What an installer of the layout leaves behind.  A second German-family layout
# (a0010407, reached through d0020407) and an English one stay installed, so that
# the rewritten lists show what is kept and how it is renumbered.  Wine rewrites
# Preload "1" with the user's locale layout at every process start: keep it 00000407.
FIXTURE_REG = r"""REGEDIT4

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Keyboard Layouts\b0010407]
"Layout File"="Lorvanis.DLL"
"Layout Text"="Deutsch (Tavik)"
"Layout Id"="00c1"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Keyboard Layouts\a0010407]
"Layout File"="Nachbar.DLL"
"Layout Text"="Deutsch (Nachbar)"
"Layout Id"="00c2"

[-HKEY_CURRENT_USER\Keyboard Layout\Preload]

[HKEY_CURRENT_USER\Keyboard Layout\Preload]
"1"="00000407"
"2"="d0010407"
"3"="d0020407"
"4"="00000409"

[-HKEY_CURRENT_USER\Keyboard Layout\Substitutes]

[HKEY_CURRENT_USER\Keyboard Layout\Substitutes]
"d0010407"="b0010407"
"d0020407"="a0010407"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Tastaturbelegung DIN Tavik (Ostrelon 3.02)]
"DisplayName"="Tastaturbelegung DIN Tavik (Ostrelon 3.02)"
"UninstallString"="\"C:\\Program Files (x86)\\Tavik-Tastaturbelegung\\Uninstall_Lorvanis.exe\" b0010407"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Nachbarbelegung 1.0]
"DisplayName"="Nachbarbelegung 1.0"
"UninstallString"="C:\\Nachbar\\entfernen.exe"
"""

FIXTURE_FILES = {
    DRIVER64: b"MZ driver (native)",
    DRIVER32: b"MZ driver (32-bit)",
    PRODUCT_DIR + "/" + DIAGRAM + ".pdf": b"%PDF-1.4 chart",
    PRODUCT_DIR + "/" + DIAGRAM + ".ico": b"\0\0\1\0 chart icon",
    SHORTCUT: b"L\0\0\0 shortcut",
}


def log(msg):
    print(msg, flush=True)


class Prefix:
    """One Wine prefix with its own wineserver, HOME and environment."""

    def __init__(self, path):
        self.path = path
        self.home = path + ".home"
        os.makedirs(self.home, exist_ok=True)
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": path,
            "HOME": self.home,
            "LC_ALL": "de_DE.UTF-8",
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })

    def file(self, rel):
        return os.path.join(self.path, rel)

    def run(self, args, timeout=600, cwd=None, **kw):
        return subprocess.run(args, env=self.env, cwd=cwd or self.path, timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kw)

    def wine(self, *args, timeout=600, cwd=None):
        return self.run(["wine"] + list(args), timeout=timeout, cwd=cwd)

    def wine64(self, *args, timeout=600, cwd=None):
        return self.run([WINE64] + list(args), timeout=timeout, cwd=cwd)

    def popen_wine64(self, *args, cwd=None):
        out = open(self.path + ".out", "ab")  # what Wine says, should a start fail
        return subprocess.Popen([WINE64] + list(args), env=self.env, cwd=cwd or self.path,
                                stdout=out, stderr=subprocess.STDOUT)

    def wait_server(self, timeout=300):
        try:
            self.run(["wineserver", "-w"], timeout=timeout)
        except subprocess.TimeoutExpired:
            self.run(["wineserver", "-k"], timeout=60)
            raise

    def kill_server(self):
        try:
            self.run(["wineserver", "-k"], timeout=60)
        except subprocess.SubprocessError:
            pass

    def regedit(self, text):
        path = self.file("drive_c/fixture.reg")
        with open(path, "w", encoding="cp1252", newline="\r\n") as f:
            f.write(text)
        self.wine64("regedit", "/S", "C:\\fixture.reg", timeout=300)
        self.wait_server()
        os.unlink(path)

    def write(self, rel, data):
        path = self.file(rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if os.path.lexists(path):
            os.unlink(path)  # never write through a hard link into the template
        with open(path, "wb") as f:
            f.write(data)

    def registry(self):
        return Registry(self.file("system.reg"), self.file("user.reg"))


def build_bot():
    os.makedirs(WINEDIR, exist_ok=True)
    subprocess.run(["x86_64-w64-mingw32-gcc", "-O2", "-Wall", "-o", BOT, BOT_SOURCE], check=True)


def make_template(reuse=False):
    """A booted 64-bit prefix with the layout installed; made once per run."""
    path = os.path.join(WINEDIR, "template")
    stamp = path + ".done"
    if reuse and os.path.exists(stamp):
        log("template prefix: reused %s" % path)
        return Prefix(path), 0.0
    for p in (path, path + ".home", stamp):
        if os.path.isdir(p):
            shutil.rmtree(p)
        elif os.path.exists(p):
            os.unlink(p)
    start = time.time()
    os.makedirs(path)  # wineboot runs with the prefix as its working folder
    pfx = Prefix(path)
    r = pfx.wine64("wineboot", "-i", timeout=1200)
    pfx.wait_server(timeout=600)
    if r.returncode != 0 or not os.path.exists(pfx.file("system.reg")):
        raise RuntimeError("wineboot failed:\n" + r.stdout.decode(errors="replace"))
    # A new prefix links the user's Desktop, Documents ... to $HOME: make them
    # folders of the prefix, so that every copy has a desktop of its own.
    userdir = pfx.file("drive_c/users/" + USER)
    for name in os.listdir(userdir):
        p = os.path.join(userdir, name)
        if os.path.islink(p):
            os.unlink(p)
            os.mkdir(p)
    pfx.regedit(FIXTURE_REG)
    for rel, data in FIXTURE_FILES.items():
        pfx.write(rel, data)
    open(stamp, "w").close()
    return pfx, time.time() - start


def copy_prefix(template, path):
    """A copy of the template sharing its files through hard links; the files Wine
    rewrites in place (the registry) are real copies, and so is the program."""
    for p in (path, path + ".home"):
        if os.path.exists(p):
            shutil.rmtree(p)
    if os.path.exists(path + ".out"):
        os.unlink(path + ".out")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    subprocess.run(["cp", "-al", template.path, path], check=True)
    for name in ("system.reg", "user.reg", "userdef.reg"):
        os.unlink(os.path.join(path, name))
        shutil.copy2(os.path.join(template.path, name), os.path.join(path, name))
    pfx = Prefix(path)
    with open(EXE, "rb") as f:
        pfx.write(PRODUCT_DIR + "/Uninstall_Lorvanis.exe", f.read())
    with open(BOT, "rb") as f:
        pfx.write("drive_c/boxbot/boxbot.exe", f.read())
    return pfx


# ---------------------------------------------------------------- registry files

def _unescape_reg_string(s):
    out, i = [], 0
    while i < len(s):
        c = s[i]
        if c == "\\" and i + 1 < len(s):
            n = s[i + 1]
            if n == "x":
                m = re.match(r"[0-9a-fA-F]{1,4}", s[i + 2:])
                out.append(chr(int(m.group(0), 16)))
                i += 2 + len(m.group(0))
                continue
            out.append({"n": "\n", "r": "\r", "t": "\t", "0": "\0"}.get(n, n))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def _parse_name(line, i):
    """Parses a quoted name starting at line[i] == '"'; returns (name, index after)."""
    j = i + 1
    while line[j] != '"':
        j += 2 if line[j] == "\\" else 1
    return _unescape_reg_string(line[i + 1:j]), j + 1


def _parse_data(raw):
    if raw.startswith('"'):
        return _unescape_reg_string(raw[1:-1])
    if raw.startswith("dword:"):
        return int(raw[6:], 16)
    m = re.match(r"(hex|str)(?:\((\w+)\))?:(.*)", raw, re.S)
    if m and m.group(1) == "hex":
        data = bytes(int(b, 16) for b in m.group(3).replace(" ", "").split(",") if b)
        if m.group(2) in ("2", "7", "1"):
            text = data.decode("utf-16-le")
            return text.split("\0") if m.group(2) == "7" else text.rstrip("\0")
        return data
    if m and m.group(1) == "str":
        text = _unescape_reg_string(m.group(3)[1:-1])
        return text.split("\0") if m.group(2) == "7" else text
    return raw


def parse_reg_file(path):
    """Wine's registry file as {lower-case key path: {lower-case value name: data}}."""
    keys = {}
    current = None
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = f.read().split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        while line.endswith("\\") and i + 1 < len(lines):
            i += 1
            line = line[:-1] + lines[i].strip()
        i += 1
        if line.startswith("["):
            end = line.rindex("]")
            name = _unescape_reg_string(line[1:end])
            current = keys.setdefault(name.lower(), {})
        elif current is not None and (line.startswith('"') or line.startswith("@=")):
            if line.startswith("@="):
                name, j = "", 1
            else:
                name, j = _parse_name(line, 0)
            current[name.lower()] = _parse_data(line[j + 1:])
    return keys


class Registry:
    def __init__(self, system_path, user_path):
        self.system = parse_reg_file(system_path)
        self.user = parse_reg_file(user_path)
        # Wine keeps CurrentControlSet as a link to ControlSet001.
        self.ccs = "system\\currentcontrolset"
        if not any(k.startswith(self.ccs + "\\") for k in self.system):
            self.ccs = "system\\controlset001"

    def machine(self, path):
        p = path.lower()
        if p.startswith("system\\currentcontrolset"):
            p = self.ccs + p[len("system\\currentcontrolset"):]
        return self.system.get(p)

    def current_user(self, path):
        return self.user.get(path.lower())

    def subkeys(self, tree, path):
        prefix = path.lower() + "\\"
        return sorted({k[len(prefix):].split("\\")[0] for k in tree if k.startswith(prefix)})
