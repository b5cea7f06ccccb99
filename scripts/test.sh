#!/usr/bin/env bash
# The test command: installs what is missing, builds, compiles the library's
# sources with clang too, and runs every test under Wine with one Xvfb display and
# one wineserver for the whole run, two tests at a time (the test preset's jobs).
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw
# A second compiler over the library's sources (warnings are errors); nothing to run.
echo "test.sh: clang check of the library's sources"
cmake --preset clang-check >/dev/null
cmake --build --preset clang-check

. scripts/wine-session.sh
# Set before the session starts: whatever part of it a failure leaves running is stopped.
trap adw_session_stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
adw_session_start "$root/build/wineprefix"
set +e
ctest --preset mingw "$@"
rc=$?
set -e
exit $rc
