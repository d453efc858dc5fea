#!/bin/sh
# Installs the build into a scratch root and builds a C application against
# it the way a user would: through pkg-config and through find_package.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
lib=$(find "$root" -name 'libtouchsdk.so.1.7.6230' | head -n1)
[ -n "$lib" ] || { echo "library not installed"; exit 1; }
dir=$(dirname "$lib")
[ "$(readlink "$dir/libtouchsdk.so.1")" = libtouchsdk.so.1.7.6230 ] || { echo "no SONAME link"; exit 1; }
[ "$(readlink "$dir/libtouchsdk.so")" = libtouchsdk.so.1 ] || { echo "no development link"; exit 1; }
[ -f "$root/usr/include/touchsdk.h" ] || { echo "header not installed"; exit 1; }

# The staged tree stands in for the system root.
export PKG_CONFIG_PATH="$dir/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$root"
# shellcheck disable=SC2046
cc -std=c99 -pedantic -Wall -Werror "$source/examples/tsd_demo.c" \
    $(pkg-config --cflags --libs touchsdk) -lpthread -o "$root/demo-pc"
LD_LIBRARY_PATH=$dir "$root/demo-pc" 0 >/dev/null 2>&1 || [ $? -eq 1 ]  # no screen here: 1

mkdir -p "$root/app"
cat > "$root/app/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(app C)
find_package(touchsdk 1.7 REQUIRED)
add_executable(app main.c)
target_link_libraries(app PRIVATE touchsdk::touchsdk)
CMAKE
printf '#include <touchsdk.h>\nint main(void){uint32_t v=0;TsdGetSdkVersion(&v,0,0,0);return v==1?0:1;}\n' \
    > "$root/app/main.c"
cmake -S "$root/app" -B "$root/app/build" -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null
cmake --build "$root/app/build" >/dev/null
LD_LIBRARY_PATH=$dir "$root/app/build/app"
echo "installed tree is usable through pkg-config and find_package"
