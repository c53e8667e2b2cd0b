#!/bin/bash
# The manual pages: they format without a single groff warning, carry the
# program's version, tavisk-cli(1) describes every option of `tavisk-cli --help`,
# and its OUTPUT section names every start complaint the README lists.
#
#   manpage-test.sh SOURCE-FOLDER TAVISK-CLI
set -u
source_dir=$1
cli=$2
packaging=$source_dir/packaging
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The text as a reader sees it, on one line with single spaces.
rendered() { groff -man -Tutf8 -P-c "$1" 2>/dev/null | col -bx | tr -s ' \n' '  '; }

version=$(sed -n 's/^project(Tavisk VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
[ -n "$version" ] || fail "no project version in CMakeLists.txt"

for page in "$packaging"/*.1; do
    warnings=$(groff -ww -man -Tutf8 "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$(basename "$page"): groff says: $warnings"
    grep -q "^\.TH .* \"Tavisk $version\"" "$page" || fail "$(basename "$page"): .TH does not name Tavisk $version"
done

manual=$(rendered "$packaging/tavisk-cli.1")
help=$("$cli" --help) || fail "tavisk-cli --help failed"
for option in $(grep -o -- '--[a-z][a-z0-9-]*' <<<"$help" | LC_ALL=C sort -u); do
    grep -qF -- "$option" <<<"$manual" || fail "tavisk-cli.1 does not describe $option"
done

# The README's complaints are the quoted texts of its "Refused at start" item.
output_section=$(sed -n 's/.* OUTPUT \(.*\) JSON LINES .*/\1/p' <<<"$manual")
complaints=$(sed -n '/\*\*Refused at start\.\*\*/,/^- /p' "$source_dir/README.md" |
    tr -s ' \n' '  ' | grep -o '"[^"]*"' | tr -d '"')
[ "$(grep -c . <<<"$complaints")" -ge 6 ] || fail "fewer than six complaints found in the README"
while IFS= read -r complaint; do
    grep -qF -- "$complaint" <<<"$output_section" || fail "OUTPUT of tavisk-cli.1 does not list \"$complaint\""
done <<<"$complaints"

[ $failures -eq 0 ] && echo "manual pages as expected"
[ $failures -eq 0 ]
