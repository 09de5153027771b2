#!/usr/bin/env python3
"""End-to-end runs of Uninstall_Lorvanis.exe under Wine.

Each scenario gets a copy of a template prefix in which the keyboard layout is
installed as its installer leaves it, starts the program from the product folder
as the Uninstall entry would, lets boxbot answer the message boxes, and then checks
the boxes, the status window, the exit codes, the registry files and the files of
the prefix.

  tests/wine/run_wine_tests.py [--all] [--only NAME[,NAME...]] [--list] [--reuse-template]

Every start of the 32-bit program costs close to a minute of CPU on this machine,
so the default set is kept small; --all adds the remaining cases.
"""

import argparse
import os
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winehelp as W  # noqa: E402

SCREEN = "1024x768x24"
TITLE = "Uninstall_Lorvanis V3.02 - Tastaturtreiber-Deinstallation"
CAPTION = "Uninstall_Lorvanis"
FILE_CAPTION = "Tastaturtreiber-Deinstallation"
LAYOUT = "DIN Tavik (Ostrelon 3.02)"
KLID = "b0010407"
TEMP_EXE_WIN = W.TEMP_WIN + "\\Uninstall_Lorvanis.exe"

CALLED = "Deinstallationsprogramm nicht mit gültigem Registry-Key die Tastatur aufgerufen "
REFUSALS = [
    ("no-argument", [], CALLED + "(Angabe fehlt)"),
    ("two-arguments", [KLID, KLID], CALLED + "(Angabe fehlt)"),
    ("empty-argument", [""], CALLED + "(Länge nicht 8 Zeichen):\n"),
    ("short-klid", ["0407"], CALLED + "(Länge nicht 8 Zeichen):\n0407"),
    ("not-german", ["d0010408"], CALLED + "(endet nicht in \"0407\", also kein deutsches Layout):\nd0010408"),
    ("standard-klid", ["00000407"], CALLED + "(Schlüssel für Standardtastatur: nicht deinstallierbar):\n00000407"),
]

QUESTION = "Soll folgender Tastatur-Treiber deinstalliert werden?\n\n" + LAYOUT
SUCCESS = "Folgender Tastatur-Treiber wurde deinstalliert:\n" + LAYOUT
CANCELLED = "Deinstallation abgebrochen."
DRIVER_MISSING = ("Problem bei Deinstallation von %s:\nTreiberdatei nicht (mehr) vorhanden:\n"
                  "  C:\\windows\\system32\\Lorvanis.DLL\n\nTrotzdem fortfahren?" % LAYOUT)
ONLY_LAYOUT = ("In den Windows-Spracheinstellungen ist die zu deinstallierende Tastaturbelegung derzeit "
               "als einzig auswählbare Belegung hinterlegt.\nBitte Wählen Sie dort erst eine andere "
               "Tastaturbelegung, bevor Sie die hier gewählte deinstallieren.")
OTHER_DRIVER = ("Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält eine andere "
                "Treiberdatei-Angabe als zum Zeitpunkt der Installation.\nAus Sicherheitsgründen wird "
                "daher die Deinstallation jetzt nicht durchgeführt.\nTreiber: %sKey: %s\n"
                "DLL bei Installation: Lorvanis.DLL\nDLL jetzt: Anders.DLL" % (LAYOUT, KLID))
DIR_NOT_REMOVED = ("Warnung bei Deinstallation von %s:\nFolgendes Hilfsverzeichnis konnte nicht entfernt "
                   "werden (möglicherweise ist es nicht leer):\n  %s" % (LAYOUT, W.PRODUCT_DIR_WIN))


# ------------------------------------------------------------------ observations

def unescape(s):
    out, i = [], 0
    while i < len(s):
        if s[i] == "\\" and i + 1 < len(s):
            n = s[i + 1]
            if n == "x":
                out.append(chr(int(s[i + 2:i + 4], 16)))
                i += 4
                continue
            out.append({"n": "\n", "r": "\r", "t": "\t"}.get(n, n))
            i += 2
            continue
        out.append(s[i])
        i += 1
    return "".join(out)


def read_bot_log(path):
    boxes, windows, procs, notes = [], [], [], []
    with open(path, "rb") as f:
        text = f.read().decode("cp1252")
    for line in text.splitlines():
        fields = [unescape(x) for x in line.split("\t")]
        if fields[0] == "BOX":
            caption, body, buttons, owner, ownertitle, proc, answer = fields[1:8]
            boxes.append(dict(caption=caption, text=body, buttons=buttons, owner=owner,
                              ownertitle=ownertitle, process=proc, answer=answer))
        elif fields[0] == "WINDOW":
            windows.append(dict(title=fields[1], rect=fields[2], client=fields[3],
                                style=int(fields[4], 16), process=fields[5]))
        elif fields[0] == "PROCESS":
            procs.append(dict(path=fields[1], exit=int(fields[2])))
        else:
            notes.append(fields[0])
    return boxes, windows, procs, notes


def state(pfx):
    """What the uninstaller may change, as a user or Windows would see it."""
    reg = pfx.registry()
    s = {
        "Preload": reg.current_user(r"Keyboard Layout\Preload"),
        "Substitutes": reg.current_user(r"Keyboard Layout\Substitutes"),
        "layout b0010407": reg.machine(W.LAYOUTS + r"\b0010407"),
        "layout a0010407": reg.machine(W.LAYOUTS + r"\a0010407"),
        "Uninstall entry": reg.machine(W.UNINSTALL + "\\" + W.ENTRY),
        "other Uninstall entry": reg.machine(W.UNINSTALL + "\\" + W.OTHER_ENTRY),
        "PendingFileRenameOperations":
            (reg.machine(W.SESSION) or {}).get("pendingfilerenameoperations"),
    }
    for rel in list(W.FIXTURE_FILES) + [W.TEMP_COPY]:
        s["file " + rel] = os.path.exists(pfx.file(rel))
    folder = pfx.file(W.PRODUCT_DIR)
    s["product folder"] = sorted(os.listdir(folder)) if os.path.isdir(folder) else None
    return s


# --------------------------------------------------------------------- scenarios

class Result:
    def __init__(self, pfx, rc, boxes, windows, procs, notes, seconds):
        self.pfx, self.rc, self.boxes, self.windows = pfx, rc, boxes, windows
        self.procs, self.notes, self.seconds = procs, notes, seconds
        self.errors = []

    def expect(self, ok, what):
        if not ok:
            self.errors.append(what)

    def expect_equal(self, got, want, what):
        if got != want:
            self.errors.append("%s:\n      got  %r\n      want %r" % (what, got, want))


def box(text, caption=CAPTION, buttons="OK", owned=True):
    return dict(caption=caption, text=text, buttons=buttons, owned=owned)


def check_boxes(res, expected):
    got = [(b["caption"], b["text"], b["buttons"], b["owner"] == "owner") for b in res.boxes]
    want = [(e["caption"], e["text"], e["buttons"], e["owned"]) for e in expected]
    res.expect_equal(got, want, "message boxes (caption, text, buttons, owned)")
    for b in res.boxes:
        if b["owner"] == "owner":
            res.expect_equal(b["ownertitle"], TITLE, "owner of box %r" % b["text"][:30])


def check_relaunch(res):
    """The first instance ran from the product folder and handed over to its copy."""
    res.expect_equal(res.rc, 0, "exit code of the first instance")
    paths = [p["path"].lower() for p in res.procs]
    res.expect_equal(paths, [W.PRODUCT_EXE_WIN.lower(), TEMP_EXE_WIN.lower()],
                     "processes of the run (in the order they ended)")
    res.expect(all(p["exit"] == 0 for p in res.procs), "exit codes %r" % res.procs)
    for b in res.boxes:
        res.expect(b["process"].lower() == TEMP_EXE_WIN.lower(),
                   "box %r shown by %s, not the copy" % (b["text"][:30], b["process"]))


def check_window(res):
    # WS_VISIBLE, and WS_DISABLED while a modal box is open, are states, not the style created.
    got = [(w["rect"], w["style"] & ~0x18000000) for w in res.windows]
    res.expect_equal(got, [("384 320 256 128", 0x06CF0000)], "status window (x y width height, style)")


def check_unchanged(res, before, allow_temp_copy):
    after = state(res.pfx)
    if allow_temp_copy:
        res.expect(after["file " + W.TEMP_COPY], "copy in the temporary folder")
        after["file " + W.TEMP_COPY] = before["file " + W.TEMP_COPY]
    for k in before:
        res.expect_equal(after[k], before[k], k)


def expect_refusal(text):
    def check(res, before):
        res.expect_equal(res.rc, 0, "exit code")
        check_boxes(res, [box(text, owned=False)])
        res.expect_equal([p["path"].lower() for p in res.procs], [W.PRODUCT_EXE_WIN.lower()],
                         "processes of the run")
        res.expect(all(p["exit"] == 0 for p in res.procs), "exit codes %r" % res.procs)
        for b in res.boxes:
            res.expect_equal(b["process"].lower(), W.PRODUCT_EXE_WIN.lower(), "process showing the box")
        res.expect_equal(res.windows, [], "status window")
        check_unchanged(res, before, allow_temp_copy=False)
    return check


def expect_removed(before, after, res, folder_left=None):
    """Everything of the layout is gone; the other layouts stay, renumbered."""
    res.expect_equal(after["Preload"], {"1": "00000407", "2": "d0010407", "3": "00000409"}, "Preload")
    res.expect_equal(after["Substitutes"], {"d0010407": "a0010407"}, "Substitutes")
    res.expect_equal(after["layout b0010407"], None, "layout key b0010407")
    res.expect_equal(after["layout a0010407"], before["layout a0010407"], "layout key a0010407")
    res.expect_equal(after["Uninstall entry"], None, "Uninstall entry")
    res.expect_equal(after["other Uninstall entry"], before["other Uninstall entry"], "other Uninstall entry")
    for rel in (W.DRIVER64, W.DRIVER32, W.SHORTCUT):
        res.expect(not after["file " + rel], "%s deleted" % rel)
    res.expect_equal(after["product folder"], folder_left, "product folder")
    res.expect(after["file " + W.TEMP_COPY], "copy in the temporary folder stays until restart")
    pending = after["PendingFileRenameOperations"] or []
    res.expect_equal([p.lower() for p in pending[:2]], ["\\??\\" + TEMP_EXE_WIN.lower(), ""],
                     "PendingFileRenameOperations (delete the copy at restart)")


def check_complete(res, before):
    check_relaunch(res)
    check_window(res)
    check_boxes(res, [box(QUESTION, buttons="YES NO"), box(SUCCESS)])
    expect_removed(before, state(res.pfx), res)


def check_answer_no(res, before):
    check_relaunch(res)
    check_boxes(res, [box(QUESTION, buttons="YES NO"), box(CANCELLED)])
    check_unchanged(res, before, allow_temp_copy=True)


def check_driver_missing_no(res, before):
    check_relaunch(res)
    check_boxes(res, [box(QUESTION, buttons="YES NO"), box(DRIVER_MISSING, buttons="YES NO")])
    check_unchanged(res, before, allow_temp_copy=True)


def check_driver_missing_yes(res, before):
    check_relaunch(res)
    check_boxes(res, [box(QUESTION, buttons="YES NO"), box(DRIVER_MISSING, buttons="YES NO"), box(SUCCESS)])
    expect_removed(before, state(res.pfx), res)


def check_extra_file(res, before):
    check_relaunch(res)
    reason = res.pfx.dir_not_empty_text
    check_boxes(res, [
        box(QUESTION, buttons="YES NO"),
        box("Folgendes Verzeichnis kann nicht gelöscht werden:\n%s\n\nFehlercode 145:\n%s"
            % (W.PRODUCT_DIR_WIN, reason), caption=FILE_CAPTION),
        box(DIR_NOT_REMOVED),
        box(SUCCESS),
    ])
    expect_removed(before, state(res.pfx), res, folder_left=["Notizen.txt"])


def expect_stop(text):
    def check(res, before):
        check_relaunch(res)
        check_boxes(res, [box(text)])
        check_unchanged(res, before, allow_temp_copy=True)
    return check


def error_text(pfx, code):
    """Windows' own text for an error code, in the user's language.  Asked before the
    run: a Wine process started after it begins a new session, and Wine then does what
    Windows does at a restart, the pending deletions included."""
    r = pfx.wine64("C:\\boxbot\\boxbot.exe", "-e", str(code), timeout=120)
    pfx.wait_server()
    return r.stdout.decode("cp1252")


def remove_driver(pfx):
    os.unlink(pfx.file(W.DRIVER64))


def add_extra_file(pfx):
    pfx.write(W.PRODUCT_DIR + "/Notizen.txt", b"meine Notizen")
    pfx.dir_not_empty_text = error_text(pfx, 145)  # ERROR_DIR_NOT_EMPTY


def single_preload(pfx):
    pfx.regedit("REGEDIT4\n\n[-HKEY_CURRENT_USER\\Keyboard Layout\\Preload]\n\n"
                "[HKEY_CURRENT_USER\\Keyboard Layout\\Preload]\n\"1\"=\"00000407\"\n")


def other_layout_file(pfx):
    pfx.regedit("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\%s\\b0010407]\n\"Layout File\"=\"Anders.DLL\"\n" % W.LAYOUTS)


# name, arguments, bot answers, fixture change, check, in the default set
SCENARIOS = [(name, args, "OK", None, expect_refusal(text), True) for name, args, text in REFUSALS] + [
    ("complete", [KLID], "YES,OK", None, check_complete, True),
    ("answer-no", [KLID], "NO,OK", None, check_answer_no, True),
    ("driver-missing-no", [KLID], "YES,NO", remove_driver, check_driver_missing_no, True),
    ("extra-file", [KLID], "YES,OK,OK,OK", add_extra_file, check_extra_file, True),
    ("driver-missing-yes", [KLID], "YES,YES,OK", remove_driver, check_driver_missing_yes, False),
    ("single-preload", [KLID], "OK", single_preload, expect_stop(ONLY_LAYOUT), False),
    ("other-layout-file", [KLID], "OK", other_layout_file, expect_stop(OTHER_DRIVER), False),
]


def start_bot(pfx, logpath, answers):
    """Starts boxbot and waits for its READY line.  One more try if the first start
    ends at once (seen once, with two prefixes starting at the same moment)."""
    for attempt in (1, 2):
        bot = pfx.popen_wine64("C:\\boxbot\\boxbot.exe", "-l", "C:\\boxbot\\log.txt", "-a", answers,
                               "-w", TITLE, "-p", "Uninstall_Lorvanis.exe", "-t", "480")
        deadline = time.time() + 120
        while not (os.path.exists(logpath) and open(logpath, "rb").read().startswith(b"READY")):
            if time.time() > deadline:
                raise RuntimeError("box bot did not start (see %s.out)" % pfx.path)
            if bot.poll() is not None:
                break
            time.sleep(0.2)
        else:
            return bot
        pfx.wait_server()
    raise RuntimeError("box bot ended at its start, exit code %s (see %s.out)" % (bot.returncode, pfx.path))


def run_scenario(template, scenario):
    name, args, answers, prepare, check, _ = scenario
    start = time.time()
    pfx = W.copy_prefix(template, os.path.join(W.WINEDIR, "runs", name))
    res = None
    try:
        if prepare:
            prepare(pfx)
        before = state(pfx)
        logpath = pfx.file("drive_c/boxbot/log.txt")
        bot = start_bot(pfx, logpath, answers)
        # As Windows starts the Uninstall entry's command: the executable in the product
        # folder, the KLID, and the system folder as current directory.
        run = pfx.wine(W.PRODUCT_EXE_WIN, *args, cwd=pfx.file("drive_c/windows/system32"), timeout=600)
        bot.wait(timeout=600)
        pfx.wait_server()
        res = Result(pfx, run.returncode, *read_bot_log(logpath), seconds=0)
        if "TIMEOUT" in res.notes:
            res.errors.append("the run did not end (boxes so far: %r)" % [b["text"] for b in res.boxes])
        check(res, before)
    except Exception as e:  # a broken run is a failed scenario, not a crashed harness
        pfx.kill_server()
        res = res or Result(pfx, None, [], [], [], [], 0)
        res.errors.append("%s: %s" % (type(e).__name__, e))
    res.seconds = time.time() - start
    return name, res


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--all", action="store_true", help="also the cases outside the default set")
    ap.add_argument("--only", help="comma-separated scenario names")
    ap.add_argument("--list", action="store_true", help="list the scenarios and exit")
    ap.add_argument("--reuse-template", action="store_true",
                    help="keep the template prefix of an earlier run (development)")
    ap.add_argument("-j", type=int, default=2, help="scenarios at a time (default 2)")
    opts = ap.parse_args()

    if opts.list:
        for s in SCENARIOS:
            print("%-20s %s" % (s[0], "" if s[5] else "(--all)"))
        return 0
    chosen = [s for s in SCENARIOS if opts.all or s[5]]
    if opts.only:
        names = opts.only.split(",")
        unknown = set(names) - {s[0] for s in SCENARIOS}
        if unknown:
            print("unknown scenario(s): %s" % ", ".join(sorted(unknown)))
            return 2
        chosen = [s for s in SCENARIOS if s[0] in names]

    if os.environ.get("LORVANIS_WINE_XVFB") != "1":
        # The status window's geometry is checked against a 1024 x 768 screen.
        env = dict(os.environ, LORVANIS_WINE_XVFB="1")
        cmd = ["xvfb-run", "-a", "-s", "-screen 0 " + SCREEN, sys.executable] + sys.argv
        return subprocess.call(cmd, env=env)

    t0 = time.time()
    if not os.path.exists(W.EXE):
        subprocess.run(["cmake", "--preset", "windows"], cwd=W.REPO, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", "--preset", "windows"], cwd=W.REPO, check=True)
    W.build_bot()
    template, seconds = W.make_template(reuse=opts.reuse_template)
    W.log("template prefix: %.0f s" % seconds)

    passed = failed = 0
    lock = threading.Lock()

    def report(item):
        nonlocal passed, failed
        name, res = item
        with lock:
            if res.errors:
                failed += 1
                W.log("FAIL %-20s %4.0f s" % (name, res.seconds))
                for e in res.errors:
                    W.log("    " + e)
            else:
                passed += 1
                W.log("ok   %-20s %4.0f s" % (name, res.seconds))

    with ThreadPoolExecutor(max_workers=max(1, opts.j)) as pool:
        for fut in [pool.submit(run_scenario, template, s) for s in chosen]:
            report(fut.result())
    W.log("total: %.0f s" % (time.time() - t0))
    print("%d passed, %d failed" % (passed, failed), flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
