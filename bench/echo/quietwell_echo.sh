#!/bin/bash
# Echo left in Quietwell's capture frames with processing off and on: espeak-ng speech is
# played to the session's null sink and captured back through its monitor. Run in a
# session (scripts/session.sh: session_start) from the worktree after scripts/build.sh x64.
# Prints what the capture callback delivered with processing off and on and the difference.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
bin="$here/build/x64/bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
espeak-ng -v en-us -s 150 -w "$work/speech.wav" \
  "The committee met on Tuesday to review the offer. Both sides agreed that the delivery dates matter more than the price. We can accept a longer warranty if the payment terms stay as they are. Please send the revised figures before Friday, and we will answer within two days."
sox "$work/speech.wav" -r 48000 -c 1 -b 16 -e signed-integer -t raw "$work/speech.raw" gain -n -6
cd "$bin"
off=$("${WINE64:-/usr/lib/wine/wine64}" ./quietwell_echo_run.exe "$work/speech.raw" off 2>/dev/null | tr -d '\r')
on=$("${WINE64:-/usr/lib/wine/wine64}" ./quietwell_echo_run.exe "$work/speech.raw" on 2>/dev/null | tr -d '\r')
echo "$off" | grep -v '^level'
echo "$on" | grep -v '^level'
a=$(echo "$off" | sed -n 's/^level //p')
b=$(echo "$on" | sed -n 's/^level //p')
awk -v a="$a" -v b="$b" 'BEGIN { printf "echo removed by processing: %.1f dB\n", a - b }'
