#!/usr/bin/env bash
# Builds the Debian packages from the built tree into a temporary folder and
# checks them: one package per component with Debian's names, sections,
# descriptions and dependencies (the library and the tools without Qt), each
# file in its package and in no other, no library search path in the binaries,
# manual pages that cover every option the tools' --help lists, and that apt
# would install them here.
#
# Usage: package_test.sh BUILD_DIR VERSION HAVE_PROGRAM(0|1)
# Exit status 77 (skipped) without the Debian packaging tools.
set -euo pipefail

build=$1
version=$2
have_program=$3

for tool in cpack dpkg-deb dpkg-shlibdeps dpkg-architecture readelf; do
    command -v "$tool" >/dev/null || { echo "no $tool: skipped"; exit 77; }
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/trelm-package-XXXXXX")
trap 'rm -rf "$tmp"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir=usr/lib/$multiarch

(cd "$build" && cpack -G DEB -B "$tmp/out") >"$tmp/cpack.log" 2>&1 || fail "cpack: $(cat "$tmp/cpack.log")"

packages=(libtrelm1 libtrelm-dev trelm-tools)
[ "$have_program" = 1 ] && packages+=(quarnloader)
made=$(cd "$tmp/out" && find . -maxdepth 1 -name '*.deb' -printf '%f\n' | sort)
wanted=$(for package in "${packages[@]}"; do echo "${package}_${version}_$(dpkg --print-architecture).deb"; done | sort)
[ "$made" = "$wanted" ] || fail "cpack made: $made; wanted: $wanted"

# package | section | Multi-Arch | dependencies it must have (;-separated,
# name[:relation]) | packages it must not depend on
table=(
    "libtrelm1|libs|same|libc6;libstdc++6|libtrelm1 libqt6core6"
    "libtrelm-dev|libdevel|same|libtrelm1:(= $version)|libqt6core6"
    "trelm-tools|comm|foreign|libtrelm1:(>= $version);libc6;libstdc++6|libqt6core6 libqt6gui6"
    "quarnloader|comm|no|libtrelm1:(>= $version);libqt6core6;libqt6gui6;libqt6widgets6;libqt6svg6;libqt6serialport6|"
)

for row in "${table[@]}"; do
    IFS='|' read -r package section multi needed refused <<<"$row"
    [ "$have_program" = 1 ] || [ "$package" != quarnloader ] || continue
    deb="$tmp/out/${package}_${version}_$(dpkg --print-architecture).deb"
    echo "== $package"
    dpkg-deb -f "$deb" Section Multi-Arch Depends Installed-Size
    [ "$(dpkg-deb -f "$deb" Section)" = "$section" ] || fail "$package: section $(dpkg-deb -f "$deb" Section)"
    got_multi=$(dpkg-deb -f "$deb" Multi-Arch)
    [ "${got_multi:-no}" = "$multi" ] || fail "$package: Multi-Arch '$got_multi'"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$package: version $(dpkg-deb -f "$deb" Version)"
    # A short description and a long one after it.
    description=$(dpkg-deb -f "$deb" Description)
    [ "$(wc -l <<<"$description")" -ge 3 ] || fail "$package: no long description"
    summary=$(head -n 1 <<<"$description")
    [ "${#summary}" -le 80 ] || fail "$package: summary longer than 80 characters"

    depends=", $(dpkg-deb -f "$deb" Depends),"
    IFS=';' read -ra needs <<<"$needed"
    for need in "${needs[@]}"; do
        name=${need%%:*}
        relation=
        [ "$name" != "$need" ] && relation=" ${need#*:}"
        case "$depends" in
            *", $name$relation,"* | *", $name$relation "* ) ;;
            *", $name ("* | *", $name,"*) [ -z "$relation" ] || fail "$package: $name is not$relation in $depends" ;;
            *) fail "$package does not depend on $name: $depends" ;;
        esac
    done
    for refuse in $refused; do
        case "$depends" in *", $refuse "* | *", $refuse,"*) fail "$package depends on $refuse" ;; esac
    done
    # Each package the list names once.
    dupes=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | awk '{print $1}' | sort | uniq -d)
    [ -z "$dupes" ] || fail "$package names $dupes more than once"

    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed "s|^\./||" | sort >"$tmp/$package.files"
    dpkg-deb -x "$deb" "$tmp/root"
done

expect_files() {
    local package=$1
    shift
    for file in "$@"; do
        grep -qx -- "$file" "$tmp/$package.files" || fail "$file is not in $package"
    done
}
expect_files libtrelm1 "$libdir/libtrelm.so.1" "$libdir/libtrelm.so.$version"
[ "$(wc -l <"$tmp/libtrelm1.files")" -eq 2 ] || fail "libtrelm1 holds more: $(cat "$tmp/libtrelm1.files")"
expect_files libtrelm-dev usr/include/trelm.h "$libdir/libtrelm.so" "$libdir/pkgconfig/trelm.pc" \
    "$libdir/cmake/trelm/trelmConfig.cmake" "$libdir/cmake/trelm/trelmConfigVersion.cmake" \
    "$libdir/cmake/trelm/trelmTargets.cmake"
expect_files trelm-tools usr/bin/trelmctl usr/bin/trelm-devsim \
    usr/share/man/man1/trelmctl.1.gz usr/share/man/man1/trelm-devsim.1.gz
if [ "$have_program" = 1 ]; then
    expect_files quarnloader usr/bin/quarnui usr/bin/quarnloader usr/share/quarnloader/quarnloader.ini \
        usr/share/quarnloader/LANG_ENGLISH.txt usr/share/quarnloader/ERR_ENGLISH.txt \
        usr/share/quarnloader/splash.bmp usr/share/quarnloader/OemLogo.bmp \
        usr/share/applications/quarnloader.desktop usr/share/icons/hicolor/scalable/apps/quarnloader.svg
fi
twice=$(cat "$tmp"/*.files | sort | uniq -d)
[ -z "$twice" ] || fail "in more than one package: $twice"

shlibs=$(dpkg-deb --ctrl-tarfile "$tmp/out/libtrelm1_${version}_$(dpkg --print-architecture).deb" |
    tar -xO ./shlibs)
[ "$shlibs" = "libtrelm 1 libtrelm1 (>= $version)" ] || fail "libtrelm1 shlibs: $shlibs"

# Installed under /usr the programs find the library in the loader's path.
while read -r file; do
    if readelf -h "$tmp/root/$file" >/dev/null 2>&1; then
        ! readelf -d "$tmp/root/$file" | grep -qE 'RPATH|RUNPATH' ||
            fail "$file has a library search path: $(readelf -d "$tmp/root/$file" | grep -E 'RPATH|RUNPATH')"
    fi
done < <(cat "$tmp"/*.files)
tool_version=$(env LD_LIBRARY_PATH="$tmp/root/$libdir" "$tmp/root/usr/bin/trelmctl" --version) ||
    fail "the unpacked trelmctl does not run"
echo "$tool_version"

# Every option of a tool's usage text is in its manual page.
for tool in trelmctl trelm-devsim; do
    page=$(zcat "$tmp/root/usr/share/man/man1/$tool.1.gz" | sed 's/\\-/-/g')
    options=$(env LD_LIBRARY_PATH="$tmp/root/$libdir" "$tmp/root/usr/bin/$tool" --help |
        grep -oE '(^|[ [])--[a-z][a-z-]*' | sed 's/^[ [ ]*//' | sort -u)
    [ -n "$options" ] || fail "$tool --help lists no options"
    for option in $options; do
        grep -q -- "$option" <<<"$page" || fail "the manual page of $tool lacks $option"
    done
done

if command -v apt-get >/dev/null; then
    apt-get install --simulate "$tmp"/out/*.deb >"$tmp/apt.log" 2>&1 ||
        fail "apt would not install them: $(cat "$tmp/apt.log")"
    for package in "${packages[@]}"; do
        grep -q "^Inst $package " "$tmp/apt.log" || fail "apt: $(cat "$tmp/apt.log")"
    done
fi
echo "package test passed"
