#!/usr/bin/env bash
# Runs the uninstaller under Wine on a prefix in which the keyboard layout is
# installed, started from the product folder as its Uninstall entry would start it.
# With a display you answer the boxes yourself; without one ($DISPLAY unset) the run
# goes into Xvfb, a bot answers Yes, and every box is printed. The registry lists
# the uninstaller works on are printed before and after.
#   tools/run-under-wine.sh [--screenshot docs/status-window.png] [--klid KLID]
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
exec python3 tests/wine/show_run.py "$@"
