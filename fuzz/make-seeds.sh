#!/usr/bin/env bash
# Writes the seed corpus of one fuzz target: make-seeds.sh TARGET FOLDER BUILD_FOLDER.
# The seeds come from the project's own fixtures: the malformed-TIFF corpus and well-formed pages,
# the default configuration as the program writes it, and the option names of the option table.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=$1
out=$2
build=$3
mkdir -p "$out"

option_names() {
  grep -o '"-[-A-Za-z0-9?]*"_n' "$root/src/cli/option_table.cpp" | sed 's/"_n$//; s/^"//' | sort -u
}

case $target in
config_file)
  # The target writes the program's own default file here when asked.
  TESSALINE_FUZZ_WRITE_SEED="$out/defaults.ini" "$build/fuzz/config_file_fuzz" -runs=0 >/dev/null 2>&1 || true
  printf '\xEF\xBB\xBF[Output]\r\nFormat=png\r\nJPG Quality=101\r\n[Output]\r\nFormat=jpg\r\n' >"$out/dup.ini"
  printf '[Transform]\nImage Rotation=-2147483648\nImage Width=99999999999\n[Watermark]\nText=%%filename%%\n' >"$out/range.ini"
  ;;
profile)
  { echo "[CLI]"; option_names | grep '^--' | while read -r name; do echo "$name = 1"; done; } >"$out/every-option.ini"
  printf '[CLI]\r\n--JPG-QUALITY = 90\r\n--OUTPUT-FORMAT=png\r\n[Other]\r\n--JPG-QUALITY=5\r\n' >"$out/groups.ini"
  printf '[cli]\n--FILENAME-MASK = %%filename%%_%%n%%.%%ext%%\n--PROFILE = profile.ini\n' >"$out/nested.ini"
  ;;
option_loop)
  i=0
  option_names | while read -r name; do
    i=$((i + 1))
    printf '%s\0%s' "$name" "1" >"$out/option-$i"
  done
  printf -- '-i\0in/a.tif\0-o\0out/\0-c\0png\0-q\0-d' >"$out/console-run"
  printf -- '--PROFILE\0profile.ini\0-i\0in/\0-c\0jpg' >"$out/profile-run"
  printf -- '-v' >"$out/version"
  ;;
list_import)
  printf 'in/a.tif\nin/sub/\nmissing.tif\n\n' >"$out/lines.txt"
  printf 'in/a.tif\r\nin/sub/b.TIFF\r\nin/empty.tif\r\nin/c.txt\r\nin/\r\n' >"$out/crlf.txt"
  printf '\xEF\xBB\xBFin/a.tif\n"in/sub/b.TIFF"\n./in/\nin/./sub/\n' >"$out/odd.txt"
  ;;
mask)
  for mask in '%filename%.%ext%' '%FILENAME%_%n%_%rnd%.%ext%' '%bpp%-%width%x%height%.%ext%' \
    '%date%_%time%_%yyyy%%mm%%dd%.%ext%' '%%%%%%' '%eol%%n%%n%' 'sub/../%filename%'; do
    { printf '\x05\x00\x00\x00\x07\x00\x00\x00\x18\x00\x00\x00\x10\x00\x00\x00\x0c\x00\x00\x00'; printf '%s' "$mask"; } \
      >"$out/mask-$(printf '%s' "$mask" | md5sum | cut -c1-8)"
  done
  ;;
process_file | tiff_reader)
  tiffs=$build/seeds/malformed-tiffs
  mkdir -p "$tiffs"
  "$build/tools/make-malformed" "$tiffs" >/dev/null
  "$build/tools/make-tiff-variants" "$tiffs" >/dev/null
  i=0
  for file in "$tiffs"/*.tif; do
    i=$((i + 1))
    # process_file: output format and steps vary from seed to seed; tiff_reader: CMYK kept or not.
    if [ "$target" = process_file ]; then
      prefix="\\x$(printf %02x $((i % 23)))\\x$(printf %02x $((i % 64)))"
    else
      prefix="\\x$(printf %02x $((i % 2)))"
    fi
    { printf "$prefix"; cat "$file"; } >"$out/$(basename "$file")"
  done
  ;;
*)
  echo "unknown fuzz target: $target" >&2
  exit 2
  ;;
esac
