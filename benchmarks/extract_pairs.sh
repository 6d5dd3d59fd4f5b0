#!/usr/bin/env bash
# Case (b) of package_bench.sh, 20,000 files of 1-8 KB, as alternating
# pairs: our unpack, then bsdtar, each into a fresh empty folder, on the
# file system of the folder given (tmpfs: /dev/shm). Prints each pair and
# the median ratio. Run by hand after package_bench.sh has made the archive:
#   bash benchmarks/extract_pairs.sh [folder] [pairs]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
where="${1:-$root/build}"
pairs="${2:-9}"
zip="$root/build/bench-data/b.zip"
unpack="$root/build/bench/benchmarks/unpack"
out=$(mktemp -d "$where/extract-pairs-XXXX")
trap 'rm -rf "$out"' EXIT
seconds() {
  rm -rf "$out/x"; mkdir "$out/x"; sync
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }'
}
echo "== b.zip on $(df --output=fstype "$out" | tail -1), $pairs pairs"
ratios=()
for _ in $(seq "$pairs"); do
  ours=$(seconds "$unpack" "$zip" "$out/x")
  theirs=$(seconds bsdtar -xf "$zip" -C "$out/x")
  ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
  ratios+=("$ratio")
  echo "ours $ours s  bsdtar $theirs s  ratio $ratio"
done
printf '%s\n' "${ratios[@]}" | sort -n | awk '{ r[NR] = $1 } END {
  printf "median ratio %.2f (min %.2f, max %.2f)\n", r[int((NR + 1) / 2)], r[1], r[NR] }'
