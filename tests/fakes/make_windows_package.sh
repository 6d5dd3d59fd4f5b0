#!/usr/bin/env bash
# Builds the Windows test package on the (Linux) build host: the vendor's zip
# with top folder deepseek/ holding the two Windows setups, each our setup
# program with its payload appended:
#
#   deepseek/OllamaSetup.exe           payload: the runner as ollama.exe
#   deepseek/Chatbox-1.9.8-Setup.exe   payload: the chat client as Chatbox.exe
#
# usage: make_windows_package.sh SETUP.exe ATTACH.exe RUNNER.exe CLIENT.exe OUT.zip [EMULATOR...]
#
# ATTACH.exe is a Windows program: it runs through EMULATOR (the build's
# scripts/wine_run.sh). It is given names relative to a private stage
# folder, so no host path has to be turned into a Windows one.
set -euo pipefail
umask 022
(($# >= 5)) || { sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
setup=$1 attach=$2 runner=$3 client=$4 out=$5
shift 5
for f in "$setup" "$attach" "$runner" "$client"; do
  [[ -f $f ]] || { echo "make_windows_package.sh: no such file: $f" >&2; exit 1; }
done
command -v zip >/dev/null || { echo "make_windows_package.sh: zip is missing" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf -- "$stage"' EXIT
mkdir -p "$stage/runner" "$stage/client" "$stage/out/deepseek"
cp -- "$runner" "$stage/runner/ollama.exe"
cp -- "$client" "$stage/client/Chatbox.exe"
cp -- "$setup" "$stage/setup.exe"
(cd "$stage/runner" && zip -q -r -X ../runner.zip .)
(cd "$stage/client" && zip -q -r -X ../client.zip .)
(cd "$stage" && "$@" "$attach" setup.exe runner.zip out/deepseek/OllamaSetup.exe)
(cd "$stage" && "$@" "$attach" setup.exe client.zip out/deepseek/Chatbox-1.9.8-Setup.exe)
for f in OllamaSetup.exe Chatbox-1.9.8-Setup.exe; do
  [[ -s $stage/out/deepseek/$f ]] || { echo "make_windows_package.sh: $f was not made" >&2; exit 1; }
done
(cd "$stage/out" && zip -q -r -X ../deepseek.zip deepseek)

# Into place in one step, beside the destination.
mkdir -p -- "$(dirname -- "$out")"
partial=$(mktemp "$out.partial-XXXXXX")
cp -- "$stage/deepseek.zip" "$partial"
chmod 0644 "$partial"
mv -f -- "$partial" "$out"
echo "built $out"
