#!/usr/bin/python3
"""A small application of the touchsdk Python binding: lists the screens,
opens the first, shows its modes, then prints its touches for ten seconds.
Try it without hardware:

    TOUCHSDK_LIBRARY=build/release/libtouchsdk.so.1 PYTHONPATH=python \\
        build/release/tools/emulate/tsd-emulate --touch -- /usr/bin/python3 examples/touchsdk_demo.py
"""
import queue
import sys
import time

import touchsdk

SECONDS = 10.0


def main() -> int:
    print("touchsdk %d.%d.%d.%d" % touchsdk.version())
    found = touchsdk.screens()
    for info in found:
        print(f"screen {info.path} serial {info.serial or '(none)'}")
    if not found:
        print("no screen found (is one plugged in, and may you open /dev/hidraw*?)",
              file=sys.stderr)
        return 1
    with touchsdk.open(found[0]) as screen:
        print(f"working mode {screen.working_mode}, data mode {screen.data_mode}, "
              f"HID mode {screen.hid_mode}")
        print(f"touches for {SECONDS:.0f} seconds:")
        deadline = time.monotonic() + SECONDS
        count = 0
        with screen.touches() as touches:
            while (left := deadline - time.monotonic()) > 0:
                try:
                    point = touches.get(timeout=left)
                except queue.Empty:
                    break
                count += 1
                print(f"  contact {point.id} {'down' if point.down else 'up  '} "
                      f"at {point.x:.0f},{point.y:.0f}")
        print(f"{count} touches")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except touchsdk.Error as error:
        print(f"touchsdk-demo: {error}", file=sys.stderr)
        sys.exit(1)
    except KeyboardInterrupt:
        sys.exit(130)
