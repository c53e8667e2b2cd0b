#!/usr/bin/env bash
# Starts the desktop program of a build folder.  Without a display it says so
# and runs the example batch with tavisk-cli instead.
#   tools/run-desktop.sh [BUILD-FOLDER]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
program=$build/src/ui/tavisk
cli=$build/src/cli/tavisk-cli

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    [ -x "$program" ] || { echo "tavisk not found at $program (build it with 'make build')" >&2; exit 1; }
    exec "$program"
fi

echo "No display: neither \$DISPLAY nor \$WAYLAND_DISPLAY is set, so the desktop program cannot start."
echo "Running the example batch with tavisk-cli instead."
echo
[ -x "$cli" ] || { echo "tavisk-cli not found at $cli (build it with 'make build')" >&2; exit 1; }
if [ -f "$root/examples/run-examples.sh" ] && [ -d "$root/examples/scripts" ]; then
    exec bash "$root/examples/run-examples.sh" "$cli"
fi

# No examples in this tree: a tiny batch of our own.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in" "$work/out"
printf 'The colour of the sky.\r\nNo change here.\r\nA colour again.\r\n' > "$work/in/sample.txt"
printf '// Replace every "colour" in the whole file.\r\ng/colour/color/\r\n' > "$work/replace.tvs"
echo "=== replace.tvs"
sed 's/^/    | /' "$work/replace.tvs" | tr -d '\r'
status=0
"$cli" "$work/replace.tvs" "$work/out" "$work/in/sample.txt" || status=$?
echo "    (exit status $status)"
echo "--- sample.txt"
tr -d '\r' < "$work/out/sample.txt"
exit "$status"
