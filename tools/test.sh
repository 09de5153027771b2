#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test: the host suite on
# winsim and the end-to-end scenarios of the real executable under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh

cmake --preset windows >/dev/null
cmake --build --preset windows
cmake --preset host >/dev/null
cmake --build --preset host

echo "== host tests (winsim)"
ctest --preset host -j2

echo "== Wine tests"
python3 tests/wine/run_wine_tests.py "$@"
