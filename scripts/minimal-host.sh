#!/usr/bin/env bash
# The package as a host developer meets it: AdWarden installed into a staging
# folder, examples/minimal-host built against that folder with find_package
# alone, then run with the working engine while the ad maker opens pop-ups.
#
#   bash scripts/minimal-host.sh build   install build/mingw into build/stage and
#                                        build the sample into build/minimal-host
#   bash scripts/minimal-host.sh run     run it (in the test run's Wine session, else a
#                                        private one) until it has printed a record of
#                                        the ad maker's pop-up, then press its key;
#                                        fails when no record comes or it does not stop
# scripts/test.sh does the build; the run is the ctest case Package.MinimalHost.
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
stage=$root/build/stage
sample=$root/build/minimal-host
bin=$root/build/mingw/bin
say() { echo "minimal-host: $*"; }

build() {
    rm -rf "$stage"
    cmake --install build/mingw --prefix "$stage" >/dev/null
    # Only the package and the host's own UI library (here the stand-in's headers
    # and import library); nothing else of this build tree.
    cmake -S examples/minimal-host -B "$sample" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_PREFIX_PATH="$stage" \
        -DDUILIB_INCLUDE_DIR="$root/platform" -DDUILIB_LIBRARY="$root/build/mingw/lib/DuiLib.lib" >/dev/null
    cmake --build "$sample"
    say "built $sample/minimal-host.exe against $stage"
}

run() {
    [ -x "$sample/minimal-host.exe" ] || { say "not built: bash scripts/minimal-host.sh build"; return 1; }
    # The stand-ins of the host's libraries and of the engine are not part of
    # the package: they come from the build, placed where a host ships the real ones.
    local dll
    for dll in LogHelper KrFileUtil DuiLib IPCMessage qeevent; do
        cp "$bin/$dll.dll" "$sample/"
    done
    mkdir -p "$sample/vendor/360SafeOptSDK"
    cp "$bin/vendor/360SafeOptSDK/AdPopBlocker64.dll" "$sample/vendor/360SafeOptSDK/"

    . scripts/wine-session.sh
    # Globals: the exit trap reads them after this function has returned.
    own_session=0 host_pid="" maker_pid=""
    local out=$sample/run.log log=$sample/library.log input=$sample/run.in
    cleanup() {
        exec 8>&- 2>/dev/null || true
        [ -n "$maker_pid" ] && kill "$maker_pid" 2>/dev/null
        [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
        [ $own_session = 1 ] && adw_session_stop
        return 0
    }
    trap cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    if [ -z "${ADW_SESSION:-}" ]; then
        own_session=1
        adw_session_start "$root/build/wineprefix"
    fi
    wait_for() { # pattern, seconds
        local deadline=$((SECONDS + $2))
        until grep -qE -- "$1" "$out"; do
            [ $SECONDS -ge $deadline ] && { say "gave up waiting for: $1"; return 1; }
            sleep 0.2
        done
    }
    rm -f "$log" "$input"
    : >"$out"
    mkfifo "$input"
    # The engine stand-in watches the desktop only when this is set in the loading process.
    ADPOP_ENGINE_MODE=working KRLOG_FILE="Z:${log//\//\\}" "$ADW_WINE" "$sample/minimal-host.exe" <"$input" >"$out" 2>&1 &
    host_pid=$!
    exec 8>"$input"
    local ok=1
    if wait_for '^Init -> 0' 30; then
        "$ADW_WINE" "$bin/AdMaker.exe" --advertiser "Sample Host" --kinds toast --count 10 --interval 1000 \
            --lifetime 900 --exit-after 20 >"$sample/admaker.log" 2>&1 &
        maker_pid=$!
        wait_for '^OnBlockingRecord record .*"Sample Host - toast"' 20 || ok=0
    else
        ok=0
    fi
    echo >&8 # the key
    exec 8>&-
    local deadline=$((SECONDS + 20)) rc=0
    while kill -0 "$host_pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
    if kill -0 "$host_pid" 2>/dev/null; then
        say "did not stop within 20 s of its key"
        ok=0
    else
        wait "$host_pid" || rc=$?
        host_pid=""
        [ $rc = 0 ] || { say "exit code $rc"; ok=0; }
    fi
    sed 's/^/    sample| /' "$out"
    grep -q '^minimal-host: stopped' "$out" || { say "no orderly stop"; ok=0; }
    # The library's first line at Init names its version.
    local version
    version=$(sed -n 's/^#define ADWARDEN_VERSION_STRING "\(.*\)"$/\1/p' "$stage/include/AdWardenVersion.h")
    grep -q "AdWarden version ${version}(KelvaneCenter::AdWarden::Init)" "$log" ||
        { say "no version line \"AdWarden version ${version}\" in $log"; ok=0; }
    [ $ok = 1 ] || return 1
    say "OK: records printed, stopped with exit code 0, version ${version} logged at Init"
}

case "${1:-}" in
build) build ;;
run) run ;;
*) echo "usage: bash scripts/minimal-host.sh build|run" >&2; exit 2 ;;
esac
