#!/usr/bin/env bash
# Checks a package made from the real release files, end to end, offline:
#
#   scripts/check_real_package.sh OLLAMA_ARCHIVE CHATBOX_APPIMAGE [MODEL]
#
#   OLLAMA_ARCHIVE    ollama-linux-amd64.tar.zst (or .tgz) as released
#   CHATBOX_APPIMAGE  Chatbox-<version>-x86_64.AppImage as released
#   MODEL             deepseek-r1:1.5b for the runner's store, which the real
#                     runner cannot fetch without its registry:
#                       a folder: a model store (manifests/, blobs/) holding it,
#                         copied into the install folder's store beforehand
#                       a .gguf file: a (tiny) model imported under that tag
#                         with the packaged runner (`ollama create`)
#                       left out: the runner pulls it (needs the network)
#
# Builds deepseek.zip from the two files (scripts/build_package.sh), serves it
# with the local vendor service, runs one whole installation through the
# engine as the window drives it (real_install_check: the install click with
# the first model) into a private home, and checks what it left: the runner's
# links, `ollama --version`, the model in the store, the chat client and its
# settings. Not part of CI. Needs these targets built first:
#
#   cmake --build --preset default --target tidewell_setup \
#       tidewell_attach_payload tidewell_vendor_service real_install_check
#
# BUILD=<folder> names another build folder (default build/default);
# KEEP=1 keeps the private home for a look afterwards.
set -euo pipefail
me=check_real_package.sh
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build/default}
tag=deepseek-r1:1.5b

(($# == 2 || $# == 3)) || { sed -n '2,27p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
archive=$(realpath -- "$1")
appimage=$(realpath -- "$2")
model=${3:+$(realpath -- "$3")}
service="$build/tools/vendor_service/tidewell_vendor_service"
check="$build/tests/integration/real_install_check"
for f in "$archive" "$appimage" "$service" "$check" "$build/setup/tidewell_setup"; do
  [[ -e $f ]] || { echo "$me: missing: $f" >&2; exit 1; }
done
command -v curl >/dev/null || { echo "$me: curl is missing" >&2; exit 1; }

# A private home: the vendor's own settings, key store, Chatbox settings and
# user services are never touched (no session bus, a runtime folder of ours).
state=$(mktemp -d "${TMPDIR:-/tmp}/tidewell-check.XXXXXXXX")
install="$state/home/AlTidewell"
service_pid='' prep_pid=''
stop_programs_below() {  # by pid: only programs started from our private home
  local entry exe
  for entry in /proc/[0-9]*; do
    exe=$(readlink "$entry/exe" 2>/dev/null) || continue
    if [[ $exe == "$state"/* ]]; then kill "${entry#/proc/}" 2>/dev/null || true; fi
  done
}
cleanup() {
  [[ -n $prep_pid ]] && kill "$prep_pid" 2>/dev/null
  [[ -n $service_pid ]] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  stop_programs_below
  if [[ ${KEEP:-0} == 1 ]]; then echo "kept: $state"; else rm -rf -- "$state"; fi
}
trap cleanup EXIT
mkdir -p "$state/home" "$state/config" "$state/data" "$state/tmp" "$state/run"
chmod 0700 "$state/run"
export HOME="$state/home" XDG_CONFIG_HOME="$state/config" XDG_DATA_HOME="$state/data"
export TMPDIR="$state/tmp" XDG_RUNTIME_DIR="$state/run"
unset DBUS_SESSION_BUS_ADDRESS OLLAMA_MODELS

free_port() {
  local port
  for _ in $(seq 50); do
    port=$((20000 + RANDOM % 20000))
    curl -s -o /dev/null --max-time 1 "http://127.0.0.1:$port/" || { echo "$port"; return; }
  done
  echo "$me: no free port found" >&2
  exit 1
}
wait_for_runner() {  # the real server answers only after its GPU discovery
  for _ in $(seq 240); do
    [[ $(curl -s --max-time 1 "http://$1/" || true) == "Ollama is running" ]] && return 0
    sleep 0.5
  done
  return 1
}

echo "== building the package"
bash "$root/scripts/build_package.sh" --runner "$archive" --client "$appimage" \
  --out "$state/deepseek.zip" --setup "$build/setup/tidewell_setup"

echo "== preparing the model store"
store="$install/ollama_models"
mkdir -p "$store"
if [[ -z $model ]]; then
  echo "no model given: the runner pulls $tag from its registry (needs the network)"
elif [[ -d $model ]]; then
  [[ -d $model/manifests/registry.ollama.ai/library/deepseek-r1 ]] ||
    { echo "$me: $model holds no deepseek-r1 manifest" >&2; exit 1; }
  cp -a -- "$model/." "$store/"
else
  # The packaged runner itself imports the file, into the store the engine
  # will use, on an address of its own.
  mkdir -p "$state/prep"
  case $(od -An -tx1 -N4 -- "$archive" | tr -d ' \n') in
    28b52ffd) zstd -q -dc -- "$archive" | tar -xf - -C "$state/prep" ;;
    *) gzip -dc -- "$archive" | tar -xf - -C "$state/prep" ;;
  esac
  address="127.0.0.1:$(free_port)"
  OLLAMA_HOST=$address OLLAMA_MODELS=$store "$state/prep/bin/ollama" serve >"$state/prep.log" 2>&1 &
  prep_pid=$!
  wait_for_runner "$address" || { cat "$state/prep.log"; echo "$me: the runner did not start" >&2; exit 1; }
  printf 'FROM %s\n' "$model" >"$state/Modelfile"
  OLLAMA_HOST=$address "$state/prep/bin/ollama" create "$tag" -f "$state/Modelfile"
  kill "$prep_pid"
  wait "$prep_pid" 2>/dev/null || true
  prep_pid=''
fi

echo "== the vendor service"
"$service" --port 0 --port-file "$state/port" --event-log "$state/events.log" \
  --package "$state/deepseek.zip" >"$state/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 100); do [[ -s $state/port ]] && break; sleep 0.05; done
[[ -s $state/port ]] || { cat "$state/service.log"; echo "$me: the vendor service did not start" >&2; exit 1; }
TIDEWELL_SERVICE_URL="http://127.0.0.1:$(cat "$state/port")"
export TIDEWELL_SERVICE_URL
# An address of its own for our runner: a runner already on this machine is
# never mistaken for ours.
OLLAMA_HOST="127.0.0.1:$(free_port)"
export OLLAMA_HOST

echo "== the installation (engine, install click, $tag)"
status=0
"$check" "$install" 30 || status=$?

echo "== what it left"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
runner="$install/ollama_location"
[[ -x $runner/ollama && -x $runner/bin/ollama ]] || fail "no runner in $runner"
links=$(find "$runner" -type l 2>/dev/null | wc -l)
broken=$(find "$runner" -xtype l 2>/dev/null)
echo "runner links: $links"
[[ -z $broken ]] || fail "links that lead nowhere: $broken"
version=$("$runner/ollama" --version 2>&1) || fail "ollama --version: $version"
echo "$version"
[[ -e $store/manifests/registry.ollama.ai/library/deepseek-r1/1.5b ]] ||
  fail "$tag is not in the store $store"
[[ -n $(ls -A "$install/chatbox_location" 2>/dev/null) ]] || fail "no chat client in $install/chatbox_location"
settings="$XDG_CONFIG_HOME/xyz.chatboxapp.app/config.json"
grep -q "$tag" "$settings" 2>/dev/null || fail "the chat client's settings do not name $tag"
echo "events: $(cut -f2 "$state/events.log" 2>/dev/null | tr '\n' ' ')"

if ((status != 0 || failures != 0)); then
  echo "== check FAILED (installation exit $status, $failures findings)"
  exit 1
fi
echo "== check passed"
