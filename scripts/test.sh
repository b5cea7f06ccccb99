#!/usr/bin/env bash
# The test command: installs what is missing, builds, and runs every test under
# Wine with one Xvfb display and one wineserver for the whole run.
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw

. scripts/wine-session.sh
adw_session_start "$root/build/wineprefix"
trap adw_session_stop EXIT
set +e
ctest --preset mingw "$@"
rc=$?
set -e
exit $rc
