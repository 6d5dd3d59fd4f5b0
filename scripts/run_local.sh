#!/usr/bin/env bash
# The main job on this machine: the local vendor service (configuration,
# event log, the install package built from the stand-ins and our setup
# program, model downloads) and the assistant pointed at it. Closing the
# assistant stops the service and the runner server it started.
set -euo pipefail
build=${1:-build/default}
app="$build/app/tidewell"
service="$build/tools/vendor_service/tidewell_vendor_service"
package="$build/test_package/deepseek.zip"

state=$(mktemp -d "${TMPDIR:-/tmp}/tidewell-run.XXXXXXXX")  # private, 0700
service_pid=
cleanup() {
  [[ -n $service_pid ]] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  # The runner server the assistant started for this session: a runner
  # process below the home folder that was not there before. Runners of
  # other sessions, tests and users are left alone.
  local pid exe
  for pid in $(pgrep -u "$(id -u)" -x ollama || true); do
    [[ " $runners_before " == *" $pid "* ]] && continue
    exe=$(readlink "/proc/$pid/exe" 2>/dev/null) || continue
    [[ $exe == "$HOME"/* ]] && kill "$pid" 2>/dev/null
  done
  echo "Vendor service events: $state/events.log"
}
runners_before=" $( (pgrep -u "$(id -u)" -x ollama || true) | tr '\n' ' ') "
trap cleanup EXIT

# Model sizes and speed so that a person sees the progress move.
"$service" --port 0 --port-file "$state/port" --event-log "$state/events.log" \
  --package "$package" --model-size-bytes "${TIDEWELL_DEMO_MODEL_BYTES:-300000000}" \
  --model-rate "${TIDEWELL_DEMO_MODEL_RATE:-30000000}" >"$state/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 100); do [[ -s $state/port ]] && break; sleep 0.05; done
[[ -s $state/port ]] || { echo "The vendor service did not start:"; cat "$state/service.log"; exit 1; }
port=$(cat "$state/port")

export TIDEWELL_SERVICE_URL="http://127.0.0.1:$port"
export TIDEWELL_MODEL_SOURCE="$TIDEWELL_SERVICE_URL/models"
# The assistant starts its runner on an address of its own: 127.0.0.1:11434
# when that is free, another free port when a runner already serves there.
echo "Vendor service on $TIDEWELL_SERVICE_URL"

if [[ -n ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]]; then
  "$app"
else
  echo "No display: running on a virtual X server (xvfb-run)."
  xvfb-run -a "$app"
fi
