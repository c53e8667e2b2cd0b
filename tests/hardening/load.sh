#!/usr/bin/env bash
# Load runs, not part of the tests: a batch of 100,000 small files and a
# single 5 GB source, each run to the end with tavisk-cli.  Prints the time
# and peak memory of every run and checks the response lines and outputs.
#   tests/hardening/load.sh [PATH-TO-tavisk-cli] [WORK-FOLDER]
# WORK-FOLDER needs about 11 GB free (default: a new folder under /var/tmp).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=$(realpath "${1:-$here/../../build/src/cli/tavisk-cli}")
[ -x "$cli" ] || { echo "tavisk-cli not found at $cli" >&2; exit 1; }
work=$(mktemp -d "${2:-/var/tmp}/tavisk-load-XXXXXX")
trap 'rm -rf "$work"' EXIT
files=${LOAD_FILES:-100000}
big_bytes=${LOAD_BIG_BYTES:-5368709120}
failed=0

check() {  # description, condition...
    local what=$1; shift
    if "$@"; then echo "   ok: $what"; else echo "   FAILED: $what"; failed=1; fi
}

# Runs tavisk-cli with the given arguments; sets $status, $seconds and $peak_mb.
run_cli() {
    local stats=$work/time.txt
    set +e
    /usr/bin/time -f '%e %M' -o "$stats" "$cli" "$@" >"$work/stdout" 2>"$work/stderr"
    status=$?
    set -e
    read -r seconds peak_kb < <(tail -1 "$stats")
    peak_mb=$((peak_kb / 1024))
    echo "   exit $status, ${seconds}s, peak RSS ${peak_mb} MB"
}

echo "== $files small files in one batch"
mkdir "$work/src" "$work/out"
python3 - "$work/src" "$files" <<'EOF'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    text = "nothing to replace\n" if i == count // 2 else f"file {i}\nold value\nlast line\n"
    with open(os.path.join(folder, f"f{i:06d}"), "w") as f:
        f.write(text)
EOF
# The names alone fill most of the default 2 MB of arguments: allow more.
ulimit -s 65536
(cd "$work/src" && run_cli -e 'r/old/new/,te' ../out f* && echo "$status" > "$work/batch-status")
status=$(cat "$work/batch-status")
check "exit status 1 (one file lacks the text)" test "$status" = 1
check "one header per file, one message, the verdict" test "$(wc -l < "$work/stdout")" = $((files + 2))
check "the message follows its file" \
    test "$(grep -A1 "^f$(printf '%06d' $((files / 2)))\$" "$work/stdout" | tail -1)" = "$(printf '\tRun past end of file performing r/old/new/,')"
check "verdict last" test "$(tail -1 "$work/stdout")" = "**** Errors during Processing"
check "headers in order" cmp -s <(grep -v $'^[\t*]' "$work/stdout") <(cd "$work/src" && ls f* | sort)
check "every output written" test "$(ls "$work/out" | wc -l)" = "$files"
check "a sample output" cmp -s "$work/out/f000007" <(printf 'file 7\r\nnew value\r\nlast line\r\n')
check "the odd one copied whole" cmp -s "$work/out/f$(printf '%06d' $((files / 2)))" <(printf 'nothing to replace\r\n')
wrong=$(cd "$work/out" && grep -L 'new value' f* | wc -l)
check "every other output replaced" test "$wrong" = 1
rm -rf "$work/src" "$work/out"

echo "== one source of $big_bytes bytes"
mkdir "$work/src" "$work/out"
{ yes 'the quick brown fox jumps over the lazy dog, 0123456789, a needle in the haystack, and more' || true; } |
    head -c "$big_bytes" > "$work/src/big.txt"
lines=$(wc -l < "$work/src/big.txt")
needles=$(grep -c needle "$work/src/big.txt")
extra=$lines  # one CR for every LF, and a CR LF for a last line without LF
[ "$(tail -c 1 "$work/src/big.txt" | od -An -c | tr -d ' ')" = '\n' ] || extra=$((lines + 2))
echo "   $lines line feeds, $needles lines with a needle"

run_cli -e te "$work/out" "$work/src/big.txt"
check "exit status 0" test "$status" = 0
check "response lines" cmp -s "$work/stdout" <(printf 'big.txt\n Batch Completed without Errors\n')
check "every byte copied, a CR before every LF" \
    test "$(stat -c %s "$work/out/big.txt")" = $((big_bytes + extra))
check "the copy's last line" cmp -s <(tail -c 40 "$work/out/big.txt") <(tail -c 38 "$work/src/big.txt"; printf '\r\n')
check "peak RSS below 64 MB" test "$peak_mb" -lt 64

run_cli -e 'g/needle/NEEDLE/' "$work/out" "$work/src/big.txt"
check "exit status 0" test "$status" = 0
check "replacement count" test "$(sed -n 2p "$work/stdout")" = "$(printf '\tg/needle/NEEDLE/ caused %d, Replacements' "$needles")"
check "no needle left" test "$(grep -c needle "$work/out/big.txt" || true)" = 0
check "peak RSS below 64 MB" test "$peak_mb" -lt 64

exit $failed
