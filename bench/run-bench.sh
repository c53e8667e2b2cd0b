#!/usr/bin/env bash
# Throughput benchmark: tavisk-cli against the standard text tools.
#
#   bench/run-bench.sh [BUILD-DIR]          (what `make bench` runs)
#
# Every tool does the same work on the same data and its output is compared
# byte for byte with tavisk-cli's.  The table gives, per case and tool, the
# median wall time of the runs, the median CPU time (user + system), the
# throughput, the speed relative to the fastest peer and the peak memory.
# The raw numbers come from tavisk-benchrun (wait4: wall clock, user and
# system time, ru_maxrss, which is what /usr/bin/time prints as %M).
#
# Environment:
#   BENCH_QUICK=1         small data and 3 runs: a fast try (about a minute)
#   BENCH_BIG_MB=N        size of the large file in MB (default 200; quick 20)
#   BENCH_SMALL_COUNT=N   number of small files (default 2000; quick 200)
#   BENCH_LONG_MB=N       size of each of the ten long lines in MB (default 10; quick 1)
#   BENCH_FOUR_MB=N       size of each of the four files of the -j rows in MB (default 100; quick 10)
#   BENCH_TREE_FOLDERS=N  folders of the -R tree, 100 small files each (default 200; quick 20)
#   BENCH_HUGE_MB=N       size of the one file of the onebig rows in MB (default 1000; quick 100)
#   BENCH_RUNS=N          timed runs per tool and case (default 5; quick 3)
#   BENCH_CASES=REGEX     run only the cases whose name matches (e.g. 'replace|copy-lf')
#   BENCH_DIR=DIR         where the data and outputs go (default: a new folder
#                         under /dev/shm, else under TMPDIR); removed at the end
#   BENCH_KEEP=1          keep that folder
#   BENCH_RESULTS=FILE    also write the raw timings (TSV) to FILE
#
# Exit status: 0, or 1 when an output differed or tavisk-cli failed.
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-build}
[[ $BUILD = /* ]] || BUILD=$ROOT/$BUILD

if [[ ${BENCH_QUICK:-0} != 0 ]]; then
    BIG_MB=${BENCH_BIG_MB:-20}; SMALL_COUNT=${BENCH_SMALL_COUNT:-200}
    LONG_MB=${BENCH_LONG_MB:-1}; RUNS=${BENCH_RUNS:-3}
    FOUR_MB=${BENCH_FOUR_MB:-10}; TREE_FOLDERS=${BENCH_TREE_FOLDERS:-20}
    HUGE_MB=${BENCH_HUGE_MB:-100}
else
    BIG_MB=${BENCH_BIG_MB:-200}; SMALL_COUNT=${BENCH_SMALL_COUNT:-2000}
    LONG_MB=${BENCH_LONG_MB:-10}; RUNS=${BENCH_RUNS:-5}
    FOUR_MB=${BENCH_FOUR_MB:-100}; TREE_FOLDERS=${BENCH_TREE_FOLDERS:-200}
    HUGE_MB=${BENCH_HUGE_MB:-1000}
fi
LONG_LINES=10
CASES_RE=${BENCH_CASES:-.}

say() { printf '%s\n' "$*" >&2; }
loud() { printf '\n!!!!!!!! %s\n\n' "$*" >&2; }

# ---------------------------------------------------------------- tools
install_missing() {
    local need=()
    command -v gawk >/dev/null || need+=(gawk)
    command -v mawk >/dev/null || need+=(mawk)
    command -v perl >/dev/null || need+=(perl)
    sed --version 2>/dev/null | grep -q 'GNU sed' || need+=(sed)
    dd --version 2>/dev/null | grep -q coreutils || need+=(coreutils)
    command -v cmp >/dev/null && command -v diff >/dev/null || need+=(diffutils)
    ((${#need[@]})) || return 0
    say "Installing: ${need[*]}"
    local sudo=()
    [[ $(id -u) = 0 ]] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${need[@]}" >/dev/null
}
install_missing

if [[ ! -f $BUILD/CMakeCache.txt ]]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVISK_GUI=OFF >/dev/null
fi
cmake --build "$BUILD" --target tavisk-cli tavisk-benchgen tavisk-benchrun >/dev/null
CLI=$BUILD/src/cli/tavisk-cli
GEN=$BUILD/bench/tavisk-benchgen
TIMER=$BUILD/bench/tavisk-benchrun   # wall, user and system time, and ru_maxrss (as /usr/bin/time's %M)
grep -q 'CMAKE_BUILD_TYPE:STRING=Release' "$BUILD/CMakeCache.txt" ||
    loud "$BUILD is not a Release build: the numbers will not mean much"

TREE_REV=$(cd "$ROOT" && git describe --always --dirty 2>/dev/null || echo unknown)

# ---------------------------------------------------------------- data
need_mb=$((BIG_MB * 8 + LONG_MB * LONG_LINES * 4 + SMALL_COUNT * 20 / 1000 + FOUR_MB * 4 * 4 + TREE_FOLDERS * 8 + HUGE_MB * 4 + 64))
if [[ -n ${BENCH_DIR:-} ]]; then
    mkdir -p "$BENCH_DIR"
    W=$(mktemp -d "$BENCH_DIR/tavisk-bench.XXXXXX")
elif [[ -d /dev/shm && -w /dev/shm ]] &&
     (( $(df -Pm /dev/shm | awk 'NR==2{print $4}') > need_mb )); then
    W=$(mktemp -d /dev/shm/tavisk-bench.XXXXXX)
else
    W=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-bench.XXXXXX")
fi
cleanup() { [[ ${BENCH_KEEP:-0} != 0 ]] && say "Kept $W" || rm -rf "$W"; }
trap cleanup EXIT
free_mb=$(df -Pm "$W" | awk 'NR==2{print $4}')
((free_mb > need_mb)) || { say "Need about $need_mb MB free in $W, have $free_mb MB"; exit 1; }

D=$W/data; O=$W/out; R=$W/ref
mkdir -p "$D/small" "$O" "$R"
say "Data in $W ($(df -P "$W" | awk 'NR==2{print $1}')): ${BIG_MB} MB file (LF and CR LF), ${SMALL_COUNT} small files, ${LONG_LINES} lines of ${LONG_MB} MB"
"$GEN" "$D" --big-mb "$BIG_MB" --small-count "$SMALL_COUNT" --long-lines "$LONG_LINES" --long-mb "$LONG_MB" >"$W/stats"
declare -A BYTES LONGEST
while read -r name bytes _lines longest; do BYTES[$name]=$bytes; LONGEST[$name]=$longest; done <"$W/stats"
SMALL_FILES=("$D"/small/*)

# Four files cut from the large one, for the -j rows, and a tree of
# TREE_FOLDERS folders of 100 small files each, for -R.
mkdir -p "$D/four" "$D/tree"
for i in 1 2 3 4; do head -c "$((FOUR_MB * 1000000))" "$D/big-lf.txt" >"$D/four/part$i.txt"; echo >>"$D/four/part$i.txt"; done
FOUR_FILES=("$D"/four/*)
for ((f = 0; f < TREE_FOLDERS; f++)); do
    folder=$D/tree/$(printf 'd%03d' "$f"); mkdir -p "$folder"
    cp -t "$folder" "${SMALL_FILES[@]:$(((f * 10) % (${#SMALL_FILES[@]} - 99))):100}"
done
BYTES[four]=$(cat "${FOUR_FILES[@]}" | wc -c); LONGEST[four]=${LONGEST[big-lf.txt]}
# One file of HUGE_MB for the onebig rows: the large file over and over.
: >"$D/huge.txt"
while (($(stat -c %s "$D/huge.txt") < HUGE_MB * 1000000)); do cat "$D/big-lf.txt" >>"$D/huge.txt"; done
BYTES[huge.txt]=$(stat -c %s "$D/huge.txt"); LONGEST[huge.txt]=${LONGEST[big-lf.txt]}
BYTES[tree]=$(find "$D/tree" -type f -print0 | xargs -0 cat | wc -c); LONGEST[tree]=${LONGEST[small]}

# ---------------------------------------------------------------- the commands
# Every peer does the general work of tavisk-cli: one CR before LF is dropped,
# every line goes out with CR LF; the forms below are the fastest found for
# each tool (input ending with a line end, as all of the data here does).
SED_REPLACE=(sed -e 's/\r$//' -e 's/old/new/g' -e 's/$/\r/')
SED_COPY=(sed -e 's/\r$//' -e 's/$/\r/')
PERL_REPLACE=(perl -pe 's/old/new/g; s/\r?\n/\r\n/')
PERL_COPY=(perl -pe 's/\r?\n/\r\n/')
AWK_REPLACE='BEGIN { ORS = "\r\n" } /\r$/ { sub(/\r$/, "") } /old/ { gsub(/old/, "new") } 1'
AWK_REPLACE_RS='BEGIN { RS = "\r?\n"; ORS = "\r\n" } /old/ { gsub(/old/, "new") } 1'
AWK_COPY='BEGIN { ORS = "\r\n" } /\r$/ { sub(/\r$/, "") } 1'
AWK_COPY_RS='BEGIN { RS = "\r?\n"; ORS = "\r\n" } 1'
# Many files in one call: each output goes to the folder d under the source's name.
AWK_FILES='BEGIN { ORS = "\r\n" }
FNR == 1 { if (o != "") close(o); n = FILENAME; sub(/.*\//, "", n); o = d "/" n }
/\r$/ { sub(/\r$/, "") } /old/ { gsub(/old/, "new") } { print > o }'
AWK_FILES_RS='BEGIN { RS = "\r?\n"; ORS = "\r\n" }
FNR == 1 { if (o != "") close(o); n = FILENAME; sub(/.*\//, "", n); o = d "/" n }
/old/ { gsub(/old/, "new") } { print > o }'
PERL_FILES='$d = shift;
for $f (@ARGV) {
    ($n = $f) =~ s{.*/}{};
    open(I, "<", $f) or die "$f: $!"; open(O, ">", "$d/$n") or die "$d/$n: $!";
    while (<I>) { s/old/new/g; s/\r?\n/\r\n/; print O }
    close(O) or die "$d/$n: $!"; close(I);
}'

# The same work with --line-ends keep (sed's own behaviour) and --line-ends lf.
KEEP_SED_REPLACE=(sed -e 's/old/new/g')
KEEP_SED_COPY=(sed -e '')
KEEP_PERL_REPLACE=(perl -pe 's/old/new/g')
KEEP_PERL_COPY=(perl -pe '')
KEEP_AWK_REPLACE='/old/ { gsub(/old/, "new") } 1'
KEEP_AWK_COPY='1'
LF_SED_REPLACE=(sed -e 's/\r$//' -e 's/old/new/g')
LF_SED_COPY=(sed -e 's/\r$//')
LF_PERL_REPLACE=(perl -pe 's/old/new/g; s/\r?\n/\n/')
LF_PERL_COPY=(perl -pe 's/\r?\n/\n/')
LF_AWK_REPLACE='/\r$/ { sub(/\r$/, "") } /old/ { gsub(/old/, "new") } 1'
LF_AWK_REPLACE_RS='BEGIN { RS = "\r?\n" } /old/ { gsub(/old/, "new") } 1'
LF_AWK_COPY='/\r$/ { sub(/\r$/, "") } 1'
LF_AWK_COPY_RS='BEGIN { RS = "\r?\n" } 1'

# One mawk per xargs chunk over the tree; each output goes to d/RELATIVE/PATH
# (the folders are made first, as tavisk-cli -R makes them).
AWK_TREE='BEGIN { ORS = "\r\n" }
FNR == 1 { if (o != "") close(o); n = FILENAME; sub(/^\.\//, "", n); o = d "/" n }
/\r$/ { sub(/\r$/, "") } /old/ { gsub(/old/, "new") } { print > o }'
TREE_PEER='cd "$2" && find . -type d -print0 | (cd "$1" && xargs -0 mkdir -p) &&
find . -type f -print0 | xargs -0 mawk -v "d=$1" "$3"'

# Case table: NAME INPUT SCRIPT KIND [LINE-ENDS], KIND = big (one file), files
# (the small ones), jobs-files and jobs-four (-j 2 against -j 1), tree (-R),
# one-big (one file of HUGE_MB, -j 2 against -j 1) or keep-copy (against cp);
# LINE-ENDS the --line-ends style (default crlf).
CASES=(
    "replace-lf     big-lf.txt   g/old/new/ replace"
    "replace-crlf   big-crlf.txt g/old/new/ replace"
    "copy-lf        big-lf.txt   te         copy"
    "copy-crlf      big-crlf.txt te         copy"
    "small-files    small        g/old/new/ files"
    "long-replace   long.txt     g/old/new/ replace"
    "long-copy      long.txt     te         copy"
    "replace-keep   big-lf.txt   g/old/new/ replace keep"
    "copy-keep      big-crlf.txt te         copy    keep"
    "replace-lfends big-crlf.txt g/old/new/ replace lf"
    "copy-lfends    big-crlf.txt te         copy    lf"
    "jobs-small     small        g/old/new/ jobs-files"
    "jobs-four      four         g/old/new/ jobs-four"
    "tree           tree         g/old/new/ tree"
    "onebig-replace huge.txt     g/old/new/ one-big"
    "onebig-copy    huge.txt     te         one-big"
    "onebig-keep    huge.txt     te         keep-copy keep"
)

# Sets CMD (argv), IN (stdin or empty), OUTPUT (what to compare) and ROLE
# (tavisk, peer or floor) for tool $1 in the current case.
set_command() {
    local tool=$1 dir=$O/$1
    IN=$D/$INPUT; OUTPUT=$dir/out; ROLE=peer
    case $KIND/$tool in
    jobs-files/tavisk-*) ROLE=tavisk; IN=; OUTPUT=$dir; CMD=("$CLI" -q -j "${tool#tavisk-j}" -e "$SCRIPT" "$dir" "${SMALL_FILES[@]}") ;;
    jobs-four/tavisk-*) ROLE=tavisk; IN=; OUTPUT=$dir; CMD=("$CLI" -q -j "${tool#tavisk-j}" -e "$SCRIPT" "$dir" "${FOUR_FILES[@]}") ;;
    one-big/tavisk-*) ROLE=tavisk; IN=; OUTPUT=$dir/$INPUT; CMD=("$CLI" -q -j "${tool#tavisk-j}" -e "$SCRIPT" "$dir" "$D/$INPUT") ;;
    keep-copy/cp) ROLE=floor; IN=; OUTPUT=$dir/$INPUT; CMD=(cp "$D/$INPUT" "$dir/") ;;
    tree/tavisk-*) ROLE=tavisk; IN=; OUTPUT=$dir; CMD=("$CLI" -q -R -j "${tool#tavisk-j}" -e "$SCRIPT" "$dir" "$D/tree") ;;
    tree/find-mawk) IN=; OUTPUT=$dir; CMD=(sh -c "$TREE_PEER" sh "$dir" "$D/tree" "$AWK_TREE") ;;
    jobs-files/mawk) IN=; OUTPUT=$dir; CMD=(mawk -v "d=$dir" "$AWK_FILES" "${SMALL_FILES[@]}") ;;
    */tavisk-cli)
        ROLE=tavisk; IN=
        local ends=()
        [[ $ENDS = crlf ]] || ends=(--line-ends "$ENDS")
        if [[ $KIND = files ]]; then CMD=("$CLI" -q "${ends[@]}" -e "$SCRIPT" "$dir" "${SMALL_FILES[@]}"); OUTPUT=$dir
        else CMD=("$CLI" -q "${ends[@]}" -e "$SCRIPT" "$dir" "$D/$INPUT"); OUTPUT=$dir/$INPUT; fi ;;
    */sed|*/perl|*/gawk*|*/mawk*) [[ $ENDS = crlf ]] || { set_line_end_peer "$tool"; return; } ;;&
    replace/sed) CMD=("${SED_REPLACE[@]}") ;;
    replace/perl) CMD=("${PERL_REPLACE[@]}") ;;
    replace/gawk) CMD=(gawk "$AWK_REPLACE") ;;
    replace/gawk-RS) CMD=(gawk "$AWK_REPLACE_RS") ;;
    replace/mawk) CMD=(mawk "$AWK_REPLACE") ;;
    replace/mawk-RS) CMD=(mawk "$AWK_REPLACE_RS") ;;
    copy/sed) CMD=("${SED_COPY[@]}") ;;
    copy/perl) CMD=("${PERL_COPY[@]}") ;;
    copy/gawk) CMD=(gawk "$AWK_COPY") ;;
    copy/gawk-RS) CMD=(gawk "$AWK_COPY_RS") ;;
    copy/mawk) CMD=(mawk "$AWK_COPY") ;;
    copy/mawk-RS) CMD=(mawk "$AWK_COPY_RS") ;;
    copy/cat) ROLE=floor; CMD=(cat) ;;
    copy/dd) ROLE=floor; CMD=(dd bs=1M status=none) ;;
    files/*) IN=; OUTPUT=$dir ;;&
    files/sed) CMD=(sh -c 'd=$1; shift; cp -t "$d" "$@" && cd "$d" && exec sed -i -e "s/\r\$//" -e "s/old/new/g" -e "s/\$/\r/" -- *' \
                    sh "$dir" "${SMALL_FILES[@]}") ;;
    files/perl) CMD=(perl -e "$PERL_FILES" "$dir" "${SMALL_FILES[@]}") ;;
    files/gawk) CMD=(gawk -v "d=$dir" "$AWK_FILES" "${SMALL_FILES[@]}") ;;
    files/gawk-RS) CMD=(gawk -v "d=$dir" "$AWK_FILES_RS" "${SMALL_FILES[@]}") ;;
    files/mawk) CMD=(mawk -v "d=$dir" "$AWK_FILES" "${SMALL_FILES[@]}") ;;
    files/mawk-RS) CMD=(mawk -v "d=$dir" "$AWK_FILES_RS" "${SMALL_FILES[@]}") ;;
    files/cp) ROLE=floor; CMD=(cp -t "$dir" "${SMALL_FILES[@]}") ;;
    *) say "no command for $tool in $KIND"; exit 2 ;;
    esac
}

# Sets CMD for peer $1 of the current case when its line ends are not crlf.
set_line_end_peer() {
    local p=${ENDS^^}_
    local -n sed_cmd=${p}SED_${KIND^^} perl_cmd=${p}PERL_${KIND^^}
    local awk_var=${p}AWK_${KIND^^} awk_rs_var=${p}AWK_${KIND^^}_RS
    [[ -v $awk_rs_var ]] || awk_rs_var=$awk_var  # kept line ends need no record separator
    case $1 in
    sed) CMD=("${sed_cmd[@]}") ;;
    perl) CMD=("${perl_cmd[@]}") ;;
    gawk|mawk) CMD=("$1" "${!awk_var}") ;;
    gawk-RS|mawk-RS) CMD=("${1%-RS}" "${!awk_rs_var}") ;;
    *) say "no command for $1 in $KIND with $ENDS line ends"; exit 2 ;;
    esac
}

tools_for() {
    case $1 in
    replace) echo tavisk-cli sed perl gawk gawk-RS mawk mawk-RS ;;
    copy) echo tavisk-cli sed perl gawk gawk-RS mawk mawk-RS cat dd ;;
    files) echo tavisk-cli sed perl gawk gawk-RS mawk mawk-RS cp ;;
    jobs-files) echo tavisk-j1 tavisk-j2 mawk ;;
    jobs-four) echo tavisk-j1 tavisk-j2 ;;
    tree) echo tavisk-j1 tavisk-j2 find-mawk ;;
    one-big) echo tavisk-j1 tavisk-j2 ;;
    keep-copy) echo tavisk-cli cp ;;
    esac
}

# Runs the current command once; appends "case tool run wall cpu rss status" to $RESULTS.
RESULTS=$W/results.tsv
: >"$RESULTS"
run_once() {
    local tool=$1 run=$2 wall user sys rss status
    rm -rf "$O/$tool"; mkdir -p "$O/$tool"
    set_command "$tool"
    local redirect=()
    [[ -n $IN ]] && redirect=(--in "$IN" --out "$OUTPUT")
    read -r wall user sys rss status < <("$TIMER" "${redirect[@]}" -- "${CMD[@]}")
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$CASE" "$tool" "$run" "$wall" \
        "$(awk -v u="$user" -v s="$sys" 'BEGIN{printf "%.6f", u + s}')" "$rss" "$status" "$sys" >>"$RESULTS"
    if [[ $status != 0 ]]; then
        loud "$CASE: $tool exited with status $status"
        FAILED=1
    fi
}

# Compares the current output with tavisk-cli's; records ok / MISMATCH / n/a.
declare -A CHECK
check_output() {
    local tool=$1 ref=$R/$CASE
    [[ $tool = "$REFERENCE" ]] && { CHECK[$CASE/$tool]=reference; return; }
    set_command "$tool"
    local same
    if [[ -d $OUTPUT ]]; then diff -rq "$OUTPUT" "$ref" >/dev/null && same=1 || same=0
    else cmp -s "$OUTPUT" "$ref" && same=1 || same=0; fi
    if ((same)); then CHECK[$CASE/$tool]=ok
    elif [[ $ROLE = floor ]]; then CHECK[$CASE/$tool]=n/a   # a plain copy keeps LF line ends
    else
        CHECK[$CASE/$tool]=MISMATCH
        local first
        if [[ -d $OUTPUT ]]; then first=$(diff -rq "$OUTPUT" "$ref" 2>&1 | head -1 || true)
        else first=$(cmp "$OUTPUT" "$ref" 2>&1 | head -1 || true); fi
        loud "MISMATCH in $CASE: the output of $tool differs from $REFERENCE's ($first)"
        FAILED=1
    fi
}

# Runs tool $1 once, untimed, and keeps its output as the case's reference.
make_reference() {
    local tool=$1
    rm -rf "$O/$tool" "${R:?}/$CASE"; mkdir -p "$O/$tool"
    set_command "$tool"
    REF_STATUS=0
    if [[ -n $IN ]]; then "${CMD[@]}" <"$IN" >"$OUTPUT" || REF_STATUS=$?
    else "${CMD[@]}" </dev/null >/dev/null || REF_STATUS=$?; fi
    [[ -e $OUTPUT ]] && mv "$OUTPUT" "$R/$CASE"
    rm -rf "${O:?}/$tool"
    ((REF_STATUS == 0)) && [[ -e $R/$CASE ]]
}

# ---------------------------------------------------------------- run
FAILED=0
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
say "Load before: $LOAD_BEFORE"
for line in "${CASES[@]}"; do
    read -r CASE INPUT SCRIPT KIND ENDS <<<"$line"
    ENDS=${ENDS:-crlf}
    [[ $CASE =~ $CASES_RE ]] || continue
    read -r -a tools <<<"$(tools_for "$KIND")"
    say "== $CASE: ${tools[*]} (${RUNS} runs each)"
    # Reference (and warm-up) run of tavisk-cli, not timed.  Should it fail,
    # sed's output is the reference, so that the peers are still checked.
    REFERENCE=${tools[0]}
    make_reference "$REFERENCE" || {
        loud "$CASE: tavisk-cli failed (status $REF_STATUS); sed's output is the reference instead"
        FAILED=1; REFERENCE=sed
        make_reference sed || loud "$CASE: sed failed too"
    }
    # Timed rounds; the order of the tools turns by one each round.
    n=${#tools[@]}
    for ((run = 1; run <= RUNS; run++)); do
        for ((k = 0; k < n; k++)); do
            tool=${tools[(k + run - 1) % n]}
            run_once "$tool" "$run"
            ((run == 1)) && check_output "$tool"
            rm -rf "${O:?}/$tool"
        done
    done
    rm -rf "${R:?}/$CASE"
done
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)
say "Load after: $LOAD_AFTER"
[[ -n ${BENCH_RESULTS:-} ]] && cp "$RESULTS" "$BENCH_RESULTS"

# ---------------------------------------------------------------- report
{
    for key in "${!CHECK[@]}"; do printf 'check\t%s\t%s\n' "$key" "${CHECK[$key]}"; done
    for line in "${CASES[@]}"; do
        read -r c input _ kind <<<"$line"
        [[ $kind = files || $kind = jobs-files ]] && input=small
        printf 'case\t%s\t%s\t%s\t%s\n' "$c" "${BYTES[$input]}" "${LONGEST[$input]}" "$kind"
    done
    cat "$RESULTS"
} | perl -e '
use strict; use warnings;
my (%check, %bytes, %longest, %wall, %cpu, %sys, %rss, @cases, %tools);
while (<STDIN>) {
    chomp; my @f = split /\t/;
    if ($f[0] eq "check") { $check{$f[1]} = $f[2]; next }
    if ($f[0] eq "case") { $bytes{$f[1]} = $f[2]; $longest{$f[1]} = $f[3]; next }
    my ($case, $tool, $run, $wall, $cpu, $rss, $status, $sys) = @f;
    push @{$sys{$case}{$tool}}, $sys;
    push @cases, $case unless grep { $_ eq $case } @cases;
    push @{$tools{$case}}, $tool unless grep { $_ eq $tool } @{$tools{$case} // []};
    push @{$wall{$case}{$tool}}, $wall; push @{$cpu{$case}{$tool}}, $cpu;
    $rss{$case}{$tool} = $rss if !defined $rss{$case}{$tool} || $rss > $rss{$case}{$tool};
}
sub median { my @s = sort { $a <=> $b } @_; my $n = @s; $n % 2 ? $s[$n / 2] : ($s[$n / 2 - 1] + $s[$n / 2]) / 2 }
my %floor = map { $_ => 1 } qw(cat dd cp);
my @goals; my $tavisk = "tavisk-cli";
printf "\n%-13s %-10s %9s %8s %7s %9s %10s %9s  %s\n", "case", "tool", "median s", "cpu s", "sys s", "MB/s", "vs best", "peak MB", "output";
printf "%-13s %-10s %9s %8s %7s %9s %10s %9s  %s\n", "", "", "(wall)", "(u+s)", "", "", "peer", "(max RSS)", "";
for my $case (@cases) {
    my %med = map { $_ => median(@{$wall{$case}{$_}}) } @{$tools{$case}};
    my @peers = grep { !/^tavisk/ && !$floor{$_} } @{$tools{$case}};
    my ($best) = sort { $med{$a} <=> $med{$b} } @peers;
    $best //= (sort { $med{$a} <=> $med{$b} } @{$tools{$case}})[0];  # the -j rows have no peer
    my $mb = $bytes{$case} / 1e6;
    printf "%s\n", "-" x 94;
    for my $tool (sort { $med{$a} <=> $med{$b} } @{$tools{$case}}) {
        my $role = $tool eq $tavisk ? "" : $floor{$tool} ? " (floor)" : "";
        my $out = $check{"$case/$tool"} // "?";
        $out = "n/a: plain copy" if $out eq "n/a";
        $out .= $role;
        printf "%-13s %-10s %9.3f %8.3f %7.3f %9.1f %9.2fx %9.1f  %s\n", $case, $tool, $med{$tool},
            median(@{$cpu{$case}{$tool}}), median(@{$sys{$case}{$tool}}), $mb / $med{$tool}, $med{$best} / $med{$tool},
            $rss{$case}{$tool} / 1024, $out;
    }
    if (defined $med{"tavisk-j1"} && defined $med{"tavisk-j2"}) {
        my $r = $med{"tavisk-j1"} / $med{"tavisk-j2"};
        my $goal = $case =~ /^jobs/ ? 1.6 : $case =~ /^onebig/ ? 1.7 : 0;
        push @goals, [$case, sprintf("-j 2 %.2fx as fast as -j 1 (%.3f s against %.3f s)%s", $r, $med{"tavisk-j2"},
                                     $med{"tavisk-j1"}, $goal ? "; goal >= $goal" . "x" : ""), !$goal || $r >= $goal];
        if (defined $med{mawk}) {
            my $m = $med{mawk} / $med{"tavisk-j2"};
            push @goals, [$case, sprintf("-j 2 %.2fx as fast as mawk (%.3f s); goal >= 2.5x", $m, $med{mawk}), $m >= 2.5];
        }
        if (defined $med{"find-mawk"}) {
            push @goals, [$case, sprintf("-R %.2fx (-j 2: %.2fx) as fast as find | xargs mawk (%.3f s)",
                                         $med{"find-mawk"} / $med{"tavisk-j1"}, $med{"find-mawk"} / $med{"tavisk-j2"},
                                         $med{"find-mawk"}), 1];
        }
    }
    if ($case eq "onebig-replace" && defined $med{"tavisk-j1"}) {
        my $rate = $mb / $med{"tavisk-j1"};
        push @goals, [$case, sprintf("-j 1 replaces %.0f MB/s (on CPU time %.0f MB/s); goal >= 1000 MB/s", $rate,
                                     $mb / median(@{$cpu{$case}{"tavisk-j1"}})), $rate >= 1000];
    }
    if ($case eq "onebig-keep" && defined $med{cp} && defined $med{$tavisk}) {
        my $r = $med{$tavisk} / $med{cp};
        push @goals, [$case, sprintf("--line-ends keep -e te %.2fx the time of cp (%.3f s); goal <= 1.2x", $r, $med{cp}), $r <= 1.2];
    }
    next unless defined $med{$tavisk};
    if (($check{"$case/$tavisk"} // "") eq "MISMATCH") {
        push @goals, [$case, "tavisk-cli failed or its output differs from the peers", 0];
    }
    # Ratios on the median wall time decide; the same on CPU time (user +
    # system) is shown too, as it suffers less from other work on the machine.
    my %cpumed = map { $_ => median(@{$cpu{$case}{$_}}) } @{$tools{$case}};
    my $cratio = sub { my ($num, $den) = @_; $cpumed{$den} > 0 ? sprintf("%.2fx", $cpumed{$num} / $cpumed{$den}) : "-" };
    if ($case =~ /^(replace|copy)/) {
        my $r = $med{$best} / $med{$tavisk};
        push @goals, [$case, sprintf("%.2fx as fast as the fastest peer (%s, %.3f s; on CPU time %s); goal >= 2x",
                                     $r, $best, $med{$best}, $cratio->($best, $tavisk)), $r >= 2];
    }
    if ($case =~ /copy/ && defined $med{dd}) {
        my $r = $med{$tavisk} / $med{dd};
        push @goals, [$case, sprintf("%.2fx the time of dd (%.3f s; on CPU time %s); goal <= 2.5x",
                                     $r, $med{dd}, $cratio->($tavisk, "dd")), $r <= 2.5];
    }
    if ($case eq "small-files") {
        my ($m) = sort { $med{$a} <=> $med{$b} } grep { /^mawk/ } @peers;
        if (defined $m) {
            my $r = $med{$m} / $med{$tavisk};
            push @goals, [$case, sprintf("%.2fx as fast as mawk (%s, %.3f s; on CPU time %s); goal >= 2x",
                                         $r, $m, $med{$m}, $cratio->($m, $tavisk)), $r >= 2];
        }
    }
    my $limit = 16 * 1048576 + $longest{$case};
    my $peak = $rss{$case}{$tavisk} * 1024;
    push @goals, [$case, sprintf("peak memory %.1f MB; goal < 16 MB + longest line (%s bytes) = %.1f MB",
                                 $peak / 1048576, $longest{$case}, $limit / 1048576), $peak < $limit];
}
printf "%s\n", "-" x 94;
print "MB = 10^6 bytes of input; peak MB = MiB of max RSS; vs best peer = fastest peer time / tool time (above 1 is faster).\n";
print "Floors (cat, dd, cp) only copy bytes; they are not peers.\n";
print "\nGoals for tavisk-cli:\n";
printf "  %-13s %-4s %s\n", $_->[0], $_->[2] ? "MET" : "MISS", $_->[1] for @goals;
'
echo
echo "Machine: $(nproc) cores; load average (1, 5, 15 min) before: $LOAD_BEFORE, after: $LOAD_AFTER."
echo "Above about $(nproc) the wall times are noisy: compare the CPU times (cpu s) as well."
echo "tavisk-cli: $CLI (tree at the start: $TREE_REV)."

# Shows a command as one would type it.
shown() {
    local a out=()
    for a in "$@"; do
        if [[ $a =~ ^[-A-Za-z0-9_=./]+$ ]]; then out+=("$a"); else out+=("'$a'"); fi  # (no quote inside)
    done
    printf '%s' "${out[*]}"
}
cat <<EOF

Commands (LC_ALL=C; each peer reads stdin and writes stdout unless said):
  tavisk-cli  tavisk-cli -q -e 'g/old/new/' DEST FILE...  |  tavisk-cli -q -e 'te' DEST FILE
  sed         $(shown "${SED_REPLACE[@]}")  |  copy: $(shown "${SED_COPY[@]}")
              small files: cp -t DEST FILES && sed -i (same script) DEST/*   (sed cannot write per-file outputs elsewhere)
  perl        $(shown "${PERL_REPLACE[@]}")  |  copy: $(shown "${PERL_COPY[@]}")
              small files: one perl process looping over the files, writing DEST/NAME
  gawk, mawk  awk $(shown "$AWK_REPLACE")  |  copy: awk $(shown "$AWK_COPY")
  *-RS        awk $(shown "$AWK_REPLACE_RS")  |  copy: awk $(shown "$AWK_COPY_RS")
  keep        tavisk-cli --line-ends keep; sed $(shown "${KEEP_SED_REPLACE[@]:1}"), perl $(shown "${KEEP_PERL_REPLACE[@]:1}"), awk $(shown "$KEEP_AWK_REPLACE")
  lfends      tavisk-cli --line-ends lf; sed $(shown "${LF_SED_REPLACE[@]:1}"), perl $(shown "${LF_PERL_REPLACE[@]:1}"), awk $(shown "$LF_AWK_REPLACE")
              small files: one awk process; on FNR == 1 it closes the last output and opens DEST/NAME
  floors      cat; dd bs=1M; cp -t DEST FILES  (a plain copy: on LF input not the same output)
  tavisk-jN   tavisk-cli -q -j N -e 'g/old/new/' DEST FILE...  |  tree: tavisk-cli -q -R -j N -e 'g/old/new/' DEST TREE
              onebig: tavisk-cli -q -j N -e 'g/old/new/' (or -e te) DEST HUGE-FILE: one file, edited in pieces by N workers
  onebig-keep tavisk-cli -q --line-ends keep -e te DEST HUGE-FILE  against  cp HUGE-FILE DEST/
  find-mawk   cd TREE && find . -type d | (cd DEST && xargs mkdir -p) && find . -type f | xargs mawk (as for small files, to DEST/PATH)
EOF
if ((FAILED)); then loud "Some outputs differed or a tool failed: see above"; exit 1; fi
