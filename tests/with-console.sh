#!/usr/bin/env bash
# Runs a command under a pseudo-terminal, so that the Windows programs Wine
# starts there share a real console, and exits with the command's status.
# The command's output goes through a file, not the terminal: Wine's console
# would redraw it character by character.
#   with-console.sh COMMAND [ARG...]
set -euo pipefail
log=$(mktemp)
trap 'cat "$log"; rm -f "$log"' EXIT
command="$(printf '%q ' "$@") >$(printf '%q' "$log") 2>&1"
SHELL=/bin/bash script -qefc "$command" /dev/null </dev/null >/dev/null
