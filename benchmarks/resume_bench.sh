#!/usr/bin/env bash
# 1 GiB download over loopback whose connection is reset three times (at a
# quarter, a half and three quarters), the program's own downloader against
# `curl -C - --retry 5`, in alternating runs. Prints each run's seconds and
# the body bytes the server sent for it. Run by hand:
#   bash benchmarks/resume_bench.sh [runs] [extra curl options]
# curl's --retry does not retry a reset connection: pass --retry-all-errors
# for a curl that finishes. RESETS=none gives an undisturbed download.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-3}"
shift || true
curl_extra=("$@")
cmake --preset bench >/dev/null
cmake --build --preset bench --target download flaky_server >/dev/null
bin="$root/build/bench/benchmarks"
work=$(mktemp -d "$root/build/resume-bench-XXXX")
trap 'rm -rf "$work"' EXIT
head -c 1G /dev/urandom > "$work/big.bin"
size=$(stat -c %s "$work/big.bin")
resets="$((size / 4)),$((size / 2)),$((size * 3 / 4))"
[[ ${RESETS:-} == none ]] && resets=""
port=18766
url="http://127.0.0.1:$port/big.bin"
export XDG_DATA_HOME="$work/data"  # the downloader's partial files, same disk

one() {
  local label="$1"; shift
  rm -f "$work/out.bin" "$work/stats"
  "$bin/flaky_server" "$port" "$work/big.bin" "${resets:-,}" "$work/stats" &
  local server=$!
  sleep 0.3
  sync
  local start end status=ok
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || status="failed ($?)"
  end=$(date +%s.%N)
  kill "$server"; wait "$server" 2>/dev/null || true
  cmp -s "$work/out.bin" "$work/big.bin" || status="$status, file differs"
  printf '%-34s %7.2f s  %11s body bytes sent  %s\n' "$label" "$(awk "BEGIN { print $end - $start }")" \
    "$(cat "$work/stats" 2>/dev/null || echo 0)" "$status"
}

for ((i = 0; i < runs; i++)); do
  one "tidewell" "$bin/download" "$url" "$work/out.bin"
  one "curl -C - --retry 5 ${curl_extra[*]}" curl -sf -C - --retry 5 "${curl_extra[@]}" -o "$work/out.bin" "$url"
done
