#!/usr/bin/env bash
# Runs one Windows executable under Wine and passes its exit code through.
# Inside a session (scripts/test.sh) it reuses that session's display, prefix and
# wineserver; alone, it starts a private session for this one run and stops it.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wine-session.sh
. "$here/wine-session.sh"

if [ -z "${ADW_SESSION:-}" ]; then
    prefix=${ADW_WINEPREFIX:-$(cd "$here/.." && pwd)/build/wineprefix}
    # Set first: a start that fails half-way is stopped too.
    trap adw_session_stop EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    adw_session_start "$prefix" || exit 125
    "$ADW_WINE" "$@"
    exit $?
fi
exec "$ADW_WINE" "$@"
