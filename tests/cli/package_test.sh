#!/usr/bin/env bash
# Builds the Debian package from the built tree into a temporary folder and
# checks it: its dependencies on the Qt 6 runtime, its files, that the
# unpacked programs find their library, and that apt would install it here.
#
# Usage: package_test.sh BUILD_DIR HAVE_PROGRAM(0|1)
# Exit status 77 (skipped) without the Debian packaging tools.
set -euo pipefail

build=$1
have_program=$2

for tool in cpack dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || { echo "no $tool: skipped"; exit 77; }
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/trelm-package-XXXXXX")
trap 'rm -rf "$tmp"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$tmp/out") >"$tmp/cpack.log" 2>&1 || fail "cpack: $(cat "$tmp/cpack.log")"
deb=$(find "$tmp/out" -maxdepth 1 -name 'quarnloader_*.deb')
[ -n "$deb" ] || fail "no package in $tmp/out"
echo "package: $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
expected=(libc6 libstdc++6)
[ "$have_program" = 1 ] && expected+=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6)
for package in "${expected[@]}"; do
    case ", $depends," in *", $package "* | *", $package,"*) ;; *) fail "Depends lacks $package" ;; esac
done

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
files=(./usr/bin/trelmctl ./usr/bin/trelm-devsim ./usr/include/trelm.h ./usr/lib/libtrelm.so.1
    ./usr/lib/pkgconfig/trelm.pc ./usr/lib/cmake/trelm/trelmConfig.cmake)
[ "$have_program" = 1 ] && files+=(./usr/bin/quarnui ./usr/bin/quarnloader
    ./usr/share/quarnloader/quarnloader.ini ./usr/share/applications/quarnloader.desktop)
for file in "${files[@]}"; do
    grep -qx -- "$file" <<<"$contents" || fail "$file missing from the package"
done

dpkg-deb -x "$deb" "$tmp/root"
version=$(env -u LD_LIBRARY_PATH "$tmp/root/usr/bin/trelmctl" --version) ||
    fail "the unpacked trelmctl does not run"
echo "$version"

if command -v apt-get >/dev/null; then
    apt-get install --simulate "$deb" >"$tmp/apt.log" 2>&1 ||
        fail "apt would not install it: $(cat "$tmp/apt.log")"
    grep -q '^Inst quarnloader' "$tmp/apt.log" || fail "apt: $(cat "$tmp/apt.log")"
fi
echo "package test passed"
