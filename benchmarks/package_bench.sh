#!/usr/bin/env bash
# Extraction and download timings beside the tools a user would otherwise
# use, in the same run and on the same file system. Run by hand:
#   bash benchmarks/package_bench.sh [data folder] [runs]
# Prints one line per tool and case: median seconds and peak memory.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
data="${1:-$root/build/bench-data}"
runs="${2:-3}"

need=(zip unzip libarchive-tools p7zip-full nginx curl time)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi
cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null
bash "$root/benchmarks/make_archives.sh" "$data"
bin="$root/build/bench/benchmarks"
export XDG_DATA_HOME="$data/xdg-data"  # the downloader's partial files

# median seconds and largest peak RSS (MiB) of $runs runs of "$@", each into
# a fresh, empty output folder $out
measure() {
  local label="$1"; shift
  local times=() peak=0
  for ((i = 0; i < runs; i++)); do
    rm -rf "$out"; mkdir -p "$out"; sync
    local line
    /usr/bin/time -o "$data/.time" -f "%e %M" "$@" >/dev/null 2>&1 || true
    line=$(tail -1 "$data/.time")
    times+=("${line% *}")
    local kb="${line#* }"
    (( kb > peak )) && peak=$kb
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  printf '%-28s %7.2f s  %6d MiB\n' "$label" "$median" $((peak / 1024))
}

extract_all() {
  local where="$1"
  out="$where/out"
  for archive in a b c; do
    local zip="$data/$archive.zip" pw=()
    echo "== $archive.zip on $(df --output=fstype "$where" | tail -1)"
    if [[ $archive == c ]]; then pw=(markOakGrove); fi
    measure "tidewell" "$bin/unpack" "$zip" "$out" "${pw[@]}"
    measure "unzip" unzip -q -o ${pw:+-P "${pw[0]}"} "$zip" -d "$out"
    measure "bsdtar" bsdtar -xf "$zip" -C "$out" ${pw:+--passphrase "${pw[0]}"}
    measure "7z" 7z x -y -o"$out" ${pw:+-p"${pw[0]}"} "$zip"
  done
  rm -rf "$out"
}

extract_all "$data"
if [[ -d /dev/shm ]]; then
  shm=$(mktemp -d /dev/shm/tidewell-bench-XXXX)
  extract_all "$shm"
  rm -rf "$shm"
fi

# Download of 1 GiB over loopback from nginx.
web=$(mktemp -d)
chmod 755 "$web"  # nginx's workers read as an unprivileged user
head -c 1G /dev/urandom > "$web/big.bin"
chmod 644 "$web/big.bin"
cat > "$web/nginx.conf" <<CONF
daemon off; worker_processes 1; pid $web/nginx.pid; error_log $web/error.log;
events {}
http { access_log off; sendfile on;
  server { listen 127.0.0.1:18765; root $web; } }
CONF
nginx -c "$web/nginx.conf" -p "$web" &
nginx_pid=$!
sleep 1
out="$web/dl"
echo "== 1 GiB download over loopback"
measure "tidewell" "$bin/download" http://127.0.0.1:18765/big.bin "$out/big.bin"
measure "curl -o" curl -sf -o "$out/big.bin" http://127.0.0.1:18765/big.bin
[[ $(stat -c %s "$out/big.bin") == 1073741824 ]] || echo "download check failed"
kill "$nginx_pid"; wait "$nginx_pid" 2>/dev/null || true
rm -rf "$web"
