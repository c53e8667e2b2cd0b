#!/bin/bash
# Builds the Debian packages from a copy of the source tree (the tree stays
# clean) and checks them as apt and dpkg would see them: versions, the
# dependencies (tavisk-cli without Qt, tavisk with it), what each holds,
# a tavisk-cli that links no Qt and runs, and no lintian error or warning.
#
#   deb-test.sh SOURCE-FOLDER [PACKAGE-FOLDER]
# With a PACKAGE-FOLDER, the packages built there before are checked instead.
set -u
source_dir=$1
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ $# -ge 2 ]; then
    ln -s "$(cd "$2" && pwd)" "$work/out"
else
    # No tests inside the package build (this is one), no debug-symbol packages.
    DEB_BUILD_OPTIONS="nocheck noddebs" JOBS=${JOBS:-2} "$source_dir/tools/build-debs.sh" "$work/out" >"$work/build.log" 2>&1 ||
        { tail -n 40 "$work/build.log"; echo "FAIL: the package build failed"; exit 1; }
fi

version=$(sed -n 's/^project(Tavisk VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
changelog_version=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Version)
[ "$changelog_version" = "$version" ] ||
    fail "debian/changelog is at $changelog_version, the project at $version"
arch=$(dpkg --print-architecture)
cli_deb=$work/out/tavisk-cli_${changelog_version}_$arch.deb
gui_deb=$work/out/tavisk_${changelog_version}_$arch.deb
for deb in "$cli_deb" "$gui_deb"; do
    [ -f "$deb" ] || { fail "no $(basename "$deb")"; ls "$work/out"; exit 1; }
done

field() { dpkg-deb -f "$1" "$2"; }

# --- Dependencies.
cli_depends=$(field "$cli_deb" Depends)
gui_depends=$(field "$gui_deb" Depends)
grep -qi 'qt' <<<"$cli_depends" && fail "tavisk-cli depends on Qt: $cli_depends"
grep -q 'libc6' <<<"$cli_depends" || fail "tavisk-cli lacks its C library dependency: $cli_depends"
for library in libqt6core6 libqt6gui6 libqt6widgets6; do
    grep -q "$library" <<<"$gui_depends" || fail "tavisk does not depend on $library: $gui_depends"
done
[ "$(field "$gui_deb" Recommends)" = "tavisk-cli (= $changelog_version)" ] ||
    fail "tavisk does not recommend tavisk-cli of its own version"

# --- Contents: each row is a package and a path it must hold.
contents() { dpkg-deb -c "$1" | awk '{ print $6 }' | sed 's,^\./,/,'; }
cli_files=$(contents "$cli_deb")
gui_files=$(contents "$gui_deb")
while read -r package path; do
    [ -z "$package" ] && continue
    case $package in tavisk-cli) files=$cli_files ;; tavisk) files=$gui_files ;; esac
    grep -qxE "$path" <<<"$files" || fail "$package does not hold $path"
done <<'ROWS'
tavisk-cli /usr/bin/tavisk-cli
tavisk-cli /usr/share/man/man1/tavisk-cli\.1\.gz
tavisk-cli /usr/share/bash-completion/completions/tavisk-cli
tavisk-cli /usr/share/zsh/vendor-completions/_tavisk-cli
tavisk-cli /usr/share/fish/vendor_completions\.d/tavisk-cli\.fish
tavisk-cli /usr/share/doc/tavisk-cli/README\.md(\.gz)?
tavisk-cli /usr/share/doc/tavisk-cli/copyright
tavisk-cli /usr/share/doc/tavisk-cli/changelog\.gz
tavisk /usr/bin/tavisk
tavisk /usr/share/tavisk/tavisk\.rcc
tavisk /usr/share/applications/tavisk\.desktop
tavisk /usr/share/icons/hicolor/48x48/apps/tavisk\.png
tavisk /usr/share/icons/hicolor/128x128/apps/tavisk\.png
tavisk /usr/share/icons/hicolor/256x256/apps/tavisk\.png
tavisk /usr/share/icons/hicolor/scalable/apps/tavisk\.svg
tavisk /usr/share/man/man1/tavisk\.1\.gz
tavisk /usr/share/doc/tavisk/README\.md(\.gz)?
tavisk /usr/share/doc/tavisk/copyright
ROWS
# The JSON Schema ships once the source has one.
if [ -f "$source_dir/src/cli/tavisk-cli.schema.json" ]; then
    grep -qx /usr/share/tavisk-cli/tavisk-cli.schema.json <<<"$cli_files" ||
        fail "tavisk-cli does not hold its JSON Schema"
fi
# No file is in both packages (they could not be installed together).
shared=$(comm -12 <(grep -v '/$' <<<"$cli_files" | grep -v '^/usr/share/doc/' | sort) \
                  <(grep -v '/$' <<<"$gui_files" | grep -v '^/usr/share/doc/' | sort))
[ -z "$shared" ] || fail "files in both packages: $shared"
grep -q -e '/usr/bin/tavisk$' -e 'qt' -e '/applications/' <<<"$cli_files" &&
    fail "tavisk-cli holds files of the desktop program"

# --- The tavisk-cli binary: no Qt library linked, and it runs.
dpkg-deb -x "$cli_deb" "$work/cli"
needed=$(readelf -d "$work/cli/usr/bin/tavisk-cli" | grep NEEDED)
grep -qi qt <<<"$needed" && fail "tavisk-cli links Qt: $needed"
[ "$(ldd "$work/cli/usr/bin/tavisk-cli" | grep -ci qt)" = 0 ] || fail "tavisk-cli loads a Qt library"
"$work/cli/usr/bin/tavisk-cli" --version | grep -qF "$version" || fail "tavisk-cli --version does not say $version"
zcat "$work/cli/usr/share/man/man1/tavisk-cli.1.gz" | cmp -s - "$source_dir/packaging/tavisk-cli.1" ||
    fail "the packaged tavisk-cli.1 is not packaging/tavisk-cli.1"

# --- lintian: no error and no warning.
if ! lintian --allow-root --fail-on error,warning "$work/out"/tavisk_*.changes >"$work/lintian.log" 2>&1; then
    cat "$work/lintian.log"
    fail "lintian reports errors or warnings"
fi

[ $failures -eq 0 ] && echo "packages as expected: $(cd "$work/out" && ls ./*.deb | tr '\n' ' ')"
[ $failures -eq 0 ]
