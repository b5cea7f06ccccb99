# Sourced, not run. A private Wine session: its own prefix, its own X display
# (Xvfb, or Xorg with two monitors) and a persistent wineserver, started once for a whole test run.
#   adw_session_start <prefix-base>  exports WINEPREFIX, DISPLAY, ADW_SESSION=1;
#                                    the prefix is <prefix-base>.<n>, the first one
#                                    no other run holds (each is made once, then reused)
#   adw_session_stop                 stops what adw_session_start started, also when
#                                    it failed half-way; safe to call more than once
# Callers set `trap adw_session_stop EXIT` before adw_session_start.

ADW_WINE=${ADW_WINE:-/usr/lib/wine/wine64}
ADW_WINESERVER=${ADW_WINESERVER:-/usr/lib/wine/wineserver}
[ -x "$ADW_WINE" ] || ADW_WINE=$(command -v wine64 || command -v wine)
[ -x "$ADW_WINESERVER" ] || ADW_WINESERVER=$(command -v wineserver)

_adw_started_xvfb=""
_adw_lock_fd=""
_adw_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Starts the X server of display :$1 in the background: Xvfb with one monitor,
# or, with ADW_X_SERVER=two-monitors and Xorg's dummy driver installed
# (scripts/install-deps.sh installs it), Xorg with the primary (0,0)-(1920,1080)
# and a second monitor left of it, (-1280,0)-(0,1024).
_adw_x_server() {
    if [ "${ADW_X_SERVER:-}" = two-monitors ] && [ -x /usr/bin/Xorg ] &&
        [ -f /usr/lib/xorg/modules/drivers/dummy_drv.so ]; then
        exec /usr/bin/Xorg ":$1" -config "$_adw_scripts/xorg-two-monitors.conf" -noreset -nolisten tcp \
            -novtswitch -sharevts -logfile "/tmp/adw-xorg.$1.log"
    fi
    exec Xvfb ":$1" -screen 0 1920x1080x24 -nolisten tcp -noreset
}

# First display number whose lock file is free; claimed by Xvfb itself, so two
# runs at once cannot both get it (the loser retries the next number).
_adw_start_xvfb() {
    local n pid i
    for n in $(seq 90 199); do
        [ -e "/tmp/.X${n}-lock" ] && continue
        _adw_x_server "$n" >/dev/null 2>&1 {_adw_lock_fd}>&- &
        pid=$!
        # Recorded at once, so that a stop in the middle of the wait still ends it.
        _adw_started_xvfb=$pid
        for i in $(seq 1 200); do
            if xdpyinfo -display ":${n}" >/dev/null 2>&1; then
                export DISPLAY=":${n}"
                return 0
            fi
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        _adw_started_xvfb=""
    done
    echo "wine-session: no free X display" >&2
    return 1
}

# Claims the first prefix slot that no other run holds; the lock lives as long
# as this shell keeps the descriptor open. Programs that the session starts are
# given the descriptor closed, so that one outliving a killed run (its Xvfb or
# wineserver) does not keep the slot locked.
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

# Stops the wineserver of $WINEPREFIX and every Wine process on it. Called only
# while the slot's lock is held, so any server there is this session's or was
# left by a run that was killed before it could stop its own.
_adw_stop_server() {
    "$ADW_WINESERVER" -k >/dev/null 2>&1 {_adw_lock_fd}>&- || true
    timeout 30 "$ADW_WINESERVER" -w >/dev/null 2>&1 {_adw_lock_fd}>&- || true
}

# Runs a Wine program of the session set-up, its output appended to the boot log.
_adw_wine_setup() {
    "$ADW_WINE" "$@" >>"$WINEPREFIX.boot.log" 2>&1 {_adw_lock_fd}>&-
}

adw_session_start() {
    _adw_claim_prefix "$1" || return 1
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64
    # A server left behind makes `wineserver -p` fail.
    _adw_stop_server
    _adw_start_xvfb || return 1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        : >"$WINEPREFIX.boot.log"
        _adw_wine_setup wineboot -i || true
        "$ADW_WINESERVER" -w {_adw_lock_fd}>&- || true
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            # A half-made prefix would be reused as if complete: the next run makes it anew.
            echo "wine-session: making the Wine prefix failed, see $WINEPREFIX.boot.log" >&2
            rm -rf "$WINEPREFIX"
            return 1
        fi
    fi
    if [ ! -f "$WINEPREFIX/.adw-settings-1" ]; then
        # Without a window manager, hiding an activated window otherwise stalls ~2 s.
        if ! _adw_wine_setup reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f; then
            echo "wine-session: setting up the Wine prefix failed, see $WINEPREFIX.boot.log" >&2
            return 1
        fi
        # A crashing test ends at once instead of waiting in the debugger until its time-out.
        # Already absent is as good.
        _adw_wine_setup reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f || true
        "$ADW_WINESERVER" -w {_adw_lock_fd}>&- || true
        touch "$WINEPREFIX/.adw-settings-1"
    fi
    if ! "$ADW_WINESERVER" -p >/dev/null 2>&1 {_adw_lock_fd}>&-; then
        echo "wine-session: the persistent wineserver did not start for $WINEPREFIX" >&2
        return 1
    fi
    # Wine's helper processes (services, desktop) start with the first program and
    # inherit its output: start them here, on /dev/null, so that no later test's
    # output pipe is held open by them.
    "$ADW_WINE" cmd /c exit >/dev/null 2>&1 {_adw_lock_fd}>&- || true
    export ADW_SESSION=1
}

adw_session_stop() {
    # The server goes before the lock: the next run on this slot must not meet it.
    if [ -n "$_adw_lock_fd" ]; then
        _adw_stop_server
        exec {_adw_lock_fd}>&-
        _adw_lock_fd=""
    fi
    if [ -n "$_adw_started_xvfb" ]; then
        kill "$_adw_started_xvfb" 2>/dev/null || true
        wait "$_adw_started_xvfb" 2>/dev/null || true
        _adw_started_xvfb=""
    fi
    unset ADW_SESSION
    return 0
}
