# Sourced by scripts/demo.sh --interactive once the checks are done: the host
# keeps running on the private display, served over VNC on localhost with a
# password, and what the person types at the prompt goes to the host. A few
# words are the demo's own (help, meeting, ads, quit). Ctrl-C, quit or the end of
# the input end it; scripts/demo.sh's clean-up then stops what was started, each
# by its process id, and the session with every Wine process in it.

guide() {
    cat <<'GUIDE'
what you see and how to make it happen (type these at the prompt):
  a pop-up with a hat    ads                     (Orbit Travel opens a toast, a centre window and a bubble)
                         hats                    lists the hats and the ad window under each
  block it now           click-block Orbit Travel - toast   (or click "Block" in the VNC viewer)
  leave it alone         click "Ignore" on the hat
  the records, counter   list
  powerful mode          power on, then power off and blocking on   (every pop-up goes; the editor's windows stay)
  pick a window          capture, then point Orbit Travel - centre and click (or use the VNC viewer)
  a focus scene          gates on, focus on, meeting (a full-screen meeting starts and is judged),
                         ads (the pop-ups get no hat meanwhile; a window that takes the foreground is closed),
                         meeting stop (the meeting ends, a click elsewhere ends the scene: the held hats appear)
  what the library says  log 30
  the windows            windows                 (visible or hidden, by handle)
  end                    quit or Ctrl-C
GUIDE
}

ads_round=0
start_ads() {
    ads_round=$((ads_round + 1))
    stop_program "more-ads-$((ads_round - 1))"
    start_program "more-ads-$ads_round" "$bin/AdMaker.exe" --advertiser "Orbit Travel" --kinds toast,centre,bubble \
        --grab --count 20 --interval 8000 --lifetime 7500 --exit-after 600
}

start_meeting() {
    stop_program meeting
    start_program meeting "$bin/meeting.exe" --exit-after 600
    wait_in "$out/meeting.log" '^meeting: full screen ' 10 && {
        send "point Weekly sync - Meeting"
        sleep 0.5
        send click
    }
}

stop_meeting() {
    stop_program meeting
    send "point Word count"
    sleep 0.5
    send click
}

stop_program desk
start_program desk "$bin/DeskApp.exe" --exit-after 600
start_ads
port=5900
while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do
    port=$((port + 1))
done
# VNC passwords are at most 8 characters.
password=$(head -c 64 /dev/urandom | tr -dc 'a-zA-Z0-9' | head -c 8)
x11vnc -storepasswd "$password" "$out/vnc.pass" >/dev/null 2>&1
x11vnc -display "$DISPLAY" -localhost -forever -shared -rfbauth "$out/vnc.pass" -rfbport "$port" \
    -o "$out/x11vnc.log" >/dev/null 2>&1 &
vnc_pid=$!
say "the host keeps running on display $DISPLAY, served over VNC at localhost:$port, password $password"
say "  from another machine: ssh -L $port:localhost:$port <this machine>, then a VNC viewer to localhost:$port"
guide
tail -n 0 -f "$hostlog" &
tail_pid=$!
while IFS= read -r -e -p "adwarden> " line; do
    case "$line" in
    help) guide; send help ;;
    ads) start_ads ;;
    meeting) start_meeting ;;
    "meeting stop") stop_meeting ;;
    quit) break ;;
    *) send "$line" ;;
    esac
    sleep 0.3 # the host's answer before the next prompt
done
kill "$tail_pid" 2>/dev/null || true
wait "$tail_pid" 2>/dev/null || true
tail_pid=""
