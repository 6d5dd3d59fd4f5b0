#!/usr/bin/env bash
# Paints the frames of the four stage images with Qt and joins them into
# looping GIFs with ImageMagick (Debian's imagemagick package):
#   bash res/artwork/make_gifs.sh
# The results go to res/images/stage_*.gif and are committed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build="$root/build/artwork"
command -v convert >/dev/null || { echo "needs ImageMagick's convert (apt-get install imagemagick)"; exit 1; }

cmake -S "$here" -B "$build" -G Ninja >/dev/null
cmake --build "$build" >/dev/null
frames="$build/frames"
rm -rf "$frames" && mkdir -p "$frames"
QT_QPA_PLATFORM=offscreen "$build/paint_stage_frames" "$frames"
# The same frames with English words, for the English window.
QT_QPA_PLATFORM=offscreen "$build/paint_stage_frames" "$frames" en

for stage in install download setup model install_en download_en setup_en model_en; do
  # 8 hundredths per frame; frames differ little, so only changed parts are
  # stored (-layers Optimize).
  convert -delay 8 -loop 0 "$frames/$stage"_[0-9]*.png -layers Optimize \
    "$root/res/images/stage_$stage.gif"
  echo "res/images/stage_$stage.gif: $(stat -c %s "$root/res/images/stage_$stage.gif") bytes"
done
