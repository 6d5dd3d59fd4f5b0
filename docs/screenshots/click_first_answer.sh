#!/usr/bin/env bash
# Installs in the real window (virtual X server, window manager, the local
# vendor service) twice: once with a slow first load, keeping the model
# loading and the ready page with its time, and once on a machine whose free
# memory the runner finds too small, keeping the box that names the cause
# and the ready page after it, as docs/screenshots/session_answer_*.png.
# Needs the default build.
set -euo pipefail
# shellcheck source=xvfb_session.sh
source "$(dirname "$0")/xvfb_session.sh" answer

start_service

# $1: a name for the home; the rest: the runner stand-in's settings.
install() {
  local home="$work/$1"
  shift
  mkdir -m 700 "$home"
  app_env=("$@")
  start_app "$home"
  sleep 1
  click_install "$home"
}

install slow TIDEWELL_FAKE_OLLAMA_LOAD_MS=6000
sleep 2
import -window "$window" "$out/session_answer_loading.png"
capture 15 session_answer_ready
kill "$app_pid"

install small TIDEWELL_FAKE_OLLAMA_FREE_MEMORY_BYTES=104857600 TIDEWELL_FAKE_OLLAMA_LOAD_MS=500
sleep 4
# The box has no owner window: the whole screen shows it over the window.
import -window root "$out/session_answer_no_memory_box.png"
echo "kept $out/session_answer_no_memory_box.png"
xdotool key Return
capture 5 session_answer_not_answered
kill "$app_pid"
