#!/usr/bin/env bash
# Checks the assistant's Debian package as a person meets it:
#   scripts/check_package.sh [BUILD_DIR]     (default build/default)
# lintian (no errors), desktop-file-validate, appstreamcli validate; then
# installs it with apt-get, runs /usr/bin/tidewell --version and --help,
# opens the window from the installed files on a virtual display and
# screenshots it (BUILD_DIR/installed_window.png, must not be blank), purges
# the package and compares a listing of the system before and after: nothing
# of ours may be left. Reports go to BUILD_DIR/package_check/. Needs root (or
# sudo) for apt-get; installs its own tools when missing. Exit 0 when all
# holds.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)
report=$build/package_check
app_id=io.github.tidewell.Tidewell

sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
as_root() { "${sudo_cmd[@]}" "$@"; }
fail() { echo "check_package: $*" >&2; exit 1; }
step() { echo "== $*"; }

shopt -s nullglob
debs=("$build"/tidewell_*_amd64.deb)
shopt -u nullglob
((${#debs[@]} == 1)) || fail "expected one tidewell_*_amd64.deb in $build (make package), found ${#debs[@]}"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)

# The checking tools, each from its Debian package, only when missing.
declare -A tool_package=(
  [lintian]=lintian [desktop-file-validate]=desktop-file-utils [appstreamcli]=appstream
  [xvfb-run]=xvfb [xauth]=xauth [xwininfo]=x11-utils [xprop]=x11-utils
  [import]=imagemagick [identify]=imagemagick
)
missing=()
for tool in "${!tool_package[@]}"; do
  command -v "$tool" >/dev/null || missing+=("${tool_package[$tool]}")
done
if ((${#missing[@]})); then
  mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u)
  step "installing the checking tools: ${missing[*]}"
  as_root apt-get update -q
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

rm -rf "$report" "$build/installed_window.png"
mkdir -p "$report"
# Private scratch space: the fresh home the window runs in, the unpacked package.
work=$(mktemp -d)
installed=0
# The window's program ends with its virtual display (xvfb-run stops it).
cleanup() {
  if ((installed)); then
    echo "check_package: removing the package after a failed check" >&2
    DEBIAN_FRONTEND=noninteractive as_root apt-get purge -y -q tidewell >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

step "lintian $(basename "$deb")"
# Every tag is shown; an error or a warning fails the check. The tags left
# (info and pedantic ones) are listed, each with its reason, in the README.
lintian --display-info --pedantic --fail-on error,warning "$deb" | tee "$report/lintian.txt" ||
  fail "lintian found errors or warnings (see $report/lintian.txt)"

step "desktop entry and AppStream metadata"
dpkg-deb -x "$deb" "$work/unpacked"
desktop=$work/unpacked/usr/share/applications/$app_id.desktop
metainfo=$work/unpacked/usr/share/metainfo/$app_id.metainfo.xml
desktop-file-validate "$desktop"
appstreamcli validate --no-net --pedantic "$metainfo"

# What is on the system without the package: apt's and dpkg's own state and
# caches change with every install and are left out.
listing() {
  find /usr /etc /opt /var/lib -xdev \
    \( -path /var/lib/apt -o -path /var/lib/dpkg -o -path /var/lib/aptitude \) -prune -o -print |
    LC_ALL=C sort
}
packages() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" {print $2}' | sort; }

if dpkg-query -W -f='${Status}' tidewell 2>/dev/null | grep -q "ok installed"; then
  step "a tidewell package is installed already: purging it first"
  DEBIAN_FRONTEND=noninteractive as_root apt-get purge -y -q tidewell
fi
listing >"$report/system_before.txt"
packages >"$report/packages_before.txt"

step "apt-get install $(basename "$deb")"
installed=1
if ! DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q "$deb"; then
  as_root apt-get update -q
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q "$deb"
fi
dpkg-query -L tidewell >"$report/package_files.txt"

# A fresh private home for every run of the installed program: nothing of
# this machine's users is read or changed.
home=$work/home
mkdir -m 700 "$home" "$home/run" "$home/tmp"
run_installed() {
  env -i HOME="$home" XDG_RUNTIME_DIR="$home/run" TMPDIR="$home/tmp" PATH=/usr/bin:/bin \
    LANG=C.UTF-8 "$@"
}

step "tidewell --version, --help (no display)"
got=$(run_installed /usr/bin/tidewell --version)
[[ $got == "tidewell $version" ]] || fail "--version said '$got', the package is $version"
run_installed /usr/bin/tidewell --help >"$report/help.txt"
grep -q '^Usage: tidewell' "$report/help.txt" || fail "--help printed no usage"
grep -q -- '--uninstall' "$report/help.txt" || fail "--help names no --uninstall"

step "the window from the installed files, on a virtual display"
wm_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
# The service address answers nothing: the window must paint all the same.
# Message boxes go to a file instead of waiting for a click.
cat >"$work/window.sh" <<'EOF'
set -euo pipefail
home=$1 shot=$2 wm_class=$3 report=$4
env -i HOME="$home" XDG_RUNTIME_DIR="$home/run" TMPDIR="$home/tmp" PATH=/usr/bin:/bin \
  LANG=C.UTF-8 DISPLAY="$DISPLAY" XAUTHORITY="$XAUTHORITY" \
  TIDEWELL_SERVICE_URL=http://127.0.0.1:9 TIDEWELL_MESSAGE_LOG="$home/messages.log" \
  /usr/bin/tidewell >"$report/window_output.txt" 2>&1 &
pid=$!
window=
for _ in $(seq 300); do
  window=$(xwininfo -root -tree | awk '/"Tidewell": \(/ {print $1; exit}')
  [[ -n $window ]] && break
  kill -0 "$pid" 2>/dev/null || { echo "the program ended before its window showed" >&2; exit 1; }
  sleep 0.1
done
[[ -n $window ]] || { echo "no Tidewell window appeared" >&2; kill "$pid"; exit 1; }
xprop -id "$window" WM_CLASS | tee "$report/wm_class.txt"
# The dock matches the desktop entry to the window by its class.
grep -q "\"$wm_class\"\$" "$report/wm_class.txt" ||
  { echo "WM_CLASS does not end in StartupWMClass=$wm_class" >&2; kill "$pid"; exit 1; }
# Painted: more than a handful of colours (a blank or unpainted window has one).
colours=0
for _ in $(seq 100); do
  import -window "$window" "$shot" 2>/dev/null && colours=$(identify -format '%k' "$shot")
  ((colours > 32)) && break
  sleep 0.2
done
kill "$pid"
wait "$pid" || true
echo "screenshot: $colours colours"
((colours > 32)) || { echo "the window looks blank ($colours colours)" >&2; exit 1; }
EOF
xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
  bash "$work/window.sh" "$home" "$build/installed_window.png" "$wm_class" "$report"
(cd "$home" && find . | LC_ALL=C sort) >"$report/home_after_run.txt"

step "apt-get purge tidewell"
DEBIAN_FRONTEND=noninteractive as_root apt-get purge -y -q tidewell
installed=0
# Dependencies the install pulled in go again, so that the system is as before.
packages >"$report/packages_after_install_purge.txt"
mapfile -t pulled < <(comm -13 "$report/packages_before.txt" "$report/packages_after_install_purge.txt" |
  grep -Fxf <(apt-mark showauto) || true)
if ((${#pulled[@]})); then
  step "purging the dependencies the install pulled in: ${pulled[*]}"
  DEBIAN_FRONTEND=noninteractive as_root apt-get purge -y -q "${pulled[@]}"
fi

listing >"$report/system_after.txt"
status=0
if ! diff "$report/system_before.txt" "$report/system_after.txt" >"$report/system_diff.txt"; then
  echo "check_package: the system differs after the purge:" >&2
  cat "$report/system_diff.txt" >&2
  status=1
fi
while read -r path; do
  [[ -e $path && ! -d $path ]] && { echo "check_package: left behind: $path" >&2; status=1; }
done <"$report/package_files.txt"
((status == 0)) || exit 1
echo "check_package: $(basename "$deb") passes; window: $build/installed_window.png"
