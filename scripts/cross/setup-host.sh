#!/bin/bash
# setup-host.sh: installs what the board builds need on a Debian 12 (amd64)
# host: the four cross compilers, qemu-user, CMake and GoogleTest's sources.
# No foreign architecture is added; the targets' libudev comes from
# fetch-deps.sh. Idempotent: when everything is installed it does not even
# refresh the package lists.
set -euo pipefail
packages=(
    cmake make googletest qemu-user
    g++-powerpc64le-linux-gnu g++-mipsel-linux-gnu
    g++-mips64el-linux-gnuabi64 g++-arm-linux-gnueabihf
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
    echo "cross host packages: all installed"
    exit 0
fi

echo "cross host packages: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -q -o DPkg::Lock::Timeout=600)
if [ "$(id -u)" != 0 ]; then apt=(sudo -E "${apt[@]}"); fi
"${apt[@]}" update
"${apt[@]}" install -y --no-install-recommends "${missing[@]}"
