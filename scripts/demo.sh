#!/usr/bin/env bash
# The main job: the console host (KelvaneCenter.exe) with AdWarden.dll and the
# working engine on a private display, and the ad maker opening pop-ups for two
# advertisers. Hats appear over the pop-ups; "Block" is clicked on the hat over
# one advertiser's toast; that advertiser's next toast is hidden and counted;
# the records are listed; the host is restarted and the counter is still there;
# the capture overlay opens, the pointer goes to another advertiser's window
# and a click blocks it, the assistant hearing the overlay open and close.
# Prints a transcript, saves screenshots under build/demo/ and checks each fact;
# exits non-zero when one does not hold.
#
#   bash scripts/demo.sh                 install what is missing, build, run
#   bash scripts/demo.sh --interactive   then leave the host running, served over VNC
#   bash scripts/demo.sh --no-build      use the build as it is (the end-to-end test)
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
interactive=0
build=1
for arg in "$@"; do
    case "$arg" in
    --interactive) interactive=1 ;;
    --no-build) build=0 ;;
    *) echo "usage: bash scripts/demo.sh [--interactive] [--no-build]" >&2; exit 2 ;;
    esac
done

if [ $build = 1 ]; then
    bash scripts/install-deps.sh
    cmake --preset mingw >/dev/null
    cmake --build --preset mingw
fi
if [ $interactive = 1 ] && ! command -v x11vnc >/dev/null; then
    echo "demo: installing x11vnc"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends x11vnc >/dev/null
fi

bin=$root/build/mingw/bin
out=$root/build/demo
rm -rf "$out"
mkdir -p "$out"
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

. scripts/wine-session.sh
own_session=0
host_pid=""
vnc_pid=""
cleanup() {
    exec 7>&- 2>/dev/null || true
    [ -n "$vnc_pid" ] && kill "$vnc_pid" 2>/dev/null
    if [ -n "${ADW_WINE:-}" ] && [ -n "${WINEPREFIX:-}" ]; then
        "$ADW_WINE" taskkill /F /IM AdMaker.exe >/dev/null 2>&1 || true
        "$ADW_WINE" taskkill /F /IM Assistant.exe >/dev/null 2>&1 || true
    fi
    [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
    [ $own_session = 1 ] && adw_session_stop
    return 0
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# A host that has ended leaves the pipe without a reader: writing then fails instead of ending this script.
trap '' PIPE
# Inside the test run the session is already there (scripts/test.sh).
if [ -z "${ADW_SESSION:-}" ]; then
    own_session=1
    adw_session_start "$root/build/wineprefix"
fi

# A fresh start: the engine's items and the stored counter go.
"$ADW_WINE" cmd /c del '%LOCALAPPDATA%\AdPopBlocker64\PopupItems.txt' >/dev/null 2>&1 || true
"$ADW_WINE" reg delete 'HKCU\SOFTWARE\Norvane\Hubrix\Kelvane' /v BlockedTimes /f >/dev/null 2>&1 || true

failures=0
say() { echo "demo: $*"; }
fact() { # what, then a command that must succeed
    local what=$1
    shift
    if "$@"; then
        say "OK    $what"
    else
        say "FAIL  $what"
        failures=$((failures + 1))
    fi
}

# The host's output, shown as it comes, one step at a time.
shown=0
show_host() {
    local total
    total=$(wc -l <"$hostlog")
    if [ "$total" -gt "$shown" ]; then
        tail -n +"$((shown + 1))" "$hostlog" | head -n "$((total - shown))" | sed 's/^/    host| /'
        shown=$total
    fi
}
wait_for() { # pattern, seconds: in the host's output
    local deadline=$((SECONDS + $2))
    until grep -qE -- "$1" "$hostlog"; do
        if [ $SECONDS -ge $deadline ]; then
            show_host
            say "gave up waiting for: $1"
            return 1
        fi
        sleep 0.2
    done
}
send() { echo "$*" >&7 2>/dev/null || true; }
start_host() {
    hostlog=$out/host-$1.log
    shown=0
    rm -f "$out/host.in"
    mkfifo "$out/host.in"
    "$ADW_WINE" "$bin/KelvaneCenter.exe" <"$out/host.in" >"$hostlog" 2>&1 &
    host_pid=$!
    exec 7>"$out/host.in"
    wait_for 'host: Init\(\) -> 0' 30 || return 1
    wait_for 'OnBlockedTimes' 10 || return 1
}
stop_host() {
    send quit
    exec 7>&-
    local deadline=$((SECONDS + 20))
    while kill -0 "$host_pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
    kill "$host_pid" 2>/dev/null || true
    host_pid=""
    show_host
}
screenshot() { # name
    local file=$out/$1.png
    send "screenshot $(winpath "$file")"
    wait_for "screenshot (saved|not saved).*$1.png" 10 || true
    show_host
    [ -s "$file" ] && say "screenshot $file"
}
last_counter() { grep -oE 'OnBlockedTimes [0-9]+' "$1" | tail -n 1 | cut -d' ' -f2; }
first_counter() { grep -oE 'OnBlockedTimes [0-9]+' "$1" | head -n 1 | cut -d' ' -f2; }

started=$SECONDS
say "1. the host starts: AdWarden.dll, the working engine, the switches in the registry"
start_host 1
show_host

say "2. the ad maker opens pop-ups for Sunmart and, from a second process, Nimbus Games"
"$ADW_WINE" "$bin/AdMaker.exe" --advertiser Sunmart --second "Nimbus Games" --kinds toast,centre,bubble \
    --count 12 --interval 3000 --lifetime 2800 --exit-after 60 >"$out/admaker.log" 2>&1 &
wait_for 'OnBlockingRecord status=3 .*"Sunmart - toast"' 15 || true
# The hats come on the UI thread once the records are out: ask until both advertisers' toasts have one.
deadline=$((SECONDS + 10))
until [ $SECONDS -ge $deadline ] || { tail -n 8 "$hostlog" | grep -qE '^host: hat [0-9]+ .* over "Sunmart - toast"' &&
    tail -n 8 "$hostlog" | grep -qE '^host: hat [0-9]+ .* over "Nimbus Games - toast"'; }; do
    send hats
    sleep 0.5
done
show_host
hats=$(grep -oE '^host: [0-9]+ hats? on screen' "$hostlog" | tail -n 1 | cut -d' ' -f2)
screenshot 01-hats-over-the-pop-ups

say "3. Block is clicked on the hat over Sunmart's toast"
# A toast that closed meanwhile takes its hat along: the next round's hat is clicked then.
deadline=$((SECONDS + 15))
until grep -q '^host: clicked Block' "$hostlog" || [ $SECONDS -ge $deadline ]; do
    send "click-block Sunmart - toast"
    sleep 0.5
done
show_host

say "4. Sunmart's next toast is hidden by the engine and counted"
wait_for 'OnBlockingRecord status=2 .*"Sunmart - toast"' 10 || true
wait_for 'OnBlockingRecord status=1 .*"Sunmart - toast"' 5 || true
show_host
sleep 1.2 # hats over pop-ups that went away close at their next watch tick, once a second
screenshot 02-next-toast-hidden

say "5. the records are listed"
send list
wait_for 'OnBlockingRecords' 10 || true
show_host
listing=$(awk '/OnBlockingRecords/{on=1; next} on && /^  record/{print; next} on{exit}' "$hostlog")
counter1=$(last_counter "$hostlog")

say "6. the host is restarted"
stop_host
log1=$hostlog
start_host 2
show_host
counter2=$(first_counter "$hostlog")
wait_for "OnBlockedTimes $((counter1 + 1))" 10 || true
show_host
screenshot 03-after-the-restart

say "7. capture: the overlay opens, the pointer goes to a new advertiser's window, a click blocks it"
# The first advertisers stop: their new pop-ups would come up over the overlay.
"$ADW_WINE" taskkill /F /IM AdMaker.exe >/dev/null 2>&1 || true
sleep 1.2 # and the hats over their pop-ups close at their next watch tick
"$ADW_WINE" "$bin/AdMaker.exe" --advertiser Zestify --slogan "Smoothies half price" --kinds centre --count 1 \
    --lifetime 30000 --exit-after 40 >"$out/admaker-2.log" 2>&1 &
wait_for 'OnBlockingRecord status=3 .*"Zestify - centre"' 15 || true
send capture
wait_for 'ScreenshotBlocking\(\) -> 0' 10 || true
wait_for 'received kind=send .*code=0x2A8400C8' 5 || true
send "point Zestify - centre"
wait_for 'host: pointer at' 5 || true
sleep 0.5 # the overlay outlines the window under the pointer on its next paint
show_host
screenshot 04-capture-overlay-over-a-window
send click
wait_for 'OnBlockingRecord status=2 .*"Zestify - centre"' 10 || true
wait_for 'received kind=post .*code=0x2A8400C9' 5 || true
show_host

fact "hats were shown over the pop-ups (${hats:-no} on screen, one over Sunmart's toast)" grep -qE '^host: hat [0-9]+ .* over "Sunmart - toast"' "$log1"
fact "the click set Sunmart's toast to blocked: its next toast was hidden and counted (status 2, then 1)" \
    grep -qE 'OnBlockingRecord status=2 .*blocks=1 .*"Sunmart - toast"' "$log1"
fact "the counter rose to ${counter1:-?} in the first run" test "${counter1:-0}" -ge 1
fact "the records listed Sunmart's toast as blocked" grep -qE 'status=1 .*"Sunmart - toast"' <<<"$listing"
fact "the records listed Nimbus Games' toast as not blocked" grep -qE 'status=3 .*"Nimbus Games - toast"' <<<"$listing"
# Blocks made while the new host starts are added to the stored counter before it is first sent.
fact "the counter survived the restart (${counter1:-?} before, ${counter2:-?} on the new host's start)" \
    test "${counter2:-0}" -ge "${counter1:-1}"
fact "after the restart Sunmart's toast is still blocked and counted ($((counter1 + 1)))" \
    grep -q "OnBlockedTimes $((counter1 + 1))" "$hostlog"
fact "the overlay told the assistant when it opened" \
    grep -qE 'received kind=send .*code=0x2A8400C8' "$hostlog"
fact "  ... and when it closed" grep -qE 'received kind=post .*code=0x2A8400C9' "$hostlog"
fact "the window picked in the overlay was blocked and counted" \
    grep -qE 'OnBlockingRecord status=2 .*"Zestify - centre"' "$hostlog"
say "transcript: $log1, $hostlog, $out/admaker.log; screenshots in $out"
say "scenario took $((SECONDS - started)) s"

if [ $interactive = 1 ]; then
    "$ADW_WINE" "$bin/AdMaker.exe" --advertiser "Orbit Travel" --kinds toast,centre,bubble --count 100 \
        --interval 6000 --lifetime 5500 --exit-after 600 --slot 1 >>"$out/admaker.log" 2>&1 &
    port=5900
    while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do
        port=$((port + 1))
    done
    x11vnc -display "$DISPLAY" -localhost -forever -shared -nopw -rfbport "$port" -o "$out/x11vnc.log" >/dev/null 2>&1 &
    vnc_pid=$!
    say "the host keeps running on display $DISPLAY, served over VNC at localhost:$port"
    say "  connect a VNC viewer to localhost:$port (from another machine: ssh -L $port:localhost:$port <this machine>)"
    say "  type the host's commands here (help lists them); quit or Ctrl-D ends the demo"
    tail -n 0 -f "$hostlog" &
    tail_pid=$!
    while IFS= read -r line; do
        send "$line"
        [ "$line" = quit ] && break
    done
    kill $tail_pid 2>/dev/null || true
fi
stop_host >/dev/null
if [ $failures -gt 0 ]; then
    say "$failures fact(s) did not hold"
    exit 1
fi
say "all facts hold"
