#!/bin/sh
# Signs the built launcher with throw-away certificates and checks the result:
# osslsigncode accepts the signature, the certificate table is the image's
# only addition, signing again gives the same bytes, the release install and
# archive hold the signed file, and a bad certificate or password is refused
# with nothing left under the executable's name. Leaves the signed launcher
# at WORK_DIR/signed/<name>.exe for the tests under Wine.
#   signing.sh SOURCE_DIR BUILD_DIR WORK_DIR UNSIGNED_EXE ARCHIVE_NAME ICON CHECK_IMAGE...
set -eu
source_dir=$1 build=$2 work=$3 unsigned=$4 archive=$5 icon=$6
shift 6
name=$(basename "$unsigned")
rm -rf "$work"
mkdir -p "$work/signed"
cd "$work"
unset LAUNCHER_SIGNING_CERTIFICATE LAUNCHER_SIGNING_PASSWORD LAUNCHER_SIGNING_PASSWORD_FILE
git -C "$source_dir" rev-parse HEAD >/dev/null 2>&1 || export SOURCE_DATE_EPOCH=1700000000

# A certificate for code signing, and one for a web server only.
for kind in codeSigning serverAuth; do
    openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Kelvareth test $kind" \
        -addext "extendedKeyUsage=$kind" -keyout "$kind.key" -out "$kind.pem" 2>/dev/null
    openssl pkcs12 -export -inkey "$kind.key" -in "$kind.pem" -out "$kind.p12" -passout pass:test-password
done
printf 'test-password' >password

sign() { # EXE [VAR=VALUE...]: signs EXE in place with the given settings
    exe=$1
    shift
    env "$@" cmake -DEXECUTABLE="$exe" -DSOURCE_DIR="$source_dir" -P "$source_dir/cmake/SignExecutable.cmake"
}

echo "== signed, and accepted"
cp "$unsigned" "signed/$name"
sign "signed/$name" LAUNCHER_SIGNING_CERTIFICATE=codeSigning.p12 LAUNCHER_SIGNING_PASSWORD=test-password
osslsigncode verify -CAfile codeSigning.pem -in "signed/$name"
"$@" --signed-from "$unsigned" "signed/$name" "$icon"

echo "== signed again later, with the password from a file: the same bytes"
sleep 1
cp "$unsigned" again.exe
sign again.exe LAUNCHER_SIGNING_CERTIFICATE=codeSigning.p12 LAUNCHER_SIGNING_PASSWORD_FILE="$PWD/password"
cmp "signed/$name" again.exe

echo "== without a certificate, nothing changes"
cp "$unsigned" plain.exe
sign plain.exe
cmp "$unsigned" plain.exe

echo "== the release install and archive hold the signed file"
export LAUNCHER_SIGNING_CERTIFICATE="$PWD/codeSigning.p12" LAUNCHER_SIGNING_PASSWORD=test-password
cmake --install "$build" --prefix "$PWD/install" >/dev/null
cmp "signed/$name" "install/$name"
cpack --config "$build/CPackConfig.cmake" -B "$PWD/package" >/dev/null
mkdir unpacked
(cd unpacked && cmake -E tar xf "../package/$archive.zip")
cmp "signed/$name" "unpacked/$name"
unset LAUNCHER_SIGNING_CERTIFICATE LAUNCHER_SIGNING_PASSWORD

echo "== bad input is refused, and no unsigned file is left"
refused() { # WHY VAR=VALUE...: signing must fail, saying WHY, and remove the file
    why=$1
    shift
    cp "$unsigned" bad.exe
    if sign bad.exe "$@" >out 2>&1; then
        echo "accepted: $*" >&2
        exit 1
    fi
    tr -s ' \n' '  ' <out | grep -qF "$why" || { echo "expected \"$why\", got:" >&2; cat out >&2; exit 1; }
    if [ -e bad.exe ] || [ -e bad.exe.signing ]; then
        echo "a file was left behind: $*" >&2
        exit 1
    fi
    echo "refused: $why"
}
refused 'certificate "no-such.p12" does not exist' \
    LAUNCHER_SIGNING_CERTIFICATE=no-such.p12 LAUNCHER_SIGNING_PASSWORD=test-password
refused 'cannot be opened: wrong password' \
    LAUNCHER_SIGNING_CERTIFICATE=codeSigning.p12 LAUNCHER_SIGNING_PASSWORD=not-the-password
refused 'cannot be opened: wrong password' LAUNCHER_SIGNING_CERTIFICATE=codeSigning.p12
refused 'is not for code signing' \
    LAUNCHER_SIGNING_CERTIFICATE=serverAuth.p12 LAUNCHER_SIGNING_PASSWORD=test-password
refused 'password file "missing" does not exist' \
    LAUNCHER_SIGNING_CERTIFICATE=codeSigning.p12 LAUNCHER_SIGNING_PASSWORD_FILE=missing
