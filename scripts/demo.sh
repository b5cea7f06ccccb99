#!/usr/bin/env bash
# The main job, on a private display with a plain desktop: the console host
# (KelvaneCenter.exe) with AdWarden.dll and the working engine, an editor's
# ordinary windows (DeskApp.exe), and the ad maker opening pop-ups. It shows
# and checks: hats over the pop-ups and none over the ordinary windows; "Block"
# on a hat hides that pop-up at once, and its next appearance too, counted; the
# records; the counter kept in the registry across a restart of the host;
# powerful mode hiding every pop-up and no ordinary window; the capture overlay
# above the hats, picking a window to block; a focus scene (a full-screen
# meeting) during which an intrusive pop-up is closed and a hat held back until
# the scene ends. Prints a transcript, saves screenshots and a page to look at
# (build/demo/index.html), and exits non-zero when a check does not hold.
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
transcript=$out/transcript.txt
checks=$out/checks.tsv
pictures=$out/pictures.tsv
: >"$transcript"
: >"$checks"
: >"$pictures"
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

. scripts/wine-session.sh
. scripts/demo-programs.sh
own_session=0
host_pid=""
vnc_pid=""
tail_pid=""
cleanup() {
    exec 7>&- 2>/dev/null || true
    [ -n "$tail_pid" ] && kill "$tail_pid" 2>/dev/null
    [ -n "$vnc_pid" ] && kill "$vnc_pid" 2>/dev/null
    stop_all_programs
    [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
    # The machine's gates would open the focus parts for whatever runs next in this prefix.
    [ -n "${machine:-}" ] && "$ADW_WINE" reg delete "$machine" /f >/dev/null 2>&1
    if [ $own_session = 1 ]; then
        adw_session_stop
    elif [ -n "${DISPLAY:-}" ]; then
        xsetroot -display "$DISPLAY" -solid black 2>/dev/null # the test run's display as it was
    fi
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
# A plain desktop behind the windows (the X server's root window, which screenshots show).
xsetroot -display "$DISPLAY" -solid '#3b6e8f' 2>/dev/null || true

# A fresh start: the engine's items, the stored counter and every switch go;
# the host writes the switches' defaults again.
# The focus gates and lists are the machine's (an installer's or administrator's).
settings='HKCU\SOFTWARE\Norvane\Hubrix\Kelvane'
machine='HKLM\SOFTWARE\Norvane\Hubrix\Kelvane'
"$ADW_WINE" cmd /c del '%LOCALAPPDATA%\AdPopBlocker64\PopupItems.txt' >/dev/null 2>&1 || true
"$ADW_WINE" reg delete "$settings" /f >/dev/null 2>&1 || true
"$ADW_WINE" reg delete "$machine" /f >/dev/null 2>&1 || true

failures=0
say() { echo "demo: $*" | tee -a "$transcript"; }
check() { # what, then a command that must succeed
    local what=$1
    shift
    if "$@"; then
        say "OK    $what"
        printf 'OK\t%s\n' "$what" >>"$checks"
    else
        say "FAIL  $what"
        printf 'FAIL\t%s\n' "$what" >>"$checks"
        failures=$((failures + 1))
    fi
}

# The host's output, shown as it comes, one step at a time.
shown=0
show_host() {
    local total
    total=$(wc -l <"$hostlog")
    if [ "$total" -gt "$shown" ]; then
        tail -n +"$((shown + 1))" "$hostlog" | head -n "$((total - shown))" | sed 's/^/    host| /' | tee -a "$transcript"
        shown=$total
    fi
}
lines() { wc -l <"$1"; }
wait_in() { # file, pattern, seconds[, lines to skip]: the pattern in the file's new lines
    local deadline=$((SECONDS + $3))
    until tail -n +"$((${4:-0} + 1))" "$1" | grep -qE -- "$2"; do
        if [ $SECONDS -ge $deadline ]; then
            [ "$1" = "$hostlog" ] && show_host
            say "gave up waiting for: $2"
            return 1
        fi
        sleep 0.2
    done
}
wait_for() { wait_in "$hostlog" "$1" "$2" "${3:-0}"; }
send() { echo "$*" >&7 2>/dev/null || true; }
start_host() {
    hostlog=$out/host-$1.log
    shown=0
    rm -f "$out/host.in"
    mkfifo "$out/host.in"
    "$ADW_WINE" "$bin/KelvaneCenter.exe" <"$out/host.in" >"$hostlog" 2>&1 &
    host_pid=$!
    exec 7>"$out/host.in"
    wait_for '^host: Init\(\) -> 0' 30 || return 1
    wait_for '^callback: OnBlockedTimes [0-9]+' 10 || return 1
}
stop_host() {
    send quit
    exec 7>&-
    local deadline=$((SECONDS + 20))
    while kill -0 "$host_pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
    kill "$host_pid" 2>/dev/null || true
    wait "$host_pid" 2>/dev/null || true
    host_pid=""
    show_host
}
screenshot() { # name, what to see in it
    local file=$out/$1.png
    send "screenshot $(winpath "$file")"
    wait_for "^host: screenshot (saved|not saved).*$1.png" 10 || true
    show_host
    if [ -s "$file" ]; then
        say "screenshot $file: $2"
        printf '%s\t%s\n' "$1.png" "$2" >>"$pictures"
    fi
}
# What is on screen now: the hats, then every window of the other programs,
# kept in $out/look-NAME.txt for the checks.
look() {
    local from
    from=$(lines "$hostlog")
    send hats
    send windows
    wait_for '^host: [0-9]+ windows of other programs' 10 "$from" || true
    tail -n +"$((from + 1))" "$hostlog" >"$out/look-$1.txt"
    show_host
}
# visible, hidden or gone: a window by its handle, in a look.
window_state() { # look, handle
    local state
    state=$(grep -oE "^host: window $2 (visible|hidden) " "$out/look-$1.txt" | cut -d' ' -f4)
    echo "${state:-gone}"
}
window_is() { [ "$(window_state "$1" "$2")" = "$3" ]; }
hat_over() { grep -qE "^host: hat [0-9]+ .* over \"$2\"\$" "$out/look-$1.txt"; }
no_hat_over() { ! hat_over "$@"; }
# The editor's three windows are all on screen and none has a hat or a record.
ordinary_left_alone() { # look
    local handle
    for handle in $ordinary_handles; do
        window_is "$1" "$handle" visible || return 1
    done
    ! grep -qE "^host: hat [0-9]+ .* over \"($ordinary_titles)\"\$" "$out/look-$1.txt" &&
        ! grep -qE "^callback: OnBlockingRecord .*\"($ordinary_titles)\" / " "$out"/host-*.log
}
counter_is() { grep -qE "^callback: OnBlockedTimes $2\$" "$1"; }
last_counter() { grep -oE '^callback: OnBlockedTimes [0-9]+$' "$1" | tail -n 1 | cut -d' ' -f3; }
first_counter() { grep -oE '^callback: OnBlockedTimes [0-9]+$' "$1" | head -n 1 | cut -d' ' -f3; }
stored_counter() { # BlockedTimes in the registry, empty when absent
    local hex
    hex=$("$ADW_WINE" reg query "$settings" /v BlockedTimes 2>/dev/null | tr -d '\r' |
        awk '$1 == "BlockedTimes" && $2 == "REG_DWORD" {print $3}')
    [ -z "$hex" ] || printf "%d\n" "$hex"
}
# The handle of the last pop-up of that kind an ad maker's log shows.
ad_handle() { # log, advertiser, kind
    grep -E "^admaker\[$2\]: $3 shown " "$1" | tail -n 1 | grep -oE 'window 0x[0-9a-f]+' | cut -d' ' -f2
}
shown_count() { grep -cE "^admaker\[$2\]: $3 shown " "$1" || true; }
# Asks for the hats until one sits over that window; false after the seconds.
wait_for_hat() { # title, seconds
    local deadline=$((SECONDS + $2)) from
    while [ $SECONDS -lt $deadline ]; do
        from=$(lines "$hostlog")
        send hats
        wait_for '^host: [0-9]+ hats? on screen' 5 "$from" >/dev/null || true
        sleep 0.3
        tail -n +"$((from + 1))" "$hostlog" | grep -qE "^host: hat [0-9]+ .* over \"$1\"\$" && return 0
    done
    return 1
}

started=$SECONDS
say "1. the host starts: AdWarden.dll, the working engine, the switches in the registry; an editor is open"
start_host 1
start_program desk "$bin/DeskApp.exe" --exit-after 300
wait_in "$out/desk.log" '^deskapp: document ' 15 || true
ordinary_handles=$(grep -E '^deskapp: document ' "$out/desk.log" | grep -oE '0x[0-9a-f]+' | tr '\n' ' ')
ordinary_titles='Quarterly report - Editor|Save changes\?|Word count'
say "   the editor's windows: $ordinary_handles(a document, its dialog, its small tool window)"
show_host

say "2. the ad maker opens pop-ups for Sunmart and, from a second process, Nimbus Games"
start_program ads1 "$bin/AdMaker.exe" --advertiser Sunmart --second "Nimbus Games" --kinds toast,centre,bubble \
    --count 6 --interval 4000 --lifetime 3800 --exit-after 60
wait_for '^callback: OnBlockingRecord status=3 .*"Sunmart - toast"' 15 || true
wait_for_hat "Sunmart - toast" 10 || true
wait_for_hat "Nimbus Games - toast" 5 || true
# A toast lives a little less than a round, so one may be between its round's
# toasts when the screen is looked at: then the look waits for the next.
for _ in 1 2 3; do
    look hats
    hat_over hats "Sunmart - toast" && hat_over hats "Nimbus Games - toast" && break
    wait_for_hat "Sunmart - toast" 5 || true
    wait_for_hat "Nimbus Games - toast" 5 || true
done
screenshot 01-hats-over-the-pop-ups "Hats over the pop-ups of both advertisers (toast, centre, bubble each); the editor's document, dialog and small tool window have none."

say "3. Block is clicked on the hat over a fresh Sunmart toast: the toast goes at once"
# A fresh toast, so that it is still within its lifetime when the click has been made.
toasts=$(shown_count "$out/ads1.log" Sunmart toast)
wait_in "$out/ads1.log" '^admaker\[Sunmart\]: toast shown ' 10 "$(lines "$out/ads1.log")" || true
[ "$(shown_count "$out/ads1.log" Sunmart toast)" -gt "$toasts" ] || say "no fresh toast came"
clicked_toast=$(ad_handle "$out/ads1.log" Sunmart toast)
wait_for_hat "Sunmart - toast" 3 || true
from=$(lines "$hostlog")
send "click-block Sunmart - toast"
wait_for '^host: clicked Block ' 5 "$from" || true
wait_for '^callback: OnBlockingRecord status=2 .*blocks=1 .*"Sunmart - toast"' 5 || true
look after-block
screenshot 02-blocked-toast-gone-at-once "Block was clicked on the hat over Sunmart's toast: that toast is gone at once (bottom right); the other pop-ups keep their hats."

say "4. Sunmart's next toast is hidden as it opens, and counted"
wait_for '^callback: OnBlockingRecord status=2 .*blocks=2 .*"Sunmart - toast"' 10 || true
next_toast=$(ad_handle "$out/ads1.log" Sunmart toast)
look next-toast

say "5. the records are listed"
send list
wait_for '^callback: OnBlockingRecords ' 10 || true
show_host
listing=$(awk '/^callback: OnBlockingRecords /{on=1; next} on && /^  record/{print; next} on{exit}' "$hostlog")

say "6. the ad makers end, the host is restarted; a new Sunmart toast opens"
stop_program ads1
stop_host
log1=$hostlog
counter1=$(last_counter "$log1")
stored1=$(stored_counter)
say "   BlockedTimes in the registry: ${stored1:-absent}"
start_host 2
counter2=$(first_counter "$hostlog")
start_program ads2 "$bin/AdMaker.exe" --advertiser Sunmart --second "Nimbus Games" --kinds toast --count 1 \
    --lifetime 30000 --exit-after 60
wait_for '^callback: OnBlockingRecord status=2 .*"Sunmart - toast"' 15 || true
wait_for_hat "Nimbus Games - toast" 10 || true
restart_toast=$(ad_handle "$out/ads2.log" Sunmart toast)
look restart
screenshot 03-after-the-restart "After the restart: Sunmart's new toast was hidden as it opened (still blocked); Nimbus Games' toast has its hat."

say "7. powerful mode: every pop-up goes, the editor's windows stay"
send power on
wait_for '^host: SetPowerState\(1\)' 5 || true
start_program ads3 "$bin/AdMaker.exe" --advertiser "Orbit Travel" --kinds toast,centre,bubble --count 1 \
    --lifetime 30000 --exit-after 60
wait_in "$out/ads3.log" '^admaker\[Orbit Travel\]: bubble shown ' 10 || true
wait_for '^callback: OnBlockingRecord status=2 .*"Orbit Travel - bubble"' 10 || true
sleep 1.2 # the hat over Nimbus Games' toast, hidden now, closes at its next watch tick
look powerful
screenshot 04-powerful-mode "Powerful mode: Orbit Travel's three pop-ups and Nimbus Games' toast are hidden, no hat anywhere; the editor's windows are untouched."
send power off
wait_for '^host: SetPowerState\(0\)' 5 || true
send blocking on # powerful mode off stops the engine; blocking resumes with the switch
wait_for '^host: SetBlockingState\(1\)' 5 || true
stop_program ads2
stop_program ads3

say "8. capture: the overlay opens above the hats, the pointer goes to a window, a click blocks it"
start_program ads4 "$bin/AdMaker.exe" --advertiser Zestify --slogan "Smoothies half price" --kinds centre,toast \
    --count 1 --lifetime 40000 --exit-after 60
wait_for_hat "Zestify - centre" 10 || true
wait_for_hat "Zestify - toast" 5 || true
zestify_centre=$(ad_handle "$out/ads4.log" Zestify centre)
send capture
wait_for '^host: ScreenshotBlocking\(\) -> 0' 10 || true
wait_for 'received kind=send .*code=0x2A8400C8' 5 || true
send "point Zestify - centre"
wait_for '^host: pointer at' 5 || true
sleep 2.2 # two watch ticks of the hats (one a second), in which a hat would rise above the overlay
look overlay
screenshot 05-capture-overlay "The capture overlay covers the desktop and outlines Zestify's window under the pointer; the hats of Zestify's pop-ups stay under the overlay."
send click
wait_for '^callback: OnBlockingRecord status=2 .*"Zestify - centre"' 10 || true
wait_for 'received kind=post .*code=0x2A8400C9' 5 || true
look picked

say "9. a focus scene: a full-screen meeting; an intrusive pop-up is closed, a hat waits until the meeting ends"
stop_program ads4
"$ADW_WINE" reg add "$machine" /v FocusSceneProcesses /t REG_MULTI_SZ /d meeting.exe /f >/dev/null 2>&1 || true
send gates on
wait_for '^host: gates open' 5 || true
send focus on
wait_for '^host: SetFocusState\(true\)' 5 || true
start_program meeting "$bin/meeting.exe" --exit-after 60
wait_in "$out/meeting.log" '^meeting: full screen ' 10 || true
# Wine raises no foreground events: a click released over the meeting has it judged.
send "point Weekly sync - Meeting"
wait_for '^host: pointer at .* over "Weekly sync - Meeting"' 5 || true
send click
from=$(lines "$hostlog")
deadline=$((SECONDS + 5))
until tail -n +"$((from + 1))" "$hostlog" | grep -q 'window is fullscreen\.' || [ $SECONDS -ge $deadline ]; do
    send "log 5"
    sleep 0.5
done
start_program ads5 "$bin/AdMaker.exe" --advertiser Flashdeal --slogan "Only 10 minutes left" --kinds toast,centre \
    --grab --count 1 --lifetime 40000 --exit-after 60
wait_in "$out/ads5.log" '^admaker\[Flashdeal\]: centre closed by another program' 10 || true
wait_for '^callback: OnBlockingRecord status=3 .*"Flashdeal - toast"' 10 || true
flash_centre=$(ad_handle "$out/ads5.log" Flashdeal centre)
flash_toast=$(ad_handle "$out/ads5.log" Flashdeal toast)
sleep 1.2 # a held hat would be on screen by now
look scene
screenshot 06-focus-scene "During the meeting (full screen): Flashdeal's window that took the foreground was closed; its toast has no hat yet."
say "   the meeting ends; a click elsewhere has the scene judged over"
stop_program meeting
send "point Word count"
wait_for '^host: pointer at .* over "Word count"' 5 || true
send click
wait_for_hat "Flashdeal - toast" 10 || true
look after-scene
screenshot 07-after-the-meeting "The meeting is over: the hat held back during it now sits over Flashdeal's toast."
stored2=$(stored_counter)

say "checks"
check "the editor's windows had no hat and no record while the hats were shown" ordinary_left_alone hats
check "hats were shown over both advertisers' toasts" eval 'hat_over hats "Sunmart - toast" && hat_over hats "Nimbus Games - toast"'
check "clicking Block hid the Sunmart toast at once (window ${clicked_toast:-?} hidden)" window_is after-block "${clicked_toast:-none}" hidden
check "  ... counted (record blocks=1, counter 1)" eval 'grep -qE "^callback: OnBlockingRecord status=2 .*blocks=1 .*\"Sunmart - toast\"" "$log1" && counter_is "$log1" 1'
check "Sunmart's next toast was hidden as it opened (window ${next_toast:-?} hidden, blocks=2)" \
    eval '[ "$next_toast" != "$clicked_toast" ] && window_is next-toast "${next_toast:-none}" hidden && counter_is "$log1" 2'
check "the records listed Sunmart's toast as blocked" grep -qE '^  record status=1 .*"Sunmart - toast" / ' <<<"$listing"
check "the records listed Nimbus Games' toast as not blocked" grep -qE '^  record status=3 .*"Nimbus Games - toast" / ' <<<"$listing"
check "the registry kept the counter at the first run's end (BlockedTimes ${stored1:-absent}, counter ${counter1:-?})" \
    test "${stored1:--1}" = "${counter1:-}"
check "the new host started from the stored counter (${counter2:-?})" test "${counter2:--2}" = "${stored1:--1}"
check "after the restart Sunmart's new toast was hidden at once (window ${restart_toast:-?}) and counted ($((${counter1:-0} + 1)))" \
    eval 'window_is restart "${restart_toast:-none}" hidden && counter_is "$out/host-2.log" $((${counter1:-0} + 1))'
check "powerful mode hid every pop-up on screen and offered no hat" \
    eval '! grep -qE "^host: window 0x[0-9a-f]+ visible \"(Orbit Travel|Nimbus Games|Sunmart) - " "$out/look-powerful.txt" && grep -qE "^host: 0 hats on screen" "$out/look-powerful.txt" && grep -qE "^host: window 0x[0-9a-f]+ hidden \"Orbit Travel - centre\"" "$out/look-powerful.txt"'
check "powerful mode left the editor's windows alone" ordinary_left_alone powerful
check "the capture overlay stayed above the hats" \
    eval 'grep -qE "^host: hat [0-9]+ .* over \"Zestify - " "$out/look-overlay.txt" && grep -qE "^host: the capture overlay is open, 0 of the hats above it\$" "$out/look-overlay.txt"'
check "the overlay told the assistant when it opened, and when it closed" \
    eval 'grep -qE "received kind=send .*code=0x2A8400C8" "$hostlog" && grep -qE "received kind=post .*code=0x2A8400C9" "$hostlog"'
check "the window picked in the overlay was blocked, counted and hidden (window ${zestify_centre:-?})" \
    eval 'grep -qE "^callback: OnBlockingRecord status=2 .*\"Zestify - centre\"" "$hostlog" && window_is picked "${zestify_centre:-none}" hidden'
check "during the meeting the pop-up that took the foreground was closed (window ${flash_centre:-?} gone)" window_is scene "${flash_centre:-none}" gone
check "  ... and the toast got its record but no hat" \
    eval 'window_is scene "${flash_toast:-none}" visible && no_hat_over scene "Flashdeal - toast" && grep -qE "^callback: OnBlockingRecord status=3 .*\"Flashdeal - toast\"" "$hostlog"'
check "after the meeting the held hat appeared over the toast" hat_over after-scene "Flashdeal - toast"
check "the editor's windows were left alone through the meeting" ordinary_left_alone after-scene
check "the registry holds the counter after the second run (BlockedTimes ${stored2:-absent})" \
    test "${stored2:--1}" = "$(last_counter "$hostlog")"
say "transcript: $transcript (the host's: $log1, $hostlog); screenshots in $out"
say "scenario took $((SECONDS - started)) s"
bash scripts/demo-page.sh "$out"
say "the page: $out/index.html"

if [ $interactive = 1 ]; then
    . scripts/demo-interactive.sh
fi
stop_host >/dev/null
if [ $failures -gt 0 ]; then
    say "$failures check(s) did not hold"
    exit 1
fi
say "all checks hold"
