#!/usr/bin/env bash
# Builds the benchmarks optimised (build-bench, Release) and runs them.
#
#   bench/run.sh [transfer|locallist|responsiveness|fleet]...     (default: all)
#
# Arguments after "--" go to every benchmark program, e.g.
#   bench/run.sh transfer -- --repeat 9 --baud 460800
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
which=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    which+=("$1")
    shift
done
[ "${1:-}" = "--" ] && shift
if [ ${#which[@]} -eq 0 ]; then
    which=(transfer locallist responsiveness fleet)
fi
source "$root/scripts/deps.sh"
quarn_ensure_packages "${QUARN_BUILD_PACKAGES[@]}"
build="${QUARN_BENCH_BUILD:-$root/build-bench}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARN_BUILD_TESTS=OFF >/dev/null
targets=()
for name in "${which[@]}"; do
    case "$name" in
        transfer | locallist | responsiveness | fleet) targets+=("bench_$name") ;;
        *) echo "bench/run.sh: unknown benchmark $name" >&2; exit 2 ;;
    esac
done
cmake --build "$build" --target "${targets[@]}"
for target in "${targets[@]}"; do
    echo "== $target"
    QT_QPA_PLATFORM=offscreen "$build/bench/$target" "$@"
done
