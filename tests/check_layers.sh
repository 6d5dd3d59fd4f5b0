#!/usr/bin/env bash
# Arrows point down: each folder includes only the layers below it, nothing
# below ui/ includes Qt, and the window and the program's start take only the
# engine and its view from install/. Prints every offending line.
set -uo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"

# folder: the project folders it may include from (besides itself)
declare -A allowed=(
  [platform]=""
  [base]="platform"
  [config]="platform base"
  [catalogue]="platform base"
  [work]="platform base config"
  [net]="platform base"
  [service]="platform base config net"
  [package]="platform base config net"
  [install]="platform base config catalogue work net service package"
  [setup]="platform base config package"
  [ui]="platform base config catalogue work install"
  [app]="platform base config catalogue work service ui install"
  [tools]="platform base config catalogue package"
)
project_dirs="platform base config catalogue work net service package install setup ui app tools tests"
# What ui/ and app/ may take from install/.
engine_headers="install/install_engine.h install/install_view.h install/engine_state.h install/user_questions.h install/status_command.h install/manage_engine.h install/manage_view.h install/uninstall_command.h install/update_command.h"

status=0
for layer in "${!allowed[@]}"; do
  [[ -d $layer ]] || continue
  if [[ $layer != ui && $layer != app && $layer != tools ]]; then
    qt=$(grep -rnE '#\s*include\s*[<"](Q[A-Za-z]+|qt[A-Za-z]*/)' "$layer" || true)
    if [[ -n $qt ]]; then
      echo "Qt below ui/:"; echo "$qt"; status=1
    fi
  fi
  for dir in $project_dirs; do
    [[ $dir == "$layer" ]] && continue
    bad=$(grep -rnE "#\s*include\s*[<\"]$dir/" "$layer" || true)
    if [[ " ${allowed[$layer]} " == *" $dir "* ]]; then
      [[ $dir == install && ($layer == ui || $layer == app) ]] || continue
      for header in $engine_headers; do bad=$(grep -v "[<\"]$header[>\"]" <<<"$bad" || true); done
    fi
    if [[ -n $bad ]]; then
      echo "$layer/ must not include $dir/ (or not these headers):"; echo "$bad"; status=1
    fi
  done
done
[[ $status -eq 0 ]] && echo "layering: every include points down"
exit $status
