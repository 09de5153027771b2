#!/usr/bin/env python3
"""One run of Uninstall_Lorvanis.exe under Wine, for people to watch.

Makes a prefix in which the keyboard layout is installed (a copy of the test
template, made first if needed), prints the registry lists the uninstaller works
on, starts it from the product folder as the Uninstall entry would, and prints the
lists again afterwards.

With a display ($DISPLAY set) the user answers the boxes.  Without one the run
goes into Xvfb and boxbot answers Yes/OK, printing every box.  --screenshot FILE
takes a picture of the status window with the question over it (Xvfb only).
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winehelp as W  # noqa: E402
from run_wine_tests import SCREEN, TITLE, read_bot_log  # noqa: E402

KLID = "b0010407"


def show_lists(pfx, when):
    reg = pfx.registry()
    print("== %s" % when)
    for label, values in (
        (r"HKCU\Keyboard Layout\Preload", reg.current_user(r"Keyboard Layout\Preload")),
        (r"HKCU\Keyboard Layout\Substitutes", reg.current_user(r"Keyboard Layout\Substitutes")),
        (r"HKLM\%s\%s" % (W.LAYOUTS, KLID), reg.machine(W.LAYOUTS + "\\" + KLID)),
        (r"HKLM\%s\%s" % (W.UNINSTALL, W.ENTRY), reg.machine(W.UNINSTALL + "\\" + W.ENTRY)),
    ):
        if values is None:
            print("  %s: (no such key)" % label)
            continue
        print("  %s:" % label)
        for name in sorted(values):
            print("      %s = %s" % (name, values[name]))
    for rel in (W.DRIVER64, W.DRIVER32, W.SHORTCUT, W.PRODUCT_DIR, W.TEMP_COPY):
        print("  %-70s %s" % (rel, "present" if os.path.exists(pfx.file(rel)) else "-"))
    sys.stdout.flush()


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--screenshot", help="PNG of the status window with the question (implies Xvfb)")
    ap.add_argument("--klid", default=KLID)
    opts = ap.parse_args()

    headless = not os.environ.get("DISPLAY") or opts.screenshot
    if headless and os.environ.get("LORVANIS_WINE_XVFB") != "1":
        env = dict(os.environ, LORVANIS_WINE_XVFB="1")
        cmd = ["xvfb-run", "-a", "-s", "-screen 0 " + SCREEN, sys.executable] + sys.argv
        return subprocess.call(cmd, env=env)
    headless = os.environ.get("LORVANIS_WINE_XVFB") == "1"

    W.build_bot()
    template, seconds = W.make_template(reuse=True)
    if seconds:
        print("template prefix made in %.0f s" % seconds)
    pfx = W.copy_prefix(template, os.path.join(W.WINEDIR, "show"))
    print("prefix: %s" % pfx.path)
    if opts.screenshot:
        # Xvfb has no window manager to draw title bars; in a Wine desktop of the
        # screen's size Wine draws them itself, and the geometry stays the same.
        pfx.regedit("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"
                    "\"Desktop\"=\"Default\"\n\n"
                    "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"
                    "\"Default\"=\"%s\"\n" % SCREEN.rsplit("x", 1)[0])
    show_lists(pfx, "before")

    bot = None
    logpath = pfx.file("drive_c/boxbot/log.txt")
    gate = pfx.file("drive_c/boxbot/gate")
    if headless:
        args = ["C:\\boxbot\\boxbot.exe", "-l", "C:\\boxbot\\log.txt", "-a", "YES,OK,OK,OK,OK",
                "-w", TITLE, "-p", "Uninstall_Lorvanis.exe", "-t", "600"]
        if opts.screenshot:
            args += ["-g", "C:\\boxbot\\gate"]
        bot = pfx.popen_wine64(*args)
        while not (os.path.exists(logpath) and open(logpath, "rb").read().startswith(b"READY")):
            time.sleep(0.2)

    print("== starting %s %s" % (W.PRODUCT_EXE_WIN, opts.klid), flush=True)
    first = subprocess.Popen(["wine", W.PRODUCT_EXE_WIN, opts.klid], env=pfx.env,
                             cwd=pfx.file("drive_c/windows/system32"))
    if opts.screenshot:
        while b"SHOWN" not in open(logpath, "rb").read():
            if bot.poll() is not None:
                print("no question box appeared")
                break
            time.sleep(0.5)
        else:
            time.sleep(2)  # let the box and the window behind it paint
            xwd = subprocess.run(["xwd", "-root", "-display", os.environ["DISPLAY"]],
                                 stdout=subprocess.PIPE, check=True)
            # The middle of the screen: the status window and the box over it.
            subprocess.run(["convert", "xwd:-", "-crop", "512x288+256+240", "+repage",
                            "png:" + opts.screenshot], input=xwd.stdout, check=True)
            print("screenshot: %s" % opts.screenshot)
        open(gate, "w").close()
    print("first instance ended with exit code %d" % first.wait())
    if bot:
        bot.wait()
    pfx.wait_server()
    if bot:
        boxes, windows, procs, _ = read_bot_log(logpath)
        for w in windows:
            print("== status window %r at x y width height %s, client %s, style %08X"
                  % (w["title"], w["rect"], w["client"], w["style"]))
        for b in boxes:
            print("== box [%s] %s, answered %s:" % (b["caption"], b["buttons"], b["answer"]))
            for line in b["text"].replace("\r\n", "\n").split("\n"):
                print("    " + line)
        for p in procs:
            print("== process %s ended with exit code %d" % (p["path"], p["exit"]))
    show_lists(pfx, "after")
    return 0


if __name__ == "__main__":
    sys.exit(main())
