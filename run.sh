#!/usr/bin/env bash
# Builds the program and runs it against the device emulator, with sample
# files on the emulated device and in a local folder. Installs missing
# packages first. Everything the run keeps lives in ./demo (delete it to
# start over).
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
source scripts/deps.sh
quarn_ensure_packages "${QUARN_BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja
cmake --build build --target quarnui trelm-devsim

demo="$root/demo"
com=7
# The ports folder must be private: whoever may write to it decides where
# the COM port leads, and the emulator refuses it otherwise.
mkdir -p "$demo/local" "$demo/device"
install -d -m 0700 "$demo/ports"

# The start-up folder. Texts and pictures come from this checkout on every
# run; the settings and the local sample files are prepared once.
cp resources/LANG_*.txt resources/ERR_*.txt resources/splash.bmp resources/OemLogo.bmp "$demo/"
if [ ! -f "$demo/quarnloader.ini" ]; then
    sed -e 's/^STATUS=.*/STATUS=1/' \
        -e "s|^LOCAL_PATH=.*|LOCAL_PATH=$demo/local|" \
        -e "s/^COM_PORT=.*/COM_PORT=$com/" \
        -e "s/^COM_BAUD=.*/COM_BAUD=115200/" \
        resources/quarnloader.ini > "$demo/quarnloader.ini"
    cp resources/samples/local/* "$demo/local/"
fi

# The emulated device keeps its files in demo/device between runs.
seeds=()
if [ -z "$(ls -A "$demo/device")" ]; then
    for f in resources/samples/device/*; do seeds+=(--seed "$f"); done
fi
# The emulated line runs at the baud rate of the settings, so a copy takes
# the time it takes on a real line and the progress window shows.
baud=$(sed -n 's/^COM_BAUD=\([0-9][0-9]*\).*/\1/p' "$demo/quarnloader.ini" | head -n 1)
pace=()
if [ -n "$baud" ]; then pace=(--baud "$baud"); fi
"$root/build/tools/devsim/trelm-devsim" --ports-dir "$demo/ports" --com "$com" \
    --store "$demo/device" "${pace[@]}" "${seeds[@]}" &
devsim=$!
trap 'kill "$devsim" 2>/dev/null; wait "$devsim" 2>/dev/null || true' EXIT
sleep 0.5

export TRELM_PORTS="$demo/ports"
cd "$demo"
"$root/build/Src/QuarnUI/quarnui" "$@"
