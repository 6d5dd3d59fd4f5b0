#!/usr/bin/env bash
# Checks the vendor service's Debian package as a vendor's server would meet
# it: lintian without errors, the unit verified by systemd-analyze, then
# installed with apt, the installed server started as the unit would start
# it (a user of its own, the configuration from /etc; systemd is not PID 1
# here), its answers checked for the public base URL, its log rotated, and
# the package purged without a trace. Needs root (it installs a package).
#   scripts/check_vendor_package.sh [build/default]
set -euo pipefail
build=${1:-build/default}
shopt -s nullglob
debs=("$build"/tidewell-vendor-service_*_amd64.deb)
[[ ${#debs[@]} -eq 1 ]] || { echo "expected one tidewell-vendor-service .deb in $build" >&2; exit 1; }
deb=$(realpath "${debs[0]}")
# The checkout and the build hold the package's sources and its build; the
# search for leftovers skips them wherever the checkout lives.
source_tree=$(cd "$(dirname "$0")/.." && pwd -P)
build_tree=$(realpath "$build")
name=tidewell-vendor-service
unit=/lib/systemd/system/$name.service
conf=/etc/$name/vendor-service.conf
fail() { echo "FAIL: $*" >&2; exit 1; }

# The tools, from apt, only when missing.
missing=()
command -v lintian >/dev/null || missing+=(lintian)
command -v systemd-analyze >/dev/null || missing+=(systemd)
command -v logrotate >/dev/null || missing+=(logrotate)
command -v curl >/dev/null || missing+=(curl)
command -v setpriv >/dev/null || missing+=(util-linux)
if [[ ${#missing[@]} -gt 0 ]]; then
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

work=$(mktemp -d)  # private, 0700
pid=
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

echo "== lintian"
lintian --info --fail-on error "$deb" | tee "$work/lintian" || fail "lintian reports errors"

# What the system holds outside the places that change by themselves.
listing() {
  find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
    -o -path /work -o -path /root -o -path /home -o -path /var/cache -o -path /var/lib/apt \
    -o -path /var/lib/dpkg -o -path /var/log/apt -o -path /var/tmp -o -path /var/log/dpkg.log \
    -o -path /var/log/alternatives.log -o -path /var/lib/logrotate \
    -o -path "$source_tree" -o -path "$build_tree" \) -prune -o -print | sort
}
listing >"$work/before"

echo "== install"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb"
[[ -x /usr/sbin/$name ]] || fail "/usr/sbin/$name missing"

echo "== systemd-analyze verify"
analyze=$(systemd-analyze verify "$unit" 2>&1) || fail "systemd-analyze verify: $analyze"
[[ -z $analyze ]] || fail "systemd-analyze verify is not clean: $analyze"

echo "== the installed server, as the unit runs it"
# A user no one has, from systemd's range for dynamic users.
uid=
for candidate in $(seq 61184 61284); do
  getent passwd "$candidate" >/dev/null || getent group "$candidate" >/dev/null || { uid=$candidate; break; }
done
[[ -n $uid ]] || fail "no free user id"
# StateDirectory= and LogsDirectory=: folders of its own.
install -d -o "$uid" -g "$uid" -m 0755 /var/lib/$name /var/log/$name
# The vendor's part: a package and its digest, the public base URL, a port.
head -c 3000000 /dev/urandom >/var/lib/$name/deepseek.zip
(cd /var/lib/$name && sha256sum deepseek.zip >deepseek.zip.sha256)
port=$(( 20000 + RANDOM % 20000 ))
base=https://downloads.vendor.example/tidewell
sed -i -e "s|^listen_port = .*|listen_port = $port|" \
  -e "s|^public_base_url = .*|public_base_url = $base|" \
  -e "s|^#package = |package = |" -e "s|^#package_sha256_file = |package_sha256_file = |" "$conf"
/usr/sbin/$name --config "$conf" --check-config >/dev/null || fail "the edited configuration is refused"

start() {
  (umask 0077; exec setpriv --reuid="$uid" --regid="$uid" --clear-groups --no-new-privs \
    --inh-caps=-all --bounding-set=-all env -i /usr/sbin/$name --config "$conf") \
    >>"$work/output" 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    curl -sf -o /dev/null "http://127.0.0.1:$port/support" && return 0
    kill -0 "$pid" 2>/dev/null || { cat "$work/output"; fail "the server ended"; }
    sleep 0.1
  done
  fail "the server does not answer"
}
start
config=$(curl -sf "http://127.0.0.1:$port/api/dpsk/config?uuid=check")
echo "$config"
package_url=$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["DeepSeekUrl"])' "$config")
support_url=$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["serviceurl"])' "$config")
[[ $package_url == "$base/package/deepseek.zip" ]] || fail "package URL $package_url"
[[ $support_url == "$base/support" ]] || fail "support URL $support_url"
# The web server in front maps the public base URL to the service.
curl -sf -o "$work/package" "http://127.0.0.1:$port${package_url#"$base"}"
cmp -s "$work/package" /var/lib/$name/deepseek.zip || fail "the package served differs"

echo "== event log and its rotation"
curl -sf -o /dev/null "http://127.0.0.1:$port/dpsk/log/log/first/ch/WX_1.0/linux/u1"
log=/var/log/$name/events.log
grep -q $'\tfirst\t' $log || fail "the event is not logged"
[[ $(stat -c '%u %a' $log) == "$uid 600" ]] || fail "the log is not the service's own, private"
logrotate -f -s "$work/logrotate.status" /etc/logrotate.d/$name
[[ -f $log.1 && ! -e $log ]] || fail "logrotate did not move the log"
kill -HUP "$pid"  # what postrotate asks systemd to send
for _ in $(seq 50); do grep -q "event log reopened" "$work/output" && break; sleep 0.1; done
curl -sf -o /dev/null "http://127.0.0.1:$port/dpsk/log/log/second/ch/WX_1.0/linux/u1"
grep -q $'\tsecond\t' $log || fail "the reopened log lacks the new event"
grep -q $'\tsecond\t' $log.1 && fail "the new event went to the rotated log"

echo "== stop"
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
[[ $status -eq 0 ]] || fail "exit status $status after SIGTERM"

echo "== a package that does not match its digest is refused"
echo tampered >>/var/lib/$name/deepseek.zip
status=0
setpriv --reuid="$uid" --regid="$uid" --clear-groups /usr/sbin/$name --config "$conf" \
  >"$work/refused" 2>&1 || status=$?
[[ $status -eq 78 && $(wc -l <"$work/refused") -eq 1 ]] || { cat "$work/refused"; fail "status $status"; }
grep -q "does not match" "$work/refused" || fail "no reason given"

echo "== purge"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q $name
listing >"$work/after"
if ! diff "$work/before" "$work/after"; then fail "purging left the entries above"; fi
# (man-db's cache of formatted pages is its own, refreshed by itself. The
# service sees a private /tmp and /var/tmp and no homes, so what lies there,
# such as another clone of this tree, is not its.)
left=$(find / -xdev \( -path /proc -o -path /work -o -path "$work" -o -path /var/cache/man \
  -o -path /tmp -o -path /var/tmp -o -path /home -o -path /root \
  -o -path "$source_tree" -o -path "$build_tree" \) -prune \
  -o -name "*$name*" -print)
[[ -z $left ]] || fail "left after purge: $left"
echo "vendor package OK"
