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
exec wine "$@"
