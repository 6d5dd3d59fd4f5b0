#!/usr/bin/env bash
# Builds the vendor's install package: a zip whose top folder deepseek/ holds
# the two Linux setups, each our setup program with its payload appended:
#
#   deepseek/OllamaSetup            payload: the runner, `ollama` at its top
#   deepseek/Chatbox-1.9.8-Setup    payload: the chat client as `Chatbox`
#
# usage: build_package.sh (--runner ARCHIVE | --runner-program FILE)
#                         (--client APPIMAGE | --client-program FILE)
#                         --out ZIP [--setup PROGRAM] [--attach PROGRAM]
#
#   --runner          the runner's official Linux release archive, known by
#                     its content: ollama-linux-amd64.tar.zst (0.14 on) or
#                     ollama-linux-amd64.tgz, holding bin/ollama, lib/ollama/
#   --runner-program  a plain runner program instead (our stand-in)
#   --client          the chat client's official Linux AppImage
#   --client-program  a plain chat client program instead (our stand-in)
#   --setup           tidewell_setup (default: build/default/setup/tidewell_setup)
#   --attach          tidewell_attach_payload (default: beside --setup)
#
# Needs Info-ZIP's zip (it keeps Unix modes and, with -y, links), tar, gzip,
# zstd, od and timeout. Nothing is written unless every check passes.
set -euo pipefail
umask 022  # the payload's modes are the archive's, not the vendor's umask

root=$(cd "$(dirname "$0")/.." && pwd)
me=build_package.sh
runner='' runner_plain='' client='' client_plain='' out=''
setup="$root/build/default/setup/tidewell_setup" attach=''

die() { echo "$me: $*" >&2; exit 1; }
usage() { sed -n '2,22p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

while (($#)); do
  (($# >= 2)) || { echo "$me: $1 needs a value" >&2; exit 2; }
  case $1 in
    --runner) runner=$2 ;;
    --runner-program) runner_plain=$2 ;;
    --client) client=$2 ;;
    --client-program) client_plain=$2 ;;
    --out) out=$2 ;;
    --setup) setup=$2 ;;
    --attach) attach=$2 ;;
    *) echo "$me: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
[[ -n $attach ]] || attach="$(dirname "$setup")/tidewell_attach_payload"
[[ -n $out ]] || usage
[[ -n $runner && -n $runner_plain ]] && { echo "$me: give --runner or --runner-program, not both" >&2; exit 2; }
[[ -n $client && -n $client_plain ]] && { echo "$me: give --client or --client-program, not both" >&2; exit 2; }
[[ -n $runner$runner_plain && -n $client$client_plain ]] || usage
given=("$setup" "$attach")
for f in "$runner" "$runner_plain" "$client" "$client_plain"; do [[ -z $f ]] || given+=("$f"); done
for f in "${given[@]}"; do
  [[ -f $f ]] || die "no such file: $f"
done
for tool in zip tar gzip od timeout; do
  command -v "$tool" >/dev/null || die "$tool is missing (scripts/deps.sh installs it)"
done

# ---- What a file is, from its first bytes ----------------------------------

hex() { od -An -v -tx1 -j "$2" -N "$3" -- "$1" | tr -d ' \n'; }
number() { od -An -v -tu"$3" -j "$2" -N "$3" --endian=little -- "$1" | tr -d ' \n'; }

kind_of() {
  local head
  head=$(hex "$1" 0 4)
  case $head in
    1f8b*) echo gzip ;;
    28b52ffd) echo zstd ;;
    fd377a58) echo xz ;;
    425a68*) echo bzip2 ;;
    504b0304 | 504b0506) echo zip ;;
    7f454c46) echo elf ;;
    2321*) echo script ;;
    *) [[ $(hex "$1" 257 5) == 7573746172 ]] && echo tar || echo unknown ;;
  esac
}

describe() {
  case $1 in
    gzip | zstd | xz | bzip2) echo "a $1-compressed archive" ;;
    zip) echo "a zip archive" ;;
    tar) echo "an uncompressed tar archive" ;;
    elf) echo "an ELF program" ;;
    script) echo "a script" ;;
    *) echo "neither an archive nor a program" ;;
  esac
}

# A type 2 AppImage: an ELF runtime marked "AI\x02" at offset 8, followed by
# the squashfs image where the ELF's section headers end.
is_appimage() {
  [[ $(hex "$1" 0 4) == 7f454c46 && $(hex "$1" 8 3) == 414902 ]] || return 1
  local shoff entsize count
  case $(hex "$1" 4 1) in
    02) shoff=$(number "$1" 40 8) entsize=$(number "$1" 58 2) count=$(number "$1" 60 2) ;;
    01) shoff=$(number "$1" 32 4) entsize=$(number "$1" 46 2) count=$(number "$1" 48 2) ;;
    *) return 1 ;;
  esac
  [[ -n $shoff && -n $entsize && -n $count ]] || return 1
  [[ $(hex "$1" $((shoff + entsize * count)) 4) == 68737173 ]]  # "hsqs"
}

# ---- Checks on the runner's archive -----------------------------------------

decompress() {
  case $runner_kind in
    gzip) gzip -dc -- "$runner" ;;
    zstd) zstd -q -dc -- "$runner" ;;
  esac
}

# A member name as tar lists it: below bin/ or lib/, relative, no "..".
check_member() {
  local name=$1 type=$2 rest part
  rest=$name
  while [[ $rest == ./* ]]; do rest=${rest#./}; done
  [[ $rest == /* ]] && die "$runner: refusing the member \"$name\": an absolute path"
  [[ $rest == *\\* ]] && die "$runner: refusing the member \"$name\": unusual characters in its name"
  local parts
  IFS=/ read -r -a parts <<<"$rest"
  for part in "${parts[@]}"; do
    [[ $part == .. ]] && die "$runner: refusing the member \"$name\": it climbs with \"..\""
  done
  rest=${rest%/}
  case $type in
    -|d|l) ;;
    h) die "$runner: refusing the member \"$name\": hard links are not carried" ;;
    *) die "$runner: refusing the member \"$name\": not a file, folder or symbolic link" ;;
  esac
  if [[ -z $rest || $rest == . ]]; then
    [[ $type == d ]] || die "$runner: refusing the member \"$name\": the top is not a folder"
    return
  fi
  case $rest in
    bin | bin/* | lib | lib/*) ;;
    *) die "$runner: refusing the member \"$name\": only bin/ and lib/ belong at the top" ;;
  esac
}

check_members() {
  local names types count=0 name
  names=$(decompress | tar -tf -) || die "$runner: cannot list it (not a tar archive inside the compression?)"
  types=$(decompress | tar -tvf - | cut -c1) || die "$runner: cannot list it"
  [[ -n $names ]] || die "$runner: the archive is empty"
  (($(wc -l <<<"$names") == $(wc -l <<<"$types"))) || die "$runner: its listing is inconsistent"
  while IFS= read -r -u 3 name && IFS= read -r -u 4 type; do
    check_member "$name" "$type"
    count=$((count + 1))
  done 3<<<"$names" 4<<<"$types"
  echo "runner archive: $count members checked"
}

# The rule the setup program applies: a relative target whose ".." steps all
# come first and climb no higher than the top of the payload.
check_links() {
  local dir=$1 link name target depth climbs named part parts
  while IFS= read -r -d '' link; do
    name=${link#"$dir"/}
    target=$(readlink -- "$link")
    [[ $target != *$'\n'* ]] || die "$runner: refusing the link \"$name\": a line break in its target"
    [[ -n $target && $target != /* ]] ||
      die "$runner: refusing the link \"$name\" -> \"$target\": only relative targets are kept"
    depth=$(tr -cd / <<<"$name" | wc -c)
    climbs=0 named=0
    IFS=/ read -r -a parts <<<"$target"
    for part in "${parts[@]}"; do
      case $part in
        ..) ((named == 0)) || die "$runner: refusing the link \"$name\" -> \"$target\": \"..\" after a named step"
            climbs=$((climbs + 1))
            ((climbs <= depth)) || die "$runner: refusing the link \"$name\" -> \"$target\": it leads out of the runner's folder" ;;
        '' | .) ;;
        *) named=1 ;;
      esac
    done
  done < <(find "$dir" -type l -print0)
}

# The staged runner must start: bin/ollama --version needs no server (without
# one it warns and prints "client version is X") and exits 0.
check_runs() {
  local program=$1 output status=0
  mkdir -p "$stage/home"
  output=$(cd "$stage/home" && HOME="$stage/home" OLLAMA_HOST=127.0.0.1:1 \
    timeout 60 "$program" --version 2>&1 </dev/null) || status=$?
  ((status != 124)) || die "the runner ($program --version) did not finish within 60 s"
  ((status == 0)) || die "the runner does not run here: $program --version exited with $status: $(head -c 400 <<<"$output")"
  grep -q 'version is ' <<<"$output" ||
    die "the runner printed no version: $program --version said: $(head -c 400 <<<"$output")"
  echo "runner: $(grep 'version is ' <<<"$output" | tail -n 1)"
}

# ---- What was given ---------------------------------------------------------

if [[ -n $runner ]]; then
  runner_kind=$(kind_of "$runner")
  case $runner_kind in
    gzip) ;;
    zstd) command -v zstd >/dev/null || die "zstd is missing (apt-get install zstd)" ;;
    *) die "--runner $runner is not the runner's release archive (a gzip- or zstd-compressed tar): it is $(describe "$runner_kind"); a plain program goes with --runner-program" ;;
  esac
else
  kind=$(kind_of "$runner_plain")
  [[ $kind == elf || $kind == script ]] ||
    die "--runner-program $runner_plain is not a program: it is $(describe "$kind"); a release archive goes with --runner"
fi
if [[ -n $client ]]; then
  is_appimage "$client" ||
    die "--client $client is not an AppImage (an ELF program marked \"AI\\x02\" at offset 8 with a squashfs image after it): it is $(describe "$(kind_of "$client")"); a plain program goes with --client-program"
else
  is_appimage "$client_plain" &&
    die "--client-program $client_plain is an AppImage, not a plain program: it goes with --client"
  kind=$(kind_of "$client_plain")
  [[ $kind == elf || $kind == script ]] ||
    die "--client-program $client_plain is not a program: it is $(describe "$kind"); an AppImage goes with --client"
fi
command -v zip >/dev/null || die "zip is missing (apt-get install zip)"

stage=$(mktemp -d)
trap 'rm -rf -- "$stage"' EXIT
mkdir -p "$stage/runner" "$stage/client" "$stage/out/deepseek"

# The runner: an archive keeps its layout, with a small `ollama` at the top
# that starts bin/ollama (which finds lib/ollama beside its own path).
if [[ -n $runner ]]; then
  check_members
  decompress | tar -xf - -C "$stage/runner" --no-same-owner --no-same-permissions ||
    die "$runner: unpacking it failed"
  strays=$(find "$stage/runner" ! -type f ! -type d ! -type l | head -n 1)
  [[ -z $strays ]] || die "$runner: refusing the member ${strays#"$stage/runner/"}: not a file, folder or symbolic link"
  check_links "$stage/runner"
  bin="$stage/runner/bin/ollama"
  [[ -f $bin && ! -L $bin && -x $bin ]] || die "$runner has no runnable bin/ollama"
  check_runs "$bin"
  cat > "$stage/runner/ollama" <<'WRAPPER'
#!/bin/sh
here=$(dirname -- "$(readlink -f -- "$0")")
exec "$here/bin/ollama" "$@"
WRAPPER
  chmod 0755 "$stage/runner/ollama"
else
  cp -- "$runner_plain" "$stage/runner/ollama"
  chmod 0755 "$stage/runner/ollama"
  check_runs "$stage/runner/ollama"
fi

cp -- "$client$client_plain" "$stage/client/Chatbox"
chmod 0755 "$stage/client/Chatbox"

# -y: links go in as links (the setup program makes them again).
(cd "$stage/runner" && zip -q -r -X -y "$stage/runner.zip" .)
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
