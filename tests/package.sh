#!/bin/sh
# Makes the release archive of a build tree and checks what it holds: the
# executable and the package-layout text at its top, and a matching checksum.
# Makes it again once the built files are newer, and expects the same bytes.
#   package.sh BUILD_DIR ARCHIVE_NAME EXE_NAME
set -eu
build=$1
name=$2
exe=$3
pack() {
    rm -rf "$build/package"
    cpack --config "$build/CPackConfig.cmake" >/dev/null
}
pack
cp "$build/package/$name.zip" "$build/package-first.zip"
sleep 1
touch "$build/$exe" "$build/generated/PACKAGE-LAYOUT.txt"
pack
cmp "$build/package-first.zip" "$build/package/$name.zip"
rm "$build/package-first.zip"

cd "$build/package"
listing=$(cmake -E tar tf "$name.zip" | sort)
expected=$(printf '%s\n' "$exe" PACKAGE-LAYOUT.txt | sort)
if [ "$listing" != "$expected" ]; then
    printf 'archive holds:\n%s\nexpected:\n%s\n' "$listing" "$expected" >&2
    exit 1
fi
sha256sum -c "$name.zip.sha256"
