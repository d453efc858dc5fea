#!/bin/sh
# Lints the whole tree, no finding allowed: clang-format (.clang-format) and
# clang-tidy (.clang-tidy) on every C and C++ source (library, header, tools,
# emulator, tests, fuzz targets, examples, benchmarks); shellcheck on every
# shell script (scripts/, .ci/, tests/, debian/); pyflakes on the Python
# binding, its tests and the examples; the version each build system reads.
#   scripts/lint.sh           check
#   scripts/lint.sh --fix     reformat every C and C++ source in place instead
#   scripts/lint.sh --count   print the findings of each checker and their
#                             numbers, without stopping at the first
set -eu
cd "$(dirname "$0")/.."
if [ "$(id -u)" = 0 ]; then
    need=
    for p in clang-format-14 clang-tidy-14 cmake g++ libudev-dev python3-pyflakes shellcheck \
             umockdev libumockdev-dev googletest; do
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
mode=${1:-check}
start=$(date +%s)
dirs="src include tools emulator tests fuzz examples bench"

# Tracked files only: a build directory's generated sources are not ours.
sources() {
    for d in $dirs; do git ls-files "$d/*.c" "$d/*.cpp" "$d/*.h" "$d/*.hpp"; done
}
# Shell scripts by name or by their first line (.ci/run has no suffix).
shell_scripts() {
    git ls-files '*.sh' '.ci/*' 'debian/*' 'scripts/*' 'tests/*' | while read -r f; do
        case $f in
            *.sh) echo "$f" ;;
            *) head -n 1 "$f" | grep -Eq '^#!.*/(env )?(ba|da)?sh' && echo "$f" ;;
        esac
    done | sort -u
}

if [ "$mode" = --fix ]; then
    sources | xargs "$FORMAT" -i
    echo "== reformatted $(sources | wc -l) files"
    exit 0
fi

failed=0
report() {  # report NAME COUNT
    if [ "$2" -eq 0 ]; then
        echo "== $1: clean"
    else
        echo "== $1: $2 findings"
        failed=1
    fi
    if [ "$failed" = 1 ] && [ "$mode" != --count ]; then exit 1; fi
}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

sources | xargs "$FORMAT" --dry-run >"$log" 2>&1 || true
cat "$log"
report "clang-format ($(sources | wc -l) files)" "$(grep -c 'warning:' "$log" || true)"

shell_scripts | xargs shellcheck -f gcc >"$log" 2>&1 || true
cat "$log"
report "shellcheck ($(shell_scripts | wc -l) scripts)" "$(grep -c ': \(error\|warning\|note\|info\|style\):' "$log" || true)"

pythons=$(git ls-files 'python/*.py' 'examples/*.py' 'tools/*.py' 'tests/*.py')
# shellcheck disable=SC2086
/usr/bin/python3 -m pyflakes $pythons >"$log" 2>&1 || true
cat "$log"
report "pyflakes" "$(grep -c . "$log" || true)"

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

# clang-tidy reads the compile commands of a build configured with
# everything but the fuzz targets, which only clang builds: they get the
# fuzz build's include directories by hand.
build=build/lint
cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DTSD_BUILD_TESTS=ON \
      -DTSD_WITH_EMULATOR=ON -DTSD_BUILD_TOOLS=ON >/dev/null
headers="^$(pwd)/($(echo "$dirs" | tr ' ' '|'))/"
compiled=$(sources | grep -E '\.(c|cpp)$' | grep -v '^fuzz/')
# shellcheck disable=SC2086
printf '%s\n' $compiled | xargs -P "$(nproc)" -n 4 \
    "$TIDY" -p "$build" --quiet --header-filter="$headers" >"$log" 2>&1 || true
# shellcheck disable=SC2046
"$TIDY" --quiet --header-filter="$headers" $(sources | grep -E '^fuzz/.*\.cpp$') -- \
    -std=c++17 -D_GNU_SOURCE -DTSD_BUILDING_LIBRARY -Iinclude -Isrc -Iemulator \
    -Ifuzz/support >>"$log" 2>&1 || true
grep -E 'warning:|error:' "$log" | sort -u || true
report "clang-tidy ($(sources | grep -cE '\.(c|cpp)$') files)" \
    "$(grep -E 'warning:|error:' "$log" | sort -u | grep -c . || true)"
echo "== lint done in $(($(date +%s) - start)) s"
exit "$failed"
