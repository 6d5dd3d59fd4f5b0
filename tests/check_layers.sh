#!/usr/bin/env bash
# Arrows point down: each layer includes only the layers below it, and
# nothing below ui/ includes Qt. Prints every offending line.
set -uo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"

# layer: the project folders it may include from (besides itself)
declare -A allowed=(
  [platform]=""
  [catalogue]=""
  [config]="platform"
  [work]="platform config"
  [service]="platform config"
  [package]="platform config service"
  [install]="platform config catalogue work service package"
)
project_dirs="platform catalogue config work service package install ui app tests"

status=0
for layer in "${!allowed[@]}"; do
  [[ -d $layer ]] || continue
  qt=$(grep -rnE '#\s*include\s*[<"](Q[A-Za-z]+|qt[A-Za-z]*/)' "$layer" || true)
  if [[ -n $qt ]]; then
    echo "Qt below ui/:"; echo "$qt"; status=1
  fi
  for dir in $project_dirs; do
    [[ $dir == "$layer" ]] && continue
    [[ " ${allowed[$layer]} " == *" $dir "* ]] && continue
    bad=$(grep -rnE "#\s*include\s*[<\"]$dir/" "$layer" || true)
    if [[ -n $bad ]]; then
      echo "$layer/ must not include $dir/:"; echo "$bad"; status=1
    fi
  done
done
[[ $status -eq 0 ]] && echo "layering: every include points down"
exit $status
