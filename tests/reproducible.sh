#!/bin/sh
# Builds the release launcher twice from the same sources in two clean build
# trees at different paths, and fails unless the two images are bit-identical.
#   reproducible.sh SOURCE_DIR WORK_DIR
set -eu
source_dir=$1
work=$2
rm -rf "$work"
for tree in one two-at-another-path; do
    cmake -S "$source_dir" -B "$work/$tree" --preset default >/dev/null
    cmake --build "$work/$tree" --target Kelvareth >/dev/null
done
cmp "$work/one/Kelvareth.exe" "$work/two-at-another-path/Kelvareth.exe"
echo "identical: $(sha256sum <"$work/one/Kelvareth.exe")"
rm -rf "$work"
