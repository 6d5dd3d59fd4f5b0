# Sourced by the click-through scripts: the default build's programs, a
# throw-away folder removed on exit (with the runner servers started below
# it), and a virtual X server under a window manager. $1: the folder's name.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build="$root/build/default"
app="$build/app/tidewell"
service="$build/tools/vendor_service/tidewell_vendor_service"
package="$build/test_package/deepseek.zip"
out="$root/docs/screenshots"

# The window is captured with ImageMagick's import, driven by xdotool under
# openbox: tools for these scripts only, not for the build or the tests.
for tool in import:imagemagick xdotool:xdotool openbox:openbox; do
  command -v "${tool%%:*}" >/dev/null ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${tool#*:}" >/dev/null
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tidewell-$1.XXXXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in $(pgrep -x ollama || true); do
    [[ $(readlink "/proc/$pid/exe" 2>/dev/null) == "$work"/* ]] && kill "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)

# The local vendor service on a free port with its demo models and the
# options given; sets $url and $service_pid.
start_service() {
  rm -f "$work/port"
  "$service" --port 0 --port-file "$work/port" --package "$package" \
    --model-size-bytes 30000000 --model-rate 30000000 "$@" >>"$work/service.log" 2>&1 &
  service_pid=$!
  pids+=("$service_pid")
  for _ in $(seq 200); do [[ -s $work/port ]] && break; sleep 0.05; done
  url="http://127.0.0.1:$(cat "$work/port")"
}

# The assistant's environment for the throw-away home $1, in app_vars; the
# entries in app_env (NAME=VALUE) are added.
app_env=()
app_vars() {
  app_vars=(PATH="$PATH" DISPLAY="$DISPLAY" HOME="$1" XDG_CONFIG_HOME="$1/.config"
    XDG_DATA_HOME="$1/.local/share" XDG_RUNTIME_DIR="$work" TMPDIR="$work"
    TIDEWELL_SERVICE_URL="$url" TIDEWELL_MODEL_SOURCE="$url/models" "${app_env[@]}")
}
# The assistant in home $1 with the arguments after it, in the foreground.
run_app() {
  app_vars "$1"
  shift
  env -i "${app_vars[@]}" "$app" "$@"
}
# The window in home $1 (its output in app.log): sets $app_pid and $window.
start_app() {
  app_vars "$1"
  env -i "${app_vars[@]}" "$app" >>"$work/app.log" 2>&1 &
  app_pid=$!
  pids+=("$app_pid")
  window=$(xdotool search --sync --onlyvisible --pid "$app_pid" --name Tidewell | head -1)
}

# Clicks the install image of the open window, then waits (two minutes at
# the most) until the chat client's settings in home $1 name the model: the
# installation's last step before the first answer.
click_install() {
  xdotool mousemove --window "$window" 260 482 click 1
  for _ in $(seq 600); do
    [[ -f $1/.config/xyz.chatboxapp.app/config.json ]] && return 0
    sleep 0.2
  done
}

# Waits up to $1 seconds for the window's picture to stop changing, then
# keeps it as $2.png.
capture() {
  local seconds=$1 name=$2 last="" now
  for _ in $(seq "$seconds"); do
    sleep 1
    now=$(import -window "$window" rgb:- 2>/dev/null | md5sum)
    [[ $now == "$last" ]] && break
    last=$now
  done
  import -window "$window" "$out/$name.png"
  echo "kept $out/$name.png"
}
