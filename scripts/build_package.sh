#!/usr/bin/env bash
# Builds the vendor's install package: a zip whose top folder deepseek/ holds
# the two Linux setups, each our setup program with its payload appended:
#
#   deepseek/OllamaSetup            payload: the runner, `ollama` at its top
#   deepseek/Chatbox-1.9.8-Setup    payload: the chat client as `Chatbox`
#
# usage: build_package.sh --runner FILE --client FILE --out ZIP
#                         [--setup PROGRAM] [--attach PROGRAM]
#
#   --runner  the official runner archive (ollama-linux-amd64.tgz: bin/ollama
#             and lib/ollama/...), or a plain executable (the stand-in)
#   --client  the chat client: the official Chatbox-*.AppImage, or the stand-in
#   --setup   tidewell_setup (default: build/default/setup/tidewell_setup)
#   --attach  tidewell_attach_payload (default: beside --setup)
#
# Needs Info-ZIP's zip (it keeps Unix modes, so exec bits survive) and tar.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runner='' client='' out='' setup="$root/build/default/setup/tidewell_setup" attach=''
while (($#)); do
  (($# >= 2)) || { echo "build_package.sh: $1 needs a value" >&2; exit 2; }
  case $1 in
    --runner) runner=$2 ;;
    --client) client=$2 ;;
    --out) out=$2 ;;
    --setup) setup=$2 ;;
    --attach) attach=$2 ;;
    *) echo "build_package.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
[[ -n $attach ]] || attach="$(dirname "$setup")/tidewell_attach_payload"
if [[ -z $runner || -z $client || -z $out ]]; then
  sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi
for f in "$runner" "$client" "$setup" "$attach"; do
  [[ -f $f ]] || { echo "build_package.sh: no such file: $f" >&2; exit 1; }
done
command -v zip >/dev/null || { echo "build_package.sh: zip is missing (apt-get install zip)" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf -- "$stage"' EXIT
mkdir -p "$stage/runner" "$stage/client" "$stage/out/deepseek"

# The runner: an archive keeps its layout, with a small `ollama` at the top
# that starts bin/ollama (which finds lib/ollama beside its own path).
if tar -tf "$runner" >/dev/null 2>&1; then
  tar -xf "$runner" -C "$stage/runner" --no-same-owner
  [[ -x $stage/runner/bin/ollama ]] || { echo "build_package.sh: $runner has no bin/ollama" >&2; exit 1; }
  cat > "$stage/runner/ollama" <<'WRAPPER'
#!/bin/sh
here=$(dirname -- "$(readlink -f -- "$0")")
exec "$here/bin/ollama" "$@"
WRAPPER
else
  cp -- "$runner" "$stage/runner/ollama"
fi
chmod 0755 "$stage/runner/ollama"

cp -- "$client" "$stage/client/Chatbox"
chmod 0755 "$stage/client/Chatbox"

(cd "$stage/runner" && zip -q -r -X "$stage/runner.zip" .)
(cd "$stage/client" && zip -q -r -X "$stage/client.zip" .)
"$attach" "$setup" "$stage/runner.zip" "$stage/out/deepseek/OllamaSetup"
"$attach" "$setup" "$stage/client.zip" "$stage/out/deepseek/Chatbox-1.9.8-Setup"
(cd "$stage/out" && zip -q -r -X "$stage/deepseek.zip" deepseek)

# Into place in one step, beside the destination.
mkdir -p -- "$(dirname -- "$out")"
partial=$(mktemp "$out.partial-XXXXXX")
cp -- "$stage/deepseek.zip" "$partial"
chmod 0644 "$partial"
mv -f -- "$partial" "$out"
echo "built $out"
