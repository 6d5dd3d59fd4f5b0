#!/usr/bin/env bash
# Installs in the real window with the local vendor service announcing
# package 1.0.0, then starts the service again announcing 1.1.0 and the
# window again: "管理" offers "更新", which is clicked. Keeps the page and the
# update's report as docs/screenshots/session_update*.png and prints
# `tidewell --status` before and after. Needs the default build.
set -euo pipefail
# shellcheck source=xvfb_session.sh
source "$(dirname "$0")/xvfb_session.sh" update

home="$work/home"
mkdir -m 700 "$home"
run() { run_app "$home" "$@"; }
open_window() {
  start_app "$home"
  sleep 2
}
# The window's own close button; the next start must not find it running.
close_window() {
  xdotool mousemove --window "$window" 776 34 click 1
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name Tidewell >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "the window did not close" >&2
  return 1
}

start_service --package-version 1.0.0
open_window
# The ready page's picture once the client's settings name the model.
click_install "$home"
capture 20 session_update_installed
close_window
echo "--- tidewell --status, installed from 1.0.0"
run --status || true

kill "$service_pid"
start_service --package-version 1.1.0
open_window
# "管理": the page offers "更新" for 1.1.0.
xdotool mousemove --window "$window" 595 34 click 1
capture 10 session_update_offered
xdotool mousemove --window "$window" 437 536 click 1
# Done once the record names the new version (or the update is given up).
for _ in $(seq 120); do
  grep -q '"1.1.0"' "$home/.config/Tidewell/install-record.json" 2>/dev/null &&
    ! grep -q '"stage"' "$home/.config/Tidewell/install-record.json" && break
  sleep 1
done
capture 10 session_update_report
# The report's "确定", the page's close button, then the window's.
xdotool mousemove --window "$window" 597 404 click 1
sleep 1
xdotool mousemove --window "$window" 727 68 click 1
sleep 1
close_window
echo "--- tidewell --status after the update"
run --status || true
echo "--- the service's events"
grep -o 'Update[A-Za-z]*' "$work/service.log" | sort | uniq -c || true
