#!/usr/bin/env bash
# Builds everything and runs every test. Installs missing packages first.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
quarn_ensure_packages "${QUARN_BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja
cmake --build build
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j2 "$@"
