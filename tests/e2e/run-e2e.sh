#!/usr/bin/env bash
# Runs one end-to-end test module against the real program inside a private
# desktop (desktop.sh: Xvfb, a session D-Bus with the accessibility bus,
# openbox and a trayer system tray), torn down on every way out.
#
# Usage: run-e2e.sh <path to tovlan> <test module, e.g. test_startup> [unittest args]
# By hand, from the build folder:  ctest -R e2e_startup --output-on-failure
# or directly:  tests/e2e/run-e2e.sh build/tovlan test_startup -k corner
# TOVLAN_E2E_KEEP=1 keeps the scratch folder (program copies, logs) for a look.
set -euo pipefail

[ $# -ge 2 ] || { echo "usage: $0 <path to tovlan> <test module> [unittest args]" >&2; exit 2; }
[ -x "$1" ] || { echo "e2e: no program at $1" >&2; exit 1; }
program=$(realpath "$1")
module=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
limit=${TOVLAN_E2E_TIMEOUT:-100}

/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || {
    echo "e2e: missing pyatspi for /usr/bin/python3; 'make deps' installs the packages in packages.txt" >&2
    exit 1
}

export QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export TOVLAN_PROGRAM=$program

# The Debian interpreter, not whichever python3 is first on PATH: only it has pyatspi.
exec "$here/desktop.sh" --timeout "$limit" --name "$module" -- \
    /usr/bin/python3 -W ignore::DeprecationWarning -m unittest -v "$module" "$@"
