#!/bin/sh
# Runs a test program as an ordinary user. The kernel's permission checks do
# not apply to root, so the tests of device nodes that a user may not open
# need one: run by an ordinary user, the program runs as it is; run by root,
# it runs as the user "nobody" (uid and gid 65534, no other groups) in a
# folder of its own. Exit status 77 (skipped) when that is not possible.
#
# usage: as_ordinary_user.sh PROGRAM [ARGUMENTS...]
set -u
if [ "$(id -u)" -ne 0 ]; then
    exec "$@"
fi
if ! command -v setpriv >/dev/null 2>&1; then
    echo "as_ordinary_user.sh: setpriv is missing" >&2
    exit 77
fi
nobody() {
    setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
}
if ! nobody test -x "$1"; then
    echo "as_ordinary_user.sh: $1 cannot be run by uid 65534" >&2
    exit 77
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
chmod 0777 "$home"
cd "$home" || exit 1
HOME="$home" nobody "$@"
