#!/usr/bin/env bash
# Makes the benchmark archives in $1 (once; kept between runs):
#   a.zip  one 600 MB incompressible file + 2,000 files of 1-200 KB
#   b.zip  20,000 files of 1-8 KB
#   c.zip  a.zip's tree with traditional encryption
set -euo pipefail
dir="$(realpath -m "$1")"  # the script moves into it
mkdir -p "$dir"
cd "$dir"
[[ -f c.zip && -f b.zip && -f a.zip ]] && exit 0

rm -rf tree-a tree-b
mkdir -p tree-a/deepseek/deepseek tree-b
head -c 600M /dev/urandom > tree-a/deepseek/deepseek/OllamaSetup
# Text-like small files compress as real packages do; a few are noise.
python3 - <<'PY'
import os, random
random.seed(1)
words = [b"model", b"runner", b"chat", b"install", b"deepseek", b"layer", b"token", b"\n"]
def body(n, noisy):
    if noisy:
        return os.urandom(n)
    out = bytearray()
    while len(out) < n:
        out += random.choice(words) + b" "
    return bytes(out[:n])
for i in range(2000):
    d = f"tree-a/deepseek/res/{i % 40:02d}"
    os.makedirs(d, exist_ok=True)
    with open(f"{d}/f{i:04d}.dat", "wb") as f:
        f.write(body(random.randint(1024, 200 * 1024), i % 10 == 0))
for i in range(20000):
    d = f"tree-b/{i % 200:03d}"
    os.makedirs(d, exist_ok=True)
    with open(f"{d}/s{i:05d}.txt", "wb") as f:
        f.write(body(random.randint(1024, 8 * 1024), False))
PY
(cd tree-a && zip -q -r ../a.zip deepseek)
(cd tree-b && zip -q -r ../b.zip .)
(cd tree-a && zip -q -r -P markOakGrove ../c.zip deepseek)
rm -rf tree-a tree-b
ls -l "$dir"/*.zip
