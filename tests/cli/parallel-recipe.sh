#!/bin/sh
# Runs the README's "More files than one machine" recipe over 1,000 generated
# files and checks that the outputs and the combined per-file results are
# those of one single batch over the same files.
# Usage: parallel-recipe.sh README.md FOLDER-OF-TAVISK-CLI
set -eu
readme=$(realpath "$1")
PATH=$(realpath "$2"):$PATH
export PATH
for tool in parallel jq tavisk-cli; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (make deps installs it)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The first sh block of the section, as a reader would copy it.
awk '/^## More files than one machine/ { inSection = 1 }
     inSection && /^```sh/ { inBlock = 1; next }
     inBlock && /^```/ { exit }
     inBlock { print }' "$readme" > "$work/recipe.sh"
grep -q 'parallel' "$work/recipe.sh" || { echo "no recipe found in $readme"; exit 1; }

# The same 1,000 sources in two places: one for the recipe, one for one batch.
mkdir -p "$work/spread/src/a" "$work/spread/src/b"  # no out: the recipe makes it
i=0
while [ $i -lt 1000 ]; do
  case $((i % 4)) in
    0) printf 'colour %d\ncolour\r\n' $i ;;
    1) printf 'no match %d\n' $i ;;
    2) printf 'the colours\n' ;;
    *) printf '' ;;
  esac > "$work/spread/src/$([ $((i % 2)) = 1 ] && echo a/f || echo b/g)$i.txt"
  i=$((i + 1))
done
cp -r "$work/spread" "$work/single"

(cd "$work/spread" && sh "$work/recipe.sh" > verdict.json)
(cd "$work/single" && find src -type f -name '*.txt' -print0 > sources.list &&
  tavisk-cli --mkpath -0 -T sources.list -k --json -r response.txt -e 'g/colour/color/' out > results.jsonl || true)

status=0
diff -r -x 'response*' "$work/spread/out" "$work/single/out" || { echo "outputs differ"; status=1; }
[ "$(ls "$work/single/out" | wc -l)" -eq 1001 ] || { echo "the single batch did not write every file"; status=1; }
perFile() { cat "$1"/results*.jsonl | jq -c 'select(.type == "source")' | sort; }
[ "$(perFile "$work/spread" | wc -l)" -eq 1000 ] || { echo "expected 1,000 per-file results"; status=1; }
[ "$(perFile "$work/spread")" = "$(perFile "$work/single")" ] || { echo "per-file results differ"; status=1; }
single=$(jq -c 'select(.type == "verdict") | {errors, sources, written, verdict, exit}' "$work/single/results.jsonl")
[ "$(cat "$work/spread/verdict.json")" = "$single" ] || { echo "verdicts differ: $(cat "$work/spread/verdict.json") / $single"; status=1; }
[ "$(ls "$work/spread/out"/response-*.txt | wc -l)" -ge 2 ] || { echo "expected several jobs"; status=1; }
exit $status
