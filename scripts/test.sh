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
# Cases labelled two_monitors need a second monitor left of the primary: they
# run last, in a session of their own on Xorg's dummy driver. The others run on
# Xvfb, the display whose behaviour under Wine they are written against.
# A part that the arguments leave without cases is not run.
# Arguments that select no case at all get ctest's own answer to that.
has_cases() { ctest --preset mingw -N "$@" 2>/dev/null | grep -q "^Total Tests: [1-9]"; }
rc=0
if has_cases -LE two_monitors "$@" || ! has_cases "$@"; then
    adw_session_start "$root/build/wineprefix"
    ctest --preset mingw -LE two_monitors "$@" || rc=$?
    adw_session_stop
fi
if has_cases -L two_monitors "$@"; then
    ADW_X_SERVER=two-monitors adw_session_start "$root/build/wineprefix"
    ctest --preset mingw -L two_monitors "$@" || rc=$?
fi
exit $rc
