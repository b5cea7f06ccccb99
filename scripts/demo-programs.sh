# Sourced by scripts/demo.sh: the Windows programs it starts besides the host,
# each known by a name, its output in $out/<name>.log. Every program prints its
# Windows process id ("process N"; the ad maker also the second copy it starts),
# and is stopped by those ids only: nothing else of the same name in the session
# is touched.
#   start_program NAME EXE [ARGS...]   starts it in the background
#   stop_program NAME                  ends its processes by id and waits for them
#   stop_all_programs                  the same for every program still running
declare -A _demo_program_pids=()

start_program() {
    local name=$1
    shift
    "$ADW_WINE" "$@" >"$out/$name.log" 2>&1 &
    _demo_program_pids[$name]=$!
}

stop_program() {
    local name=$1 id
    [ -n "${_demo_program_pids[$name]:-}" ] || return 0
    for id in $(grep -oE '(^[a-z]+(\[[^]]*\])?: |as )process [0-9]+' "$out/$name.log" 2>/dev/null | grep -oE '[0-9]+$'); do
        "$ADW_WINE" taskkill /F /PID "$id" >/dev/null 2>&1 || true
    done
    local deadline=$((SECONDS + 10))
    while kill -0 "${_demo_program_pids[$name]}" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
    kill "${_demo_program_pids[$name]}" 2>/dev/null || true
    wait "${_demo_program_pids[$name]}" 2>/dev/null || true
    unset "_demo_program_pids[$name]"
}

stop_all_programs() {
    local name
    [ -n "${ADW_WINE:-}" ] && [ -n "${WINEPREFIX:-}" ] || return 0
    for name in "${!_demo_program_pids[@]}"; do
        stop_program "$name"
    done
}
