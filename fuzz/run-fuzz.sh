#!/usr/bin/env bash
# Runs each libFuzzer target for a while and fails on any finding.
#   fuzz/run-fuzz.sh BUILD-DIR [SECONDS-PER-TARGET [TARGET...]]
# The working corpus lives in BUILD-DIR/fuzz-corpus and grows from run to run;
# it starts from fuzz/corpus, fuzz/regressions and the examples.  Findings are
# written to BUILD-DIR/fuzz-findings; save each one under fuzz/regressions once
# it is fixed, so that the replay tests keep it fixed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:?usage: run-fuzz.sh BUILD-DIR [SECONDS]}" && pwd)
seconds=${2:-60}
shift $(( $# > 2 ? 2 : $# ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(parser engine lists glob)
findings=$build/fuzz-findings
mkdir -p "$findings"

seed_examples() {  # target corpus-dir
    local scripts=("$root"/examples/scripts/*) sources=("$root"/examples/sources/*)
    [ -e "${scripts[0]}" ] || return 0
    case $1 in
    parser) cp "${scripts[@]}" "$2"/ ;;
    engine)
        local script source
        for script in "${scripts[@]}"; do
            for source in "${sources[@]}"; do
                [ -e "$source" ] || continue
                { cat "$script"; printf '\0'; cat "$source"; } > "$2/example-$(basename "$script")-$(basename "$source")"
            done
        done ;;
    esac
}

status=0
total_runs=0
for target in "${targets[@]}"; do
    corpus=$build/fuzz-corpus/$target
    mkdir -p "$corpus"
    seed_examples "$target" "$corpus"
    log=$build/fuzz-$target.log
    # The glob matcher must answer at once whatever the pattern: a slow
    # input is a finding, not a long wait.
    timeout=20 max_len=8192
    [ "$target" = glob ] && timeout=2 max_len=256
    echo "== fuzz_$target for ${seconds}s"
    set +e
    "$build/fuzz/fuzz_$target" "$corpus" "$here/corpus/$target" "$here/regressions/$target" \
        -max_total_time="$seconds" -timeout=$timeout -rss_limit_mb=4096 -max_len=$max_len \
        -print_final_stats=1 -artifact_prefix="$findings/$target-" >"$log" 2>&1
    result=$?
    set -e
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    echo "   executions: ${runs:-?} ($(( ${runs:-0} / (seconds > 0 ? seconds : 1) ))/s)  corpus: $(ls "$corpus" | wc -l) inputs  (log: $log)"
    total_runs=$((total_runs + ${runs:-0}))
    if [ $result -ne 0 ]; then
        status=1
        echo "   FINDING (exit $result):"
        grep -E 'ERROR|check failed|SUMMARY|Test unit written|timeout|out-of-memory' "$log" | head -20 | sed 's/^/   /'
    fi
done
echo "== total executions: $total_runs in $((${#targets[@]} * seconds))s"
exit $status
