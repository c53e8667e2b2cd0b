#!/usr/bin/env bash
# Debug mode of the desktop program on large files, under a real X server:
# a 5 MB and a 50 MB source (goals: shown whole within 2 s and 15 s, peak
# memory under ten times the text), and "Done" answered Yes in the middle of
# the 50 MB run (goal: stopped within a second), with a script of one command
# for the whole file and with one of a command per line.
#
#   bench/debug-window.sh [BUILD-DIR] [SIZES-IN-MB...]     (default: 5 50)
#
# Without $DISPLAY it starts its own X server with xvfb-run.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-build}
[[ $BUILD = /* ]] || BUILD=$ROOT/$BUILD
shift || true
SIZES=("$@")
[[ ${#SIZES[@]} -gt 0 ]] || SIZES=(5 50)

GEN=$BUILD/bench/tavisk-benchgen
RUN=$BUILD/bench/tavisk-bench-debug
for tool in "$GEN" "$RUN"; do
    [[ -x $tool ]] || { echo "missing $tool: build $BUILD first (with the desktop program)" >&2; exit 1; }
done
if [[ -z ${DISPLAY:-} && ${DEBUG_BENCH_IN_XVFB:-0} != 1 ]]; then
    export DEBUG_BENCH_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$BUILD" "${SIZES[@]}"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-debug-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=xcb
last=
for mb in "${SIZES[@]}"; do
    mkdir "$work/$mb"
    "$GEN" "$work/$mb" --big-mb "$mb" --small-count 0 --long-lines 0 > /dev/null
    echo "=== debug run, $mb MB source"
    "$RUN" "$work/$mb/big-crlf.txt"
    last=$work/$mb/big-crlf.txt
done
echo "=== Done answered Yes one second into a debug run of the last file (one command: te)"
"$RUN" "$last" --stop-after 1000
echo "=== the same with one command per line: (t1)2000000"
"$RUN" "$last" --stop-after 1000 --script "(t1)2000000"
