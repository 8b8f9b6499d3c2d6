# Installs the Debian packages the build needs, only those that are missing.
# Sourced by run.sh and test.sh.
quarn_ensure_packages() {
    local missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

QUARN_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-serialport-dev libgl-dev tzdata xvfb xauth)

# What the package tests need beyond the build: dpkg-shlibdeps and the file
# utility for CPack's Debian packages, mmdebstrap for the clean Debian root.
QUARN_PACKAGE_TEST_PACKAGES=(dpkg-dev file mmdebstrap)
