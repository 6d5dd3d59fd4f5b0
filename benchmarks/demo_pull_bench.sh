#!/usr/bin/env bash
# The demo's model pull as the runner stand-in does it alone, timed through
# its API: the local vendor service serves a model of the demo's size at
# the demo's rate (`make run`), the runner pulls it, and the seconds from
# the pull's request to its "success" are printed with the rate reached.
# Run by hand: bash benchmarks/demo_pull_bench.sh [runs] (default build).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-3}"
build="$root/build/default"
service="$build/tools/vendor_service/tidewell_vendor_service"
runner="$build/tests/fakes/fake_ollama"
bytes="${TIDEWELL_DEMO_MODEL_BYTES:-300000000}"
rate="${TIDEWELL_DEMO_MODEL_RATE:-30000000}"
work=$(mktemp -d "$root/build/demo-pull-XXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$service" --port 0 --port-file "$work/port" --model-size-bytes "$bytes" --model-rate "$rate" \
  >"$work/service.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/port ]] && break; sleep 0.05; done
source_url="http://127.0.0.1:$(cat "$work/port")/models"

for run in $(seq "$runs"); do
  store="$work/store-$run"
  mkdir -p "$store"
  port=$((18900 + run))
  OLLAMA_HOST="127.0.0.1:$port" OLLAMA_MODELS="$store" TIDEWELL_MODEL_SOURCE="$source_url" \
    "$runner" serve >"$work/runner-$run.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 200); do curl -sf "http://127.0.0.1:$port/" >/dev/null && break; sleep 0.05; done
  start=$(date +%s.%N)
  curl -sf -X POST "http://127.0.0.1:$port/api/pull" -d '{"model":"deepseek-r1:1.5b"}' \
    | tail -n 1 | grep -q '"success"' || { echo "run $run: the pull failed"; exit 1; }
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" -v b="$bytes" -v r="$rate" -v n="$run" 'BEGIN {
    t = e - s; printf "run %d: %.2f s, %.1f MB/s (stated %.1f MB/s, %.2f s)\n", n, t, b / t / 1e6, r / 1e6, b / r }'
  kill "${pids[-1]}" 2>/dev/null || true
done
