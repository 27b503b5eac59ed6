#!/bin/sh
# Builds the release launcher twice in two clean build trees at different
# paths, once with no settings and once with every setting given its default,
# and fails unless the two images are bit-identical and are the bytes recorded
# for the toolchain in default-images.txt.
#   reproducible.sh SOURCE_DIR WORK_DIR TOOLCHAIN_FILE
set -eu
source_dir=$1
work=$2
toolchain=$3
rm -rf "$work"
cmake -S "$source_dir" -B "$work/one" --preset default -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake -S "$source_dir" -B "$work/two at another path" --preset default -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DLAUNCHER_SUBSYSTEM=windows \
    -DLAUNCHER_BUSY_CURSOR=launcher \
    -DLAUNCHER_NAME=Kelvareth \
    -DLAUNCHER_INTERPRETER='python\pythonw.exe' \
    -DLAUNCHER_SCRIPT='launcher\kelvareth_launcher.pyw' \
    -DLAUNCHER_MESSAGE='python\pythonw.exe was not found next to this file. Extract the whole package.' \
    -DLAUNCHER_CAPTION='Kelvareth: The Tessaly Collection' \
    -DLAUNCHER_ICON="$source_dir/res/kelvareth.ico" \
    -DLAUNCHER_ERROR_REPORT=brief \
    -DLAUNCHER_FAILURE_MESSAGE='The application stopped with an error.' \
    -DLAUNCHER_STARTUP_INFO=none \
    -DLAUNCHER_APP_ID= \
    -DLAUNCHER_VERSION_INFO=OFF \
    -DLAUNCHER_PRODUCT= \
    -DLAUNCHER_DESCRIPTION= \
    -DLAUNCHER_COMPANY= \
    -DLAUNCHER_COPYRIGHT= \
    -DLAUNCHER_VERSION= >/dev/null
for tree in "$work/one" "$work/two at another path"; do
    cmake --build "$tree" --target Kelvareth >/dev/null
    # the toolchain given, not the preset's
    grep -q "^CMAKE_TOOLCHAIN_FILE:.*=$toolchain$" "$tree/CMakeCache.txt"
done
cmp "$work/one/Kelvareth.exe" "$work/two at another path/Kelvareth.exe"
hash=$(sha256sum <"$work/one/Kelvareth.exe" | cut -d' ' -f1)
echo "identical: $hash"
recorded=$(sed -n "s/^\([0-9a-f]*\)  $(basename "$toolchain")\$/\1/p" "$(dirname "$0")/default-images.txt")
if [ "$hash" != "$recorded" ]; then
    echo "the default launcher is not the recorded one (${recorded:-none recorded}) for $(basename "$toolchain")" >&2
    exit 1
fi
rm -rf "$work"
