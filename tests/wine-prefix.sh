#!/bin/sh
# Brings up, or tears down, the private Wine prefix the tests run in.
#   wine-prefix.sh up PREFIX     create it once, select the null graphics
#                                driver, map K: to an empty directory,
#                                keep one wineserver alive
#   wine-prefix.sh down PREFIX   stop that wineserver and everything in it
set -eu
action=$1
export WINEPREFIX="$2" WINEDEBUG=-all

case $action in
up)
    # A server left over from an interrupted run would not be the persistent one.
    wineserver -k 2>/dev/null || true
    if [ ! -f "$WINEPREFIX/.kelvareth-ready" ]; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        # No Mono or Gecko: the tests need neither, and their installers would ask.
        WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i </dev/null >/dev/null 2>&1
        # Windows, message boxes included, exist and can be read without a display.
        wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.kelvareth-ready"
    fi
    # Drive K: is an empty throw-away directory, for a package in a drive's root.
    rm -rf "$WINEPREFIX/drive_k"
    mkdir "$WINEPREFIX/drive_k"
    ln -sfn ../drive_k "$WINEPREFIX/dosdevices/k:"
    wineserver -p </dev/null >/dev/null 2>&1
    # Start the prefix's system processes now, away from the test runner's
    # pipes: a Wine process that outlives a test must not hold its output open.
    wine cmd /c exit </dev/null >/dev/null 2>&1
    ;;
down)
    wineserver -k || true
    ;;
*)
    echo "usage: $0 up|down PREFIX" >&2
    exit 2
    ;;
esac
