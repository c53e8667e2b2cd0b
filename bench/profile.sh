#!/usr/bin/env bash
# Where tavisk-cli spends its time on the benchmark's global replace and copy.
#
#   bench/profile.sh [BUILD-DIR]
#
# Generates the large test file (LF and CR LF) and, for each of
# g/old/new/ and te on each of them, prints:
#   - perf's flat profile (software clock: works without hardware counters),
#     own time per function, kernel included (needs perf: linux-perf);
#   - with PROFILE_CALLGRIND=1, callgrind's instruction counts per function
#     on the first 20 MB (needs valgrind), exact and free of noise.
# Environment: PROFILE_MB (default 200), PROFILE_TOP (lines shown, default 20),
# PROFILE_CASES (regex over "replace-lf replace-crlf copy-lf copy-crlf").
# Symbols are nicer in a build configured with -DCMAKE_CXX_FLAGS=-g (same code).
set -euo pipefail
export LC_ALL=C
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-build}
[[ $BUILD = /* ]] || BUILD=$ROOT/$BUILD
MB=${PROFILE_MB:-200}
TOP=${PROFILE_TOP:-20}
CASES_RE=${PROFILE_CASES:-.}

need=()
command -v perf >/dev/null || need+=(linux-perf)
[[ ${PROFILE_CALLGRIND:-0} = 0 ]] || command -v valgrind >/dev/null || need+=(valgrind)
if ((${#need[@]})); then
    sudo=(); [[ $(id -u) = 0 ]] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${need[@]}" >/dev/null
fi

[[ -f $BUILD/CMakeCache.txt ]] ||
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVISK_GUI=OFF >/dev/null
cmake --build "$BUILD" --target tavisk-cli tavisk-benchgen >/dev/null
CLI=$BUILD/src/cli/tavisk-cli

base=/tmp; [[ -d /dev/shm && -w /dev/shm ]] && base=/dev/shm
W=$(mktemp -d "$base/tavisk-profile.XXXXXX")
trap 'rm -rf "$W"' EXIT
mkdir -p "$W/small" "$W/out"
"$BUILD/bench/tavisk-benchgen" "$W" --big-mb "$MB" --small-count 0 --long-lines 0 >/dev/null
head -c 20000000 "$W/big-lf.txt" >"$W/cg-lf.txt"
head -c 20300000 "$W/big-crlf.txt" >"$W/cg-crlf.txt"

for job in "replace-lf g/old/new/ lf" "replace-crlf g/old/new/ crlf" "copy-lf te lf" "copy-crlf te crlf"; do
    read -r name script ending <<<"$job"
    [[ $name =~ $CASES_RE ]] || continue
    echo "=== $name: tavisk-cli -q -e '$script' on ${MB} MB ($ending)"
    perf record -q -e cpu-clock -F 9999 -o "$W/perf.data" \
        "$CLI" -q -e "$script" "$W/out" "$W/big-$ending.txt" 2>/dev/null
    perf report -i "$W/perf.data" --no-children --sort dso,sym --stdio 2>/dev/null |
        grep -v -e '^#' -e '^$' | head -n "$TOP" || true
    rm -f "$W/out/"*
    if [[ ${PROFILE_CALLGRIND:-0} != 0 ]]; then
        echo "--- callgrind, instructions on the first 20 MB"
        valgrind --tool=callgrind --callgrind-out-file="$W/cg.out" \
            "$CLI" -q -e "$script" "$W/out" "$W/cg-$ending.txt" 2>&1 | grep -E 'Collected' || true
        callgrind_annotate --inclusive=no "$W/cg.out" 2>/dev/null |
            grep -E '^ *[0-9,]+ \(' | head -n "$TOP" | sed -E 's/\[[^]]*\]$//; s/std::basic_string_view<char, std::char_traits<char> >/string_view/g' || true
        rm -f "$W/out/"*
    fi
    echo
done
