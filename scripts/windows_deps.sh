#!/usr/bin/env bash
# What the Windows cross-build needs: the mingw-w64 compilers and Wine from
# Debian, zlib from libz-mingw-w64-dev, and the libraries Debian does not
# ship for mingw (jsoncpp, GoogleTest, curl with Schannel) built from
# Debian's own source packages into build/windows-deps/, once per pinned
# version. A second run costs a few dpkg queries and stamp checks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix="$root/build/windows-deps/prefix"
sources="$root/build/windows-deps/sources"
host=x86_64-w64-mingw32

# Pinned: the versions bookworm carries. A newer one in the archive fails
# here rather than building something untested.
declare -A pinned=(
  [libjsoncpp]=1.9.5-4
  [googletest]=1.12.1-0.2
  [curl]=7.88.1-10+deb12u15
  [cpp-httplib]=0.11.4+ds-1+deb12u1
)

sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)

packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 dpkg-dev cmake ninja-build)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Source packages come from Debian's deb-src entries, in a file of our own.
src_list=/etc/apt/sources.list.d/tidewell-deb-src.sources
need_update=0
if ! grep -rqs "^Types:.*deb-src" /etc/apt/sources.list.d/ && ! grep -qs "^deb-src" /etc/apt/sources.list; then
  printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" \
    "Suites: bookworm bookworm-updates" "Components: main" \
    "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
    "${sudo_cmd[@]}" tee "$src_list" >/dev/null
  need_update=1
fi
if ((${#missing[@]})) || ((need_update)); then
  "${sudo_cmd[@]}" apt-get update -q
fi
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
fi

# Brings the pinned source package, unpacked with Debian's patches applied.
fetch_source() {
  local package=$1 version=${pinned[$1]}
  local dir="$sources/$package-$version"
  if [[ ! -f $dir/.unpacked ]]; then
    rm -rf "$dir" && mkdir -p "$dir"
    (cd "$dir" && apt-get source -q -o APT::Sandbox::User=root "$package=$version" >/dev/null)
    touch "$dir/.unpacked"
  fi
  # The one folder apt-get made beside the .dsc and tarballs.
  find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n1
}

# Builds and installs one CMake project into the prefix unless its stamp
# says this version is there already.
build_cmake() {
  local package=$1 source=$2
  shift 2
  local stamp="$prefix/.built-$package-${pinned[$package]}"
  [[ -f $stamp ]] && return 0
  echo "Building $package ${pinned[$package]} for $host"
  local build="$root/build/windows-deps/build-$package"
  rm -rf "$build"
  cmake -S "$source" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF "$@" >/dev/null
  cmake --build "$build" >/dev/null
  cmake --install "$build" >/dev/null
  rm -rf "$build"
  touch "$stamp"
}

mkdir -p "$prefix" "$sources"
build_cmake libjsoncpp "$(fetch_source libjsoncpp)" \
  -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
  -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF
build_cmake googletest "$(fetch_source googletest)" -Dgtest_disable_pthreads=OFF
# Schannel: Windows' own TLS and certificate store, no OpenSSL to carry.
build_cmake curl "$(fetch_source curl)" \
  -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF -DUSE_LIBIDN2=OFF \
  -DCURL_USE_LIBPSL=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF \
  -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DCURL_DISABLE_LDAP=ON -DENABLE_MANUAL=OFF \
  -DCURL_ZLIB=ON
# cpp-httplib (our test servers) is used as its one header.
if [[ ! -f $prefix/.built-cpp-httplib-${pinned[cpp-httplib]} ]]; then
  mkdir -p "$prefix/include"
  install -m 0644 "$(fetch_source cpp-httplib)/httplib.h" "$prefix/include/httplib.h"
  touch "$prefix/.built-cpp-httplib-${pinned[cpp-httplib]}"
fi
