#!/usr/bin/env bash
# Builds the fuzz targets (once, in build-fuzz/ or $TESSALINE_FUZZ_BUILD_DIR), makes the seed corpus
# from the project's fixtures, and fuzzes one target for a number of seconds:
#   fuzz/run.sh TARGET SECONDS      TARGET: config_file profile option_loop list_import mask process_file
#                                   tiff_reader
# Crashes land in fuzz/findings/TARGET/; the corpus grows in $build/corpus/TARGET.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?usage: fuzz/run.sh TARGET SECONDS}
seconds=${2:?usage: fuzz/run.sh TARGET SECONDS}
build=${TESSALINE_FUZZ_BUILD_DIR:-$root/build-fuzz}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"

if [ ! -f "$build/CMakeCache.txt" ]; then
  generator=()
  command -v ninja >/dev/null && generator=(-G Ninja)
  cmake -S "$root" -B "$build" "${generator[@]}" -DTESSALINE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DTESSALINE_SANITIZED_LIBTIFF=ON -DTESSALINE_LIBTIFF_FLAGS="$flags" >/dev/null
fi
targets=("${target}_fuzz")
# its seeds are the malformed-TIFF corpus and one TIFF of every layout the libtiff decode path reads
case $target in process_file | tiff_reader) targets+=(make-malformed make-tiff-variants) ;; esac
cmake --build "$build" --target "${targets[@]}" --parallel "$(nproc)"

corpus=$build/corpus/$target
seeds=$build/seeds/$target
findings=$root/fuzz/findings/$target
mkdir -p "$corpus" "$seeds" "$findings"
"$root/fuzz/make-seeds.sh" "$target" "$seeds" "$build"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp:print_suppressions=0}
export QT_QPA_PLATFORM=offscreen
dict=()
[ -f "$root/fuzz/$target.dict" ] && dict=(-dict="$root/fuzz/$target.dict")
exec "$build/fuzz/${target}_fuzz" "$corpus" "$seeds" "${dict[@]}" \
  -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=65536 \
  -artifact_prefix="$findings/" -print_final_stats=1
