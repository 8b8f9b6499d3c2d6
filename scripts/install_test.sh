#!/usr/bin/env bash
# Installs the Debian packages built from BUILD_DIR into a clean Debian 12
# system and uses them there as a new user would:
#   1. a minimal root made with mmdebstrap (--variant=apt) from the Debian
#      mirror this machine's apt uses;
#   2. libtrelm1 and trelm-tools installed with apt from the built files, and
#      no Qt package with them; trelm-devsim serving a device and trelmctl
#      ls, put, get and rm against it inside the root;
#   3. quarnloader installed, and the program started through its launcher
#      on the offscreen platform until it shows its first-run setup;
#   4. libtrelm-dev installed, and a small C program built against it with
#      pkg-config and with CMake's find_package(trelm), run against the device.
# The root is removed afterwards, also on failure. Everything runs in a mount
# namespace of its own, so /proc and /dev/pts of the root never outlive it.
#
# Usage: scripts/install_test.sh BUILD_DIR CONSUMER_SOURCE_DIR
#   TRELM_DEBIAN_MIRROR  overrides the mirror found in the apt sources
# Exit status 77 (skipped) without root, mmdebstrap or the packaging tools.
set -euo pipefail

build=$(readlink -f "$1")
consumer_src=$(readlink -f "$2")

skip() {
    echo "skipped: $*"
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "needs root (mmdebstrap --mode=root, chroot, mount)"
for tool in mmdebstrap cpack dpkg-deb dpkg-shlibdeps unshare chroot mount; do
    command -v "$tool" >/dev/null || skip "no $tool"
done

# The rest runs in a private mount namespace: the mounts of mmdebstrap and of
# this script vanish with it, however it ends.
if [ -z "${TRELM_INSTALL_TEST_NAMESPACE:-}" ]; then
    TRELM_INSTALL_TEST_NAMESPACE=1 exec unshare --mount --propagation private -- \
        bash "$(readlink -f "${BASH_SOURCE[0]}")" "$build" "$consumer_src"
fi

started=$SECONDS
# The script's own output, for the clean-up that may run inside a redirection.
exec 3>&1
tmp=$(mktemp -d "${TMPDIR:-/tmp}/trelm-debian-XXXXXX")
root="$tmp/root"
devsim_pid=
child_pid=
cleanup() {
    local status=$?
    # Nothing interrupts the clean-up itself.
    trap '' INT TERM
    if [ -n "$child_pid" ]; then
        kill "$child_pid" 2>/dev/null || true
        wait "$child_pid" 2>/dev/null || true
    fi
    if [ -n "$devsim_pid" ]; then
        kill "$devsim_pid" 2>/dev/null || true
        wait "$devsim_pid" 2>/dev/null || true
    fi
    for mount_point in "$root/dev/pts" "$root/proc"; do
        mountpoint -q "$mount_point" 2>/dev/null && umount -l "$mount_point"
    done
    rm -rf --one-file-system "$tmp"
    echo "== finished after $((SECONDS - started)) s" >&3
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

step() {
    echo "== [$((SECONDS - started)) s] $*"
}

# Runs a command inside the root, with a plain environment.
in_root() {
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}

# Runs a long command as a child, so that an interrupt is handled at once
# (bash runs a trap only after the foreground command ends).
run_child() {
    "$@" &
    child_pid=$!
    local status=0
    wait "$child_pid" || status=$?
    child_pid=
    return "$status"
}

apt_install() {
    run_child in_root apt-get install -y -q --no-install-recommends "$@" >"$tmp/apt.log" 2>&1 ||
        fail "apt-get install $*: $(cat "$tmp/apt.log")"
    grep -E '^(Need to get|After this operation)' "$tmp/apt.log" || true
}

installed_packages() {
    # shellcheck disable=SC2016 # a dpkg-query format, not a shell expansion
    in_root dpkg-query -W -f '${Package}\n' | sort
}

# The Debian mirror of this machine's apt sources (one-line or deb822 form).
debian_mirror() {
    local file uri
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        uri=$(sed -e 's/#.*//' -e 's/\[[^]]*\]//g' "$file" |
            awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }')
        [ -n "$uri" ] && { echo "$uri"; return; }
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        uri=$(awk 'BEGIN { RS = ""; FS = "\n" }
                   {
                       uris = ""; suites = ""
                       for (i = 1; i <= NF; i++) {
                           if ($i ~ /^URIs:/) { uris = $i; sub(/^URIs:[ \t]*/, "", uris) }
                           if ($i ~ /^Suites:/) { suites = " " $i " " }
                       }
                       if (suites ~ / bookworm / && uris != "") { split(uris, u, " "); print u[1]; exit }
                   }' "$file")
        [ -n "$uri" ] && { echo "$uri"; return; }
    done
    echo http://deb.debian.org/debian
}

step "packages from $build"
run_child cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/debs" >"$tmp/cpack.log" 2>&1 || fail "cpack: $(cat "$tmp/cpack.log")"
# Each package's file as the root sees it.
declare -A in_root_deb
for package in libtrelm1 libtrelm-dev trelm-tools quarnloader; do
    deb=$(find "$tmp/debs" -maxdepth 1 -name "${package}_*.deb")
    [ -n "$deb" ] || fail "cpack made no $package package"
    in_root_deb[$package]=/tmp/debs/$(basename "$deb")
    printf '%-14s %s\n' "$package" "$(dpkg-deb -f "$deb" Version Installed-Size | tr '\n' ' ')"
done

mirror=${TRELM_DEBIAN_MIRROR:-$(debian_mirror)}
step "a minimal Debian 12 root from $mirror"
# The package lists stay, so apt in the root can install without an update.
run_child mmdebstrap --mode=root --variant=apt --skip=cleanup/apt/lists \
    --dpkgopt=force-unsafe-io --aptopt='Acquire::Languages "none"' \
    bookworm "$root" "deb $mirror bookworm main" >"$tmp/mmdebstrap.log" 2>&1 ||
    fail "mmdebstrap: $(tail -n 30 "$tmp/mmdebstrap.log")"
mkdir -p "$root/tmp/debs"
cp "$tmp"/debs/*.deb "$root/tmp/debs/"
mount -t proc proc "$root/proc"
mount --bind /dev/pts "$root/dev/pts"
installed_packages >"$tmp/base.txt"
echo "$(wc -l <"$tmp/base.txt") packages in the base system"

step "libtrelm1 and trelm-tools"
apt_install "${in_root_deb[libtrelm1]}" "${in_root_deb[trelm-tools]}"
installed_packages >"$tmp/tools.txt"
echo "came along: $(comm -13 "$tmp/base.txt" "$tmp/tools.txt" | tr '\n' ' ')"
qt=$(comm -13 "$tmp/base.txt" "$tmp/tools.txt" | grep -E '^(libqt6|qt6)' || true)
[ -z "$qt" ] || fail "Qt packages came with the tools: $qt"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
in_root dpkg -L libtrelm1 | grep -qx "/usr/lib/$multiarch/libtrelm.so.1" ||
    fail "libtrelm.so.1 is not in /usr/lib/$multiarch: $(in_root dpkg -L libtrelm1)"
for page in trelmctl trelm-devsim; do
    in_root dpkg -L trelm-tools | grep -qx "/usr/share/man/man1/$page.1.gz" || fail "no manual page $page.1"
done
# (/lib is /usr/lib in Debian 12, so compare the files, not the names.)
found=$(in_root ldd /usr/bin/trelmctl | awk '/libtrelm\.so\.1/ {print $3}')
if [ -z "$found" ] || [ "$(in_root readlink -f "$found")" != "$(in_root readlink -f "/usr/lib/$multiarch/libtrelm.so.1")" ]; then
    fail "trelmctl finds libtrelm at '$found'"
fi

step "trelm-devsim and trelmctl in the root"
mkdir -p "$root/tmp/seed" "$root/tmp/work"
printf 'installed and running\n' >"$root/tmp/seed/hello.txt"
head -c 3000 /dev/urandom >"$root/tmp/work/upload.bin"
# exec, so that the pid is the emulator's own and the clean-up stops it.
(exec chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin \
    trelm-devsim --ports-dir /tmp/ports --com 2 --seed /tmp/seed/hello.txt) >"$tmp/devsim.log" 2>&1 &
devsim_pid=$!
for _ in $(seq 200); do
    [ -L "$root/tmp/ports/com2" ] && break
    kill -0 "$devsim_pid" 2>/dev/null || break
    sleep 0.05
done
[ -L "$root/tmp/ports/com2" ] || fail "the emulator did not come up: $(cat "$tmp/devsim.log")"

trelmctl() {
    in_root TRELM_PORTS=/tmp/ports trelmctl --port 2 "$@"
}
out=$(trelmctl ls -l) || fail "trelmctl ls: $out"
echo "$out"
grep -q 'hello\.txt' <<<"$out" || fail "trelmctl ls does not list hello.txt"
trelmctl put /tmp/work/upload.bin || fail "trelmctl put"
trelmctl get upload.bin /tmp/work/upload-back.bin || fail "trelmctl get upload.bin"
cmp "$root/tmp/work/upload.bin" "$root/tmp/work/upload-back.bin" || fail "the file came back changed"
trelmctl get hello.txt /tmp/work/hello.txt || fail "trelmctl get hello.txt"
cmp "$root/tmp/seed/hello.txt" "$root/tmp/work/hello.txt" || fail "hello.txt came back changed"
trelmctl rm upload.bin || fail "trelmctl rm"

step "quarnloader"
apt_install "${in_root_deb[quarnloader]}"
mkdir -p "$root/tmp/home"
set +e
in_root HOME=/tmp/home QT_QPA_PLATFORM=offscreen QUARN_EXIT_ON_WINDOW=dlgRunOnce \
    TRELM_PORTS=/tmp/ports timeout 120 quarnloader >"$tmp/program.log" 2>&1
status=$?
set -e
shown=$(grep '^quarnui: shown ' "$tmp/program.log" || true)
echo "${shown:-(nothing shown)}"
[ "$status" -eq 0 ] || fail "the program ended with $status: $(cat "$tmp/program.log")"
# The first-run setup with its texts from the installed English language file.
[[ "$shown" == 'quarnui: shown dlgRunOnce "Setup Quarn-Loader" "Language" "Local folder" "..." "COM port"'* ]] ||
    fail "the first-run setup did not show: $(cat "$tmp/program.log")"
[ -f "$root/tmp/home/.local/share/quarnloader/quarnloader.ini" ] ||
    fail "the launcher did not set up the start-up folder"

step "libtrelm-dev: a C program built with pkg-config and with find_package(trelm)"
apt_install "${in_root_deb[libtrelm-dev]}" gcc libc6-dev pkg-config cmake make
cp -r "$consumer_src" "$root/tmp/consumer"
expected=$'device 2 1\nfile hello.txt 22'
# shellcheck disable=SC2016 # expanded by the shell inside the root
in_root sh -c 'cc -o /tmp/pc-consumer /tmp/consumer/consumer.c $(pkg-config --cflags --libs trelm)' ||
    fail "the pkg-config build failed"
out=$(in_root TRELM_PORTS=/tmp/ports /tmp/pc-consumer 2) || fail "the pkg-config program failed: $out"
[ "$out" = "$expected" ] || fail "the pkg-config program printed: $out"
in_root cmake -S /tmp/consumer -B /tmp/fp >"$tmp/fp.log" 2>&1 || fail "cmake: $(cat "$tmp/fp.log")"
in_root cmake --build /tmp/fp >>"$tmp/fp.log" 2>&1 || fail "cmake --build: $(cat "$tmp/fp.log")"
out=$(in_root TRELM_PORTS=/tmp/ports /tmp/fp/consumer 2) || fail "the find_package program failed: $out"
[ "$out" = "$expected" ] || fail "the find_package program printed: $out"

echo "install test passed"
