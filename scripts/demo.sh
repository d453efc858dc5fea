#!/bin/sh
# Shows touchsdk's main job on emulated screens. On a fresh Debian 12
# machine, as root, it first installs what is missing; then it builds
# tsdctl and tsd-emulate (in build/demo) and runs tsdctl against two emulated
# screens: list, info, a mode change, then events while a finger moves.
set -eu
cd "$(dirname "$0")/.."

# The part that runs as tsd-emulate's program, with the screens present.
if [ "${1:-}" = --inside ]; then
    tsdctl=$2
    control=$3
    # Bold commands on a terminal only: a log or a pipe gets plain text.
    bold=
    plain=
    if [ -t 1 ]; then
        bold=$(printf '\033[1m')
        plain=$(printf '\033[0m')
    fi
    show() {
        printf '\n%s$ tsdctl %s%s\n' "$bold" "$*" "$plain"
        "$tsdctl" "$@"
    }
    show list
    show info 0
    show mode 0 data
    show mode 0 data 3
    show info 0 --json
    printf '\n(a finger moves across screen 1)\n'
    (
        sleep 1
        x=200
        while [ $x -le 3800 ]; do
            echo "touch 1 1 $x $((x / 2 + 500))"
            x=$((x + 400))
            sleep 0.05
        done
        echo "lift 1 1"
    ) > "$control" &
    show events 1 --count 11
    wait
    exit 0
fi

if [ "$(id -u)" = 0 ]; then scripts/install-deps.sh; fi
build=build/demo
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTSD_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tsdctl tsd-emulate -j"$(nproc)"
control=$(mktemp -u /tmp/tsd-demo.XXXXXX)
"$build/tools/emulate/tsd-emulate" --screens 2 --serial DEMO-1 --serial DEMO-2 --control "$control" \
    -- "$0" --inside "$build/tools/tsdctl/tsdctl" "$control"
