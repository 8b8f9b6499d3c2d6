#!/usr/bin/env bash
# Installs the built tree into a temporary prefix and uses it the way people
# outside the project do: a C program built with find_package(trelm), one
# built with pkg-config, the installed trelmctl and trelm-devsim, and, when
# the desktop program is built, the quarnloader launcher.
#
# Usage: install_test.sh BUILD_DIR CONSUMER_SOURCE_DIR HAVE_PROGRAM(0|1)
set -euo pipefail

build=$1
consumer_src=$2
have_program=$3

tmp=$(mktemp -d "${TMPDIR:-/tmp}/trelm-install-XXXXXX")
prefix="$tmp/prefix"
devsim_pid=
program_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$devsim_pid" ] && kill "$devsim_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

step() {
    echo "== $*"
}

# Whether BINARY loads libtrelm from the installed tree.
uses_installed_library() {
    local found
    found=$(ldd "$1" | awk '/libtrelm\.so\.1/ {print $3}')
    [ -n "$found" ] && [ "$(readlink -f "$found")" = "$(readlink -f "$prefix/$libdir/libtrelm.so.1")" ]
}

components=(library development tools)
[ "$have_program" = 1 ] && components+=(program)
for component in "${components[@]}"; do
    cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done

step "installed files"
libdir=$(cd "$prefix" && dirname "$(find . -name 'libtrelm.so' | head -n 1)")
libdir=${libdir#./}
[ -n "$libdir" ] || fail "libtrelm.so not installed"
for file in "$libdir/libtrelm.so" "$libdir/libtrelm.so.1" include/trelm.h \
    "$libdir/pkgconfig/trelm.pc" "$libdir/cmake/trelm/trelmConfig.cmake" \
    "$libdir/cmake/trelm/trelmConfigVersion.cmake" "$libdir/cmake/trelm/trelmTargets.cmake" \
    bin/trelmctl bin/trelm-devsim share/man/man1/trelmctl.1.gz share/man/man1/trelm-devsim.1.gz; do
    [ -e "$prefix/$file" ] || fail "$file not installed"
done
soname=$(objdump -p "$prefix/$libdir/libtrelm.so" | awk '/SONAME/ {print $2}')
[ "$soname" = libtrelm.so.1 ] || fail "SONAME is '$soname'"

step "the emulator, from the installed tree"
mkdir -p "$tmp/seed"
mkdir -m 0700 "$tmp/ports" # the emulator accepts only a private ports folder
printf 'installed and running\n' > "$tmp/seed/hello.txt"
"$prefix/bin/trelm-devsim" --ports-dir "$tmp/ports" --com 2 --seed "$tmp/seed/hello.txt" \
    > "$tmp/devsim.log" 2>&1 &
devsim_pid=$!
for _ in $(seq 100); do
    [ -L "$tmp/ports/com2" ] && break
    sleep 0.05
done
[ -L "$tmp/ports/com2" ] || fail "the emulator did not come up: $(cat "$tmp/devsim.log")"
export TRELM_PORTS="$tmp/ports"

step "consumer built with find_package(trelm)"
cmake -S "$consumer_src" -B "$tmp/fp" -DCMAKE_PREFIX_PATH="$prefix" >"$tmp/fp.log" 2>&1 ||
    fail "configure: $(cat "$tmp/fp.log")"
cmake --build "$tmp/fp" >>"$tmp/fp.log" 2>&1 || fail "build: $(cat "$tmp/fp.log")"
out=$("$tmp/fp/consumer" 2)
echo "$out"
[ "$out" = $'device 2 1\nfile hello.txt 22' ] || fail "find_package consumer printed: $out"
uses_installed_library "$tmp/fp/consumer" ||
    fail "find_package consumer does not use the installed library"

step "consumer built with pkg-config"
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
[ "$(pkg-config --modversion trelm)" = 1.0.0 ] || fail "pkg-config version $(pkg-config --modversion trelm)"
# shellcheck disable=SC2046
cc -o "$tmp/pc-consumer" "$consumer_src/consumer.c" $(pkg-config --cflags --libs trelm) ||
    fail "pkg-config build"
out=$(LD_LIBRARY_PATH="$prefix/$libdir" "$tmp/pc-consumer" 2)
[ "$out" = $'device 2 1\nfile hello.txt 22' ] || fail "pkg-config consumer printed: $out"

step "installed trelmctl"
uses_installed_library "$prefix/bin/trelmctl" ||
    fail "trelmctl does not find the installed library: $(ldd "$prefix/bin/trelmctl")"
out=$(env -u LD_LIBRARY_PATH "$prefix/bin/trelmctl" --port 2 ls -l)
echo "$out"
case "$out" in *"hello.txt"*) ;; *) fail "trelmctl ls printed: $out" ;; esac

if [ "$have_program" = 1 ]; then
    step "launcher"
    for file in bin/quarnui bin/quarnloader share/applications/quarnloader.desktop \
        share/icons/hicolor/scalable/apps/quarnloader.svg share/quarnloader/quarnloader.ini \
        share/quarnloader/splash.bmp share/quarnloader/OemLogo.bmp \
        share/quarnloader/LANG_ENGLISH.txt share/quarnloader/ERR_ENGLISH.txt; do
        [ -e "$prefix/$file" ] || fail "$file not installed"
    done
    uses_installed_library "$prefix/bin/quarnui" ||
        fail "quarnui does not find the installed library"

    export HOME="$tmp/home"
    export XDG_DATA_HOME="$tmp/data"
    mkdir -p "$HOME"
    folder="$XDG_DATA_HOME/quarnloader"
    QT_QPA_PLATFORM=offscreen "$prefix/bin/quarnloader" >"$tmp/program.log" 2>&1 &
    program_pid=$!
    started=
    for _ in $(seq 200); do
        if [ "$(readlink "/proc/$program_pid/exe" 2>/dev/null)" = "$prefix/bin/quarnui" ]; then
            started=1
            break
        fi
        sleep 0.05
    done
    [ -n "$started" ] || fail "the launcher did not start the program: $(cat "$tmp/program.log")"
    [ "$(readlink "/proc/$program_pid/cwd")" = "$folder" ] ||
        fail "the program runs in $(readlink "/proc/$program_pid/cwd"), not $folder"
    argv0=$(tr '\0' '\n' < "/proc/$program_pid/cmdline" | head -n 1)
    [ "$argv0" = "$folder/quarnui" ] || fail "the program was started as $argv0"
    for file in quarnloader.ini LANG_ENGLISH.txt ERR_ENGLISH.txt splash.bmp OemLogo.bmp; do
        cmp -s "$prefix/share/quarnloader/$file" "$folder/$file" || fail "$file not set up"
    done
    kill "$program_pid"
    wait "$program_pid" 2>/dev/null || true
    program_pid=

    # A second start keeps what the user changed; the program runs until it
    # shows its first-run setup and then ends by itself.
    echo "; changed by the user" >> "$folder/quarnloader.ini"
    cp "$folder/quarnloader.ini" "$tmp/changed.ini"
    rm "$folder/splash.bmp"
    status=0
    QT_QPA_PLATFORM=offscreen QUARN_EXIT_ON_WINDOW=dlgRunOnce timeout 120 \
        "$prefix/bin/quarnloader" >"$tmp/program.log" 2>&1 || status=$?
    [ "$status" -eq 0 ] || fail "the program ended with $status: $(cat "$tmp/program.log")"
    grep -q '^quarnui: shown dlgRunOnce "Setup Quarn-Loader" "Language" "Local folder" "..." "COM port"' \
        "$tmp/program.log" || fail "no first-run setup: $(cat "$tmp/program.log")"
    cmp -s "$tmp/changed.ini" "$folder/quarnloader.ini" || fail "the user's settings were replaced"
    cmp -s "$prefix/share/quarnloader/splash.bmp" "$folder/splash.bmp" ||
        fail "a missing picture was not restored"
fi

echo "install test passed"
