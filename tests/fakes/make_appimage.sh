#!/usr/bin/env bash
# Gives the client stand-in the shape of a type 2 AppImage, as the vendor's
# download has it: the program (the runtime's place) marked "AI\x02" at
# offset 8, followed by where the squashfs image starts ("hsqs"). The mark
# sits in the ELF identification's padding and the image after the last
# section header, so the program still runs as it did.
set -euo pipefail
in=$1 out=$2
tmp=$(mktemp "$out.XXXXXX")
trap 'rm -f "$tmp"' EXIT
cp "$in" "$tmp"
# The ELF part must end with its section header table for the image to
# start right after it (e_shoff + e_shentsize * e_shnum).
le() { od -An -t u"$2" -j "$1" -N "$2" "$tmp" | tr -d ' '; }
shoff=$(le 40 8) entsize=$(le 58 2) count=$(le 60 2)
(( shoff + entsize * count == $(stat -c %s "$tmp") )) ||
  { echo "make_appimage.sh: $in does not end with its section headers" >&2; exit 1; }
printf 'AI\002' | dd of="$tmp" bs=1 seek=8 conv=notrunc status=none
printf 'hsqs' >>"$tmp"
chmod 0755 "$tmp"
mv "$tmp" "$out"
trap - EXIT
