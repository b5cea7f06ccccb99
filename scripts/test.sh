#!/usr/bin/env bash
# The test command: installs what is missing, builds, compiles the library's
# sources with clang too, makes the package ZIP, installs the build into a
# staging folder and builds examples/minimal-host against it (the case
# Package.MinimalHost runs it), and runs every test under Wine with one Xvfb
# display and one wineserver for the whole run, two tests at a time (the test
# preset's jobs).
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
# The package as a host developer gets it: a build that cannot be installed, or
# that the sample host cannot be built against with find_package, fails here.
echo "test.sh: the package ZIP, the install into build/stage, examples/minimal-host built against it"
cmake --build --preset mingw --target package >/dev/null
bash scripts/minimal-host.sh build

. scripts/wine-session.sh
# Set before the session starts: whatever part of it a failure leaves running is stopped.
trap adw_session_stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# Cases labelled two_monitors need a second monitor left of the primary: they
# run last, in a session of their own on Xorg's dummy driver. The others run on
# Xvfb, the display whose behaviour under Wine they are written against.
# A part that the arguments leave without cases is not run; arguments that
# select no case at all get ctest's own answer to that. The cases are listed
# inside the session, since listing runs the test programs under Wine; a
# listing that fails fails the run, so no part is ever skipped by mistake.
count_cases() { # ctest's selection arguments
    local listing
    if ! listing=$(ctest --preset mingw -N "$@" 2>&1) || ! grep -q "^Total Tests: " <<<"$listing"; then
        echo "$listing" >&2
        echo "test.sh: the cases could not be listed" >&2
        return 1
    fi
    sed -n 's/^Total Tests: //p' <<<"$listing"
}
rc=0
adw_session_start "$root/build/wineprefix"
main_cases=$(count_cases -LE two_monitors "$@")
monitor_cases=$(count_cases -L two_monitors "$@")
if [ "$main_cases" -gt 0 ] || [ "$monitor_cases" -eq 0 ]; then
    ctest --preset mingw -LE two_monitors "$@" || rc=$?
fi
adw_session_stop
if [ "$monitor_cases" -gt 0 ]; then
    ADW_X_SERVER=two-monitors adw_session_start "$root/build/wineprefix"
    ctest --preset mingw -L two_monitors "$@" || rc=$?
fi
exit $rc
