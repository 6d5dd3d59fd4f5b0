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

"$service" --port 0 --port-file "$work/port" --package "$package" \
  --model-size-bytes 30000000 --model-rate 30000000 >"$work/service.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do [[ -s $work/port ]] && break; sleep 0.05; done
url="http://127.0.0.1:$(cat "$work/port")"

# $1: a name for the home; the rest: the runner stand-in's settings.
install() {
  local home="$work/$1"
  shift
  mkdir -m 700 "$home"
  env -i PATH="$PATH" DISPLAY="$DISPLAY" HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$work" TMPDIR="$work" \
    TIDEWELL_SERVICE_URL="$url" TIDEWELL_MODEL_SOURCE="$url/models" "$@" "$app" \
    >"$work/app.log" 2>&1 &
  app_pid=$!
  pids+=("$app_pid")
  window=$(xdotool search --sync --onlyvisible --pid "$app_pid" --name Tidewell | head -1)
  sleep 1
  xdotool mousemove --window "$window" 260 482 click 1
  # The model is there once the client's settings name it; the first answer follows.
  for _ in $(seq 120); do
    [[ -f $home/.config/xyz.chatboxapp.app/config.json ]] && break
    sleep 0.2
  done
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
