#!/usr/bin/env bash
# Clicks through four paths where the installation goes wrong, in the real
# window on a virtual X server under a window manager, and keeps what a
# person sees as docs/screenshots/fail_*.png. Needs the default build
# (make build-default). Every run has a throw-away home; the local vendor
# service plays the failing side.
set -euo pipefail
# shellcheck source=xvfb_session.sh
source "$(dirname "$0")/xvfb_session.sh" clicks

# One case: $1 its name, $2 the vendor service's options ("none": no
# service at all). Starts the assistant and clicks the install image.
start_case() {
  local name=$1 options=$2 home="$work/$1" url=http://127.0.0.1:9
  mkdir -m 700 "$home"
  if [[ $options != none ]]; then
    # shellcheck disable=SC2086  # the options are words
    "$service" --port 0 --port-file "$home/port" --package "$package" \
      --model-size-bytes 30000000 --model-rate 10000000 $options >"$home/service.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do [[ -s $home/port ]] && break; sleep 0.05; done
    [[ -s $home/port ]] || { cat "$home/service.log"; exit 1; }
    url="http://127.0.0.1:$(cat "$home/port")"
  fi
  env -i PATH="$PATH" DISPLAY="$DISPLAY" HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$home" TMPDIR="$home" \
    TIDEWELL_SERVICE_URL="$url" TIDEWELL_MODEL_SOURCE="$url/models" \
    "$app" >"$home/app.log" 2>&1 &
  app_pid=$!
  pids+=("$app_pid")
  window=$(xdotool search --sync --onlyvisible --pid "$app_pid" --name Tidewell | head -1)
  sleep 1
  # The install image, in window coordinates.
  xdotool mousemove --window "$window" 260 482 click 1
}


end_case() { kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; }

# 1. No service: the configuration is asked for again on the click, then
#    the cause stands under the install image.
start_case service_unreachable none
sleep 4
capture 20 fail_service_unreachable
end_case

# 2. The package download breaks off (after the downloader's retries).
start_case download_broken "--package-breaks-at 40000"
sleep 35
capture 30 fail_download_broken
end_case

# 3. A package that is not an archive: discarded, named as damaged.
echo "not a zip" >"$work/junk.zip"
package_saved=$package
package="$work/junk.zip"
start_case package_damaged ""
sleep 4
capture 20 fail_package_damaged
end_case
package=$package_saved

# 4. The model's download breaks off: the box, then the line it leaves.
start_case model_broken "--broken-model deepseek-r1:1.5b"
box=""
for _ in $(seq 120); do
  # The box is the program's second visible window.
  box=$( (xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null || true) | grep -vx "$window" |
    head -1 || true)
  [[ -n $box ]] && break
  sleep 1
done
sleep 1
import -window root "$out/fail_model_broken_box.png"
echo "kept $out/fail_model_broken_box.png"
[[ -n $box ]] && xdotool key Return  # the box has the focus
capture 5 fail_model_broken
end_case
