#!/usr/bin/env bash
# Runs a program of the Windows cross-build under Wine: headless, quiet, in
# a prefix of the build's own (a throwaway Windows user profile and registry)
# that is made on first use. The program's exit code is ours.
#   scripts/wine_run.sh PROGRAM.exe [ARGS...]    scripts/wine_run.sh --stop
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${TIDEWELL_WINEPREFIX:-$root/build/windows/wine-prefix}"
# No debug chatter, no offer to install Mono or Gecko, no display needed.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
if [[ ${1:-} == --stop ]]; then
  [[ -d $WINEPREFIX ]] && wineserver -k 2>/dev/null || true
  exit 0
fi
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  # Two tests starting at once must not both make it: one waits for the other.
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    mkdir -p -m 0700 "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    wineserver -w
  fi
  flock -u 9
fi
# Wine's server and the system programs it starts (services, explorer, a
# console's conhost) inherit the output of the program that started them and
# stay while any other program uses the prefix. Handed our own output, they
# would keep it open after the program ended, and a test runner reading it
# to its end would wait on them (ctest did, until its time limit). So the
# program writes to a private file of the build's, streamed from there.
out=$(mktemp "$(dirname "$WINEPREFIX")/wine-output.XXXXXX")
trap 'rm -f "$out"' EXIT
status=0
# (A job in the background would read from /dev/null unless told otherwise.)
wine "$@" <&0 >"$out" 2>&1 &
program=$!
trap 'kill "$program" 2>/dev/null; exit 143' INT TERM
tail -f -s 0.1 --pid="$program" -c +1 "$out" &
streaming=$!
wait "$program" || status=$?
wait "$streaming" || true
exit "$status"
