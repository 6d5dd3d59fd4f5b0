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
