#!/usr/bin/env bash
# Re-makes the committed archive fixtures with Info-ZIP zip (apt-get install
# zip). They stand for archives made by a real tool: Unix host, extended
# timestamps, traditional encryption. The tests know their contents.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

mkdir -p deepseek/deepseek
printf '#!/bin/sh\necho ollama setup\n' > deepseek/deepseek/OllamaSetup
chmod 755 deepseek/deepseek/OllamaSetup
head -c 20000 /dev/zero | tr '\0' 'c' > deepseek/deepseek/Chatbox-1.9.8-Setup
printf '安装说明\n' > deepseek/说明.txt
touch -d '2025-02-14 10:00:00 UTC' deepseek/deepseek/* deepseek/说明.txt deepseek/deepseek deepseek

rm -f "$here"/infozip_*.zip
zip -q -r -P markOakGrove "$here/infozip_encrypted.zip" deepseek
zip -q -r -0 "$here/infozip_stored.zip" deepseek
zip -q -r -9 "$here/infozip_deflated.zip" deepseek
# Zip64 records and extra fields even for small files, as some tools write.
zip -q -r -fz "$here/infozip_zip64.zip" deepseek
# A program in front of the archive, offsets not adjusted (zip -A not run),
# as a self-extracting setup carries its payload.
head -c 3000 /dev/zero | tr '\0' 'x' > stub
cat stub "$here/infozip_deflated.zip" > "$here/infozip_prefixed.zip"
ls -l "$here"/*.zip
