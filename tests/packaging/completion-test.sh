#!/bin/bash
# The shell completions of tavisk-cli: bash and fish complete option values
# and operands as a user types them, zsh loads its completion function, and
# every option that `tavisk-cli --help` lists is completed by all three.
#
#   completion-test.sh PACKAGING-FOLDER TAVISK-CLI
# Exit 77 (skipped) when a shell or bash-completion is not installed.
set -u
packaging=$1
cli=$2
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for shell in bash zsh fish; do
    command -v $shell >/dev/null || { echo "SKIP: $shell is not installed"; exit 77; }
done
bash_completion=/usr/share/bash-completion/bash_completion
[ -r $bash_completion ] || { echo "SKIP: bash-completion is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir folder
touch script.tvs notes.txt data.csv

# --- bash: each row is a command line as typed (the completion is asked at
# its end) and the sorted completions it must give; "nospace" rows must also
# keep the cursor after an "=".
bash_complete() {
    bash --norc -c '
        source "$1"; source "$2"
        nospace=
        compopt() { [[ $* == *"-o nospace"* ]] && nospace=" (nospace)"; }
        line=$3
        COMP_LINE=$line COMP_POINT=${#line}
        # readline splits words at blanks and at "=".
        read -ra COMP_WORDS <<<"${line//=/ = }"
        [[ $line == *[\ =] ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMPREPLY=()
        _tavisk_cli tavisk-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        words=$(printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd " ")
        echo "$words$nospace"' bash "$bash_completion" "$packaging/tavisk-cli.bash-completion" "$1"
}

while IFS='|' read -r line expected; do
    [ -z "$line" ] && continue
    got=$(bash_complete "$line")
    [ "$got" = "$expected" ] || fail "bash: '$line' gives '$got', expected '$expected'"
done <<'ROWS'
tavisk-cli --line-ends=|crlf keep lf
tavisk-cli --line-ends=k|keep
tavisk-cli --line-ends |crlf keep lf
tavisk-cli --color=|always auto never
tavisk-cli --color=a|always auto
tavisk-cli --color |always auto never
tavisk-cli --col|--color= (nospace)
tavisk-cli --line|--line-ends= (nospace)
tavisk-cli --mk|--mkpath
tavisk-cli -j |0 1 16 2 4 8
tavisk-cli |- folder notes.txt script.tvs
tavisk-cli sc|script.tvs
tavisk-cli script.tvs |folder
tavisk-cli -e te |folder
tavisk-cli -ete |folder
tavisk-cli --line-ends=keep --color=never script.tvs |folder
tavisk-cli --line-ends keep --color never script.tvs |folder
tavisk-cli -e te folder |data.csv folder notes.txt script.tvs
tavisk-cli --include |
ROWS

# --- fish: the same questions through fish's own completion engine.
fish_complete() {
    fish --no-config -c "source $packaging/tavisk-cli.fish; complete -C '$1'" |
        cut -f1 | LC_ALL=C sort | paste -sd ' '
}
while IFS='|' read -r line expected; do
    [ -z "$line" ] && continue
    got=$(fish_complete "$line")
    [ "$got" = "$expected" ] || fail "fish: '$line' gives '$got', expected '$expected'"
done <<'ROWS'
tavisk-cli --line-ends=|--line-ends=crlf --line-ends=keep --line-ends=lf
tavisk-cli --color=n|--color=never
tavisk-cli --color |always auto never
tavisk-cli --mk|--mkpath
ROWS
fish --no-execute "$packaging/tavisk-cli.fish" || fail "fish: tavisk-cli.fish does not parse"

# --- zsh: the file parses, and an interactive zsh completes as a user types.
zsh -n "$packaging/_tavisk-cli" || fail "zsh: _tavisk-cli does not parse"
zsh_complete() {
    timeout 60 zsh -f "$(dirname "$0")/zsh-complete.zsh" "$packaging" "$work" "$1" | paste -sd ' '
}
while IFS='|' read -r line expected; do
    [ -z "$line" ] && continue
    got=$(zsh_complete "$line")
    [ "$got" = "$expected" ] || fail "zsh: '$line' gives '$got', expected '$expected'"
done <<'ROWS'
tavisk-cli --line-ends=|crlf keep lf
tavisk-cli --color=|always auto never
tavisk-cli --mk|--mkpath
tavisk-cli -j |0 1 16 2 4 8
tavisk-cli |- folder notes.txt script.tvs
tavisk-cli -e te |- folder
tavisk-cli script.tvs |- folder
ROWS

# --- Every option of --help is completed by every shell.
help=$("$cli" --help) || { fail "tavisk-cli --help failed"; help=; }
long_options=$(grep -o -- '--[a-z][a-z0-9-]*' <<<"$help" | LC_ALL=C sort -u)
short_options=$(grep -oE '^ +-[[:alnum:]],' <<<"$help" | tr -d ' ,-' | LC_ALL=C sort -u)
[ -n "$long_options" ] && [ -n "$short_options" ] || fail "no options found in --help"
for option in $long_options; do
    grep -qE -- "(^|[ '])$option(=|[ ']|\$)" "$packaging/tavisk-cli.bash-completion" ||
        fail "bash does not complete $option"
    grep -qE -- "$option(\\[|=|\\+|\\}|,)" "$packaging/_tavisk-cli" || fail "zsh does not complete $option"
    grep -qE -- "-l ${option#--}( |\$)" "$packaging/tavisk-cli.fish" || fail "fish does not complete $option"
done
for option in $short_options; do
    grep -qE -- "(^|[ '])-$option( |\$)" "$packaging/tavisk-cli.bash-completion" ||
        fail "bash does not complete -$option"
    grep -qE -- "\\{-$option\\+?," "$packaging/_tavisk-cli" || fail "zsh does not complete -$option"
    grep -qE -- "-s $option " "$packaging/tavisk-cli.fish" || fail "fish does not complete -$option"
done

[ $failures -eq 0 ] && echo "all completions as expected"
[ $failures -eq 0 ]
