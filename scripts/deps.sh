#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing,
# so a second run costs a few dpkg queries.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-svg-dev
  qt6-translations-l10n  # Qt's own texts in Chinese (the folder dialog)
  libcurl4-openssl-dev libjsoncpp-dev zlib1g-dev libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev openssl
  clang libclang-rt-14-dev
  fonts-wqy-microhei fonts-dejavu-core xvfb xauth  # the guide: Chinese, English
  zip zstd  # the package builder: runner release archives are .tgz or .tar.zst
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
fi
