#!/bin/sh
# Installs what building and testing touchsdk needs on Debian 12 (run as root).
# Idempotent: packages already present are left as they are. Further packages
# a script needs (the fuzzers' clang, valgrind) come as arguments.
set -eu
export DEBIAN_FRONTEND=noninteractive
APT="apt-get -o DPkg::Lock::Timeout=600"
PACKAGES="cmake make g++ pkg-config binutils libudev-dev googletest \
umockdev libumockdev-dev libglib2.0-dev zlib1g-dev python3 python3-pytest scdoc $*"
missing=
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    $APT update
    # shellcheck disable=SC2086
    $APT install -y --no-install-recommends $missing
fi
