#!/usr/bin/env bash
# Renders the main window in each of its states to docs/screenshots/ from the
# default build (make build-default first). The program runs offscreen with a
# throw-away home, so nothing of the real one is read or written.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
app="$root/build/default/app/tidewell"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
# Renders one state ($1) in one language ($2) to the file $3.
render() {
  env -i PATH="$PATH" HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$home" \
    TIDEWELL_SERVICE_URL=http://127.0.0.1:9 QT_QPA_PLATFORM=offscreen TIDEWELL_LANGUAGE="$2" \
    TIDEWELL_SCREENSHOT="$root/docs/screenshots/$3" TIDEWELL_SCREENSHOT_STATE="$1" "$app"
}
for state in install download setup runner model loading finished not_answered progress models manage uninstall repair update updated notice local_package gpu; do
  render "$state" zh "main_$state.png"
done
# The English window, as a system in any other language than Chinese shows
# it: every state the English guide pictures.
for state in install download setup model loading finished not_answered progress models update updated; do
  render "$state" en "main_${state}_en.png"
done
