#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, -fsanitize=fuzzer,address,undefined)
# in build-fuzz and runs each for a bounded time.
#
#   fuzz/run.sh [SECONDS] [TARGET...]      (default: 30 s each; all targets)
#   TARGET: device, iniex, language
#
# Each target starts from its committed seeds in fuzz/corpus/TARGET (copied,
# so new inputs stay in build-fuzz/corpus) plus, for iniex and language, the
# shipped settings and language files. A finding stops the run with its input
# in build-fuzz/artifacts/ and the script fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(device iniex language)
fi
source "$root/scripts/deps.sh"
quarn_ensure_packages "${QUARN_BUILD_PACKAGES[@]}" clang-14 libclang-rt-14-dev
build="${QUARN_FUZZ_BUILD:-$root/build-fuzz}"
cxx="${QUARN_FUZZ_CXX:-$(command -v clang++-14 || command -v clang++)}"
cc="${QUARN_FUZZ_CC:-$(command -v clang-14 || command -v clang)}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DQUARN_FUZZ=ON -DQUARN_BUILD_TESTS=OFF -DQUARN_BUILD_PROGRAM=OFF >/dev/null
cmake --build "$build" --target fuzzers

mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    cp -n "$root/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
    extra=()
    case "$target" in
        device) extra=(-max_len=8192) ;;
        iniex) extra=("-seed_inputs=$root/resources/quarnloader.ini") ;;
        language)
            seeds=$(ls "$root"/resources/LANG_*.txt "$root"/resources/ERR_*.txt | paste -sd, -)
            extra=("-seed_inputs=$seeds") ;;
        *) echo "fuzz/run.sh: unknown target $target" >&2; exit 2 ;;
    esac
    echo "== fuzz_$target for $seconds s"
    "$build/fuzz/fuzz_$target" "$corpus" -max_total_time="$seconds" -timeout=20 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
        "${extra[@]}"
done
