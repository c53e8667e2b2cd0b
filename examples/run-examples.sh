#!/usr/bin/env bash
# Runs every example control file over the example sources with tavisk-cli and
# shows the response lines and the edited files.
#   examples/run-examples.sh [PATH-TO-tavisk-cli]
set -u
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/src/cli/tavisk-cli}
[ -x "$cli" ] || { echo "tavisk-cli not found at $cli (build it with 'make build')" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for script in "$here"/scripts/*.tvs; do
    echo "=== $(basename "$script")"
    sed 's/^/    | /' "$script"
    "$cli" "$script" "$out" "$here"/sources/*
    echo "    (exit status $?)"
    for file in "$out"/*; do
        [ -f "$file" ] || continue
        echo "--- $(basename "$file")"
        tr -d '\r' < "$file"
    done
    rm -f "$out"/*
    echo
done
