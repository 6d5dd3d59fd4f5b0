#!/usr/bin/env bash
# Installs in the real window (virtual X server, window manager, the local
# vendor service), then opens "管理", asks to uninstall everything and
# confirms, keeping what a person sees as docs/screenshots/session_manage*.png.
# Prints the home's file listing before the installation and after the
# uninstall, and `tidewell --status` on the way. Needs the default build.
set -euo pipefail
# shellcheck source=xvfb_session.sh
source "$(dirname "$0")/xvfb_session.sh" manage

home="$work/home"
mkdir -m 700 "$home"
start_service
run() { run_app "$home" "$@"; }
listing() { (cd "$home" && find . -mindepth 1 | sort); }

listing >"$work/before"
start_app "$home"
sleep 1
# The install image, then the ready page.
click_install "$home"
sleep 3
echo "--- tidewell --status while the window is open"
run --status || true

# "管理" in the caption bar: the page, its sizes counted in the background.
xdotool mousemove --window "$window" 595 34 click 1
capture 10 session_manage
# "全部卸载", then the question's "卸载".
xdotool mousemove --window "$window" 679 536 click 1
capture 5 session_manage_uninstall_question
xdotool mousemove --window "$window" 607 382 click 1
capture 20 session_manage_uninstalled
# The report's "确定".
xdotool mousemove --window "$window" 597 462 click 1
capture 5 session_manage_after
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true

echo "--- the home after the uninstall, beside the home before the installation"
listing >"$work/after"
diff "$work/before" "$work/after" && echo "(the same)"
# Every start records the product's key with the device id first, as the
# window's start does.
echo "--- tidewell --status after the uninstall"
run --status || true
