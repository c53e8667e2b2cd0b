#!/bin/sh
# Builds the Debian packages tavisk-cli and tavisk with dpkg-buildpackage from
# a copy of this source tree, so that the tree itself stays clean:
#
#   tools/build-debs.sh OUT-FOLDER
#
# The .deb files, the .changes and the .buildinfo land in OUT-FOLDER.
# DEB_BUILD_OPTIONS defaults to "nocheck" (set it, even to "", to run the
# quick tests during the build); JOBS (default: the number of cores) sets the
# build's parallelism.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: tools/build-debs.sh OUT-FOLDER}
mkdir -p "$out"
out=$(cd "$out" && pwd)
version=$(dpkg-parsechangelog -l "$here/debian/changelog" -S Version)

work=$(mktemp -d "${TMPDIR:-/tmp}/tavisk-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
tree=$work/tavisk-$version
mkdir "$tree"

# The source without version control, build folders, OUT-FOLDER or what an
# earlier package build in the tree left behind.
out_in_tree=
case $out/ in "$here"/*) out_in_tree=./${out#"$here"/} ;; esac
tar -C "$here" -cf - ${out_in_tree:+"--exclude=$out_in_tree"} \
    --exclude=./.git --exclude='./build*' --exclude='./obj-*' \
    --exclude=./debian/build --exclude=./debian/tmp --exclude=./debian/.debhelper \
    --exclude=./debian/tavisk --exclude=./debian/tavisk-cli --exclude=./debian/files \
    --exclude='./debian/*.substvars' --exclude=./debian/debhelper-build-stamp . |
    tar -C "$tree" -xf -

# Without the tests, their build dependencies are not needed either.
options=${DEB_BUILD_OPTIONS-nocheck}
profiles=
case " $options " in *" nocheck "*) profiles=-Pnocheck ;; esac
(cd "$tree" && DEB_BUILD_OPTIONS=$options dpkg-buildpackage -us -uc -b $profiles -j"${JOBS:-$(nproc)}")

# dpkg-buildpackage writes beside the tree.
for file in "$work"/*.deb "$work"/*.ddeb "$work"/*.changes "$work"/*.buildinfo; do
    if [ -e "$file" ]; then mv "$file" "$out"/; fi
done
echo "Packages in $out:"
ls -1 "$out"
