# Sourced, not run. A private Wine session: its own prefix, its own X display
# (Xvfb) and a persistent wineserver, started once for a whole test run.
#   adw_session_start <prefix-base>  exports WINEPREFIX, DISPLAY, ADW_SESSION=1;
#                                    the prefix is <prefix-base>.<n>, the first one
#                                    no other run holds (each is made once, then reused)
#   adw_session_stop                 stops only what adw_session_start started

ADW_WINE=${ADW_WINE:-/usr/lib/wine/wine64}
ADW_WINESERVER=${ADW_WINESERVER:-/usr/lib/wine/wineserver}
[ -x "$ADW_WINE" ] || ADW_WINE=$(command -v wine64 || command -v wine)
[ -x "$ADW_WINESERVER" ] || ADW_WINESERVER=$(command -v wineserver)

_adw_started_xvfb=""
_adw_started_server=""

# First display number whose lock file is free; claimed by Xvfb itself, so two
# runs at once cannot both get it (the loser retries the next number).
_adw_start_xvfb() {
    local n
    for n in $(seq 90 199); do
        [ -e "/tmp/.X${n}-lock" ] && continue
        Xvfb ":${n}" -screen 0 1920x1080x24 -nolisten tcp -noreset >/dev/null 2>&1 &
        local pid=$!
        local i
        for i in $(seq 1 100); do
            if xdpyinfo -display ":${n}" >/dev/null 2>&1; then
                export DISPLAY=":${n}"
                _adw_started_xvfb=$pid
                return 0
            fi
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    echo "wine-session: no free X display" >&2
    return 1
}

_adw_lock_fd=""

# Claims the first prefix slot that no other run holds; the lock lives as long
# as this shell keeps the descriptor open.
_adw_claim_prefix() {
    local base=$1 n fd
    mkdir -p "$(dirname "$base")"
    for n in $(seq 1 16); do
        exec {fd}>"$base.$n.lock"
        if flock -n "$fd"; then
            _adw_lock_fd=$fd
            export WINEPREFIX="$base.$n"
            return 0
        fi
        exec {fd}>&-
    done
    echo "wine-session: every prefix slot of $base is busy" >&2
    return 1
}

adw_session_start() {
    _adw_claim_prefix "$1" || return 1
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64
    _adw_start_xvfb || return 1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        "$ADW_WINE" wineboot -i >"$WINEPREFIX.boot.log" 2>&1
        "$ADW_WINESERVER" -w
    fi
    if [ ! -f "$WINEPREFIX/.adw-settings-1" ]; then
        # Without a window manager, hiding an activated window otherwise stalls ~2 s.
        "$ADW_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >>"$WINEPREFIX.boot.log" 2>&1
        # A crashing test ends at once instead of waiting in the debugger until its time-out.
        "$ADW_WINE" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >>"$WINEPREFIX.boot.log" 2>&1
        "$ADW_WINESERVER" -w
        touch "$WINEPREFIX/.adw-settings-1"
    fi
    "$ADW_WINESERVER" -p >/dev/null 2>&1 || return 1
    _adw_started_server=1
    # Wine's helper processes (services, desktop) start with the first program and
    # inherit its output: start them here, on /dev/null, so that no later test's
    # output pipe is held open by them.
    "$ADW_WINE" cmd /c exit >/dev/null 2>&1
    export ADW_SESSION=1
}

adw_session_stop() {
    if [ -n "$_adw_started_server" ]; then
        "$ADW_WINESERVER" -k >/dev/null 2>&1
        "$ADW_WINESERVER" -w >/dev/null 2>&1
        _adw_started_server=""
    fi
    if [ -n "$_adw_started_xvfb" ]; then
        kill "$_adw_started_xvfb" 2>/dev/null
        wait "$_adw_started_xvfb" 2>/dev/null
        _adw_started_xvfb=""
    fi
    if [ -n "$_adw_lock_fd" ]; then
        exec {_adw_lock_fd}>&-
        _adw_lock_fd=""
    fi
    unset ADW_SESSION
}
