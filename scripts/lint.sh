#!/bin/sh
# Checks the library's sources: formatting (.clang-format) of src/ and
# include/, and clang-tidy (.clang-tidy) on src/ with no finding allowed;
# pyflakes on the Python binding and examples; the version written in each
# build system's file.
#   scripts/lint.sh           check
#   scripts/lint.sh --fix     reformat src/ and include/ in place instead
set -eu
cd "$(dirname "$0")/.."
if [ "$(id -u)" = 0 ]; then
    need=
    for p in clang-format-14 clang-tidy-14 cmake g++ libudev-dev python3-pyflakes; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            need="$need $p"
    done
    if [ -n "$need" ]; then
        export DEBIAN_FRONTEND=noninteractive
        apt-get -o DPkg::Lock::Timeout=600 update
        # shellcheck disable=SC2086
        apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends $need
    fi
fi
FORMAT=$(command -v clang-format-14 || command -v clang-format)
TIDY=$(command -v clang-tidy-14 || command -v clang-tidy)
start=$(date +%s)
sources=$(git ls-files 'src/*.cpp' 'src/*.h' 'include/*.h')
if [ "${1:-}" = --fix ]; then
    # shellcheck disable=SC2086
    "$FORMAT" -i $sources
    exit 0
fi
# shellcheck disable=SC2086
"$FORMAT" --dry-run -Werror $sources
echo "== format: clean"
/usr/bin/python3 -m pyflakes python $(git ls-files 'examples/*.py')
echo "== pyflakes: clean"
# The version is written where each build system reads it: the project's
# CMake file, the Python package and the Debian changelog must agree.
version=$(sed -n 's/^project(touchsdk VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
python=$(sed -n 's/^version = "\(.*\)"/\1/p' python/pyproject.toml)
debian=$(sed -n '1s/^touchsdk (\([^-)]*\).*/\1/p' debian/changelog)
if [ -z "$version" ] || [ "$python" != "$version" ] || [ "$debian" != "$version" ]; then
    echo "versions differ: CMakeLists.txt '$version', python/pyproject.toml '$python'," \
         "debian/changelog '$debian'" >&2
    exit 1
fi
echo "== versions: $version everywhere"
# clang-tidy reads the compile commands of a configured build; the library's
# sources need no tests and no emulator to be configured.
build=build/lint
cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DTSD_BUILD_TESTS=OFF \
      -DTSD_WITH_EMULATOR=OFF -DTSD_BUILD_TOOLS=OFF >/dev/null
git ls-files 'src/*.cpp' | xargs -P "$(nproc)" -n 4 "$TIDY" -p "$build" --quiet
echo "== lint: format and clang-tidy clean in $(($(date +%s) - start)) s"
