#!/usr/bin/env python3
"""tsd-emulate as a person and a CI script use it: its options, its exit
statuses, signals, the --touch finger, hot-plug bursts and recordings.

    tsd_emulate_test.py --emulate CMD --tsdctl CMD

Each CMD is a command split at spaces: on a board target it starts with the
runner (qemu-user and the target's loader).
"""
import argparse
import json
import os
import re
import shlex
import signal
import subprocess
import sys
import tempfile
import time

FAILURES = []


def expect(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL:", message, file=sys.stderr)


def emulate(args, *options, timeout=60):
    return subprocess.run(args.emulate + list(options), capture_output=True, text=True,
                          timeout=timeout)


def help_and_statuses(args, work):
    shown = emulate(args, "--help")
    options = set(re.findall(r"--[a-z]+", shown.stdout))
    expect(shown.returncode == 0 and {"--screens", "--serial", "--vendor", "--product",
                                      "--range", "--warp", "--touch", "--rate", "--control",
                                      "--taps", "--replay", "--usbip", "--version"} <= options,
           f"--help: {shown.stdout}")
    version = emulate(args, "--version")
    expect(version.returncode == 0 and re.match(r"tsd-emulate \(touchsdk\) \d", version.stdout),
           f"--version: {version.stdout!r}")
    script = os.path.join(work, "not-executable")
    open(script, "w").close()
    cases = [(["--", "sh", "-c", "exit 7"], 7), (["--", "sh", "-c", "kill -TERM $$"], 143),
             (["--", os.path.join(work, "missing")], 127), (["--", script], 126),
             (["--bogus", "--", "true"], 125), (["--rate", "0.001", "--", "true"], 125),
             (["--rate", "1e9", "--", "true"], 125), (["--screens", "17", "--", "true"], 125),
             (["--serial", "x" * 30000, "--", "true"], 125), (["--serial", "é" * 126, "true"], 0)]
    for options, status in cases:
        done = emulate(args, *options)
        expect(done.returncode == status, f"{options[:3]}: exit {done.returncode}, wanted {status}")
        # A refused value is quoted, never repeated whole.
        expect(len(done.stderr) < 2000, f"{options[:3]}: {len(done.stderr)} bytes of complaint")


def sigterm_any_time(args):
    """A slow --touch and a program that ignores nothing: SIGTERM ends both."""
    process = subprocess.Popen(args.emulate + ["--touch", "--rate", "1", "--", "sleep", "60"],
                               stderr=subprocess.PIPE, text=True)
    process.stderr.readline()  # the screen is there
    started = time.monotonic()
    process.send_signal(signal.SIGTERM)
    status = process.wait(timeout=20)
    expect(status == 128 + signal.SIGTERM and time.monotonic() - started < 10,
           f"SIGTERM: exit {status} after {time.monotonic() - started:.1f} s")


def touch_stays_in_range(args):
    done = emulate(args, "--touch", "--rate", "200", "--range", "100,900,800,200", "--",
                   *args.tsdctl, "events", "--raw", "--json", "--count", "60")
    records = [json.loads(line) for line in done.stdout.splitlines()]
    kinds = {record["type"] for record in records}
    outside = [r for r in records if not (100 <= r["x"] <= 900 and 200 <= r["y"] <= 800)]
    expect(done.returncode == 0 and kinds == {"touch", "raw"} and not outside,
           f"--touch: exit {done.returncode}, kinds {kinds}, outside {outside[:3]}")


def plug_burst(args, work):
    """Twenty quick re-plugs while a program listens: nothing aborts, and
    the screen is there at the end. (A listener slower than the burst may
    find a device gone before it looks at it, as with a real kernel, so the
    events are not counted.)"""
    fifo = os.path.join(work, "burst")
    tsdctl = shlex.join(args.tsdctl)
    program = f"{tsdctl} watch --json --count 2 >/dev/null && sleep 2 && {tsdctl} list --json"
    watcher = subprocess.Popen(args.emulate + ["--control", fifo, "--", "sh", "-c", program],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    for _ in range(5):  # until the watcher listens
        if "watching" in watcher.stderr.readline():
            break
    with open(fifo, "w") as control:
        control.write("unplug 0\nplug 0\n" * 20)
    out, err = watcher.communicate(timeout=120)
    listed = json.loads(out)["screens"] if watcher.returncode == 0 else []
    expect(len(listed) == 1, f"plug burst: exit {watcher.returncode}, {out!r}, {err[-500:]}")


def crlf_recording(args, work):
    recording = os.path.join(work, "screen.rec")
    recorded = emulate(args, "--touch", "--range", "300,300.5,400,400.5", "--", *args.tsdctl,
                       "record", "--count", "4", recording)
    with open(recording, "rb") as original:
        text = original.read()
    crlf = os.path.join(work, "crlf.rec")
    with open(crlf, "wb") as out:
        out.write(text.replace(b"\n", b"\r\n"))
    replayed = emulate(args, "--replay", crlf, "--", *args.tsdctl, "events", "--raw", "--json",
                       "--count", "4")
    expect(recorded.returncode == 0 and replayed.returncode == 0 and
           json.loads(replayed.stdout.splitlines()[0])["x"] == 300,
           f"CRLF replay: {recorded.stderr[-300:]} {replayed.stderr[-300:]} {replayed.stdout!r}")


# Run as tsd-emulate's program: what each lock attempt on /dev/hidraw0 gave.
LOCKS_PROGRAM = r"""
import fcntl, os, struct
def tried(call):
    try:
        call()
        return "taken"
    except BlockingIOError:
        return "busy"
def record_lock(fd):
    fcntl.fcntl(fd, fcntl.F_OFD_SETLK, struct.pack("hhqqi", fcntl.F_WRLCK, 0, 0, 1, 0))
first, second = (os.open("/dev/hidraw0", os.O_RDWR) for _ in range(2))
seen = [tried(lambda: fcntl.flock(first, fcntl.LOCK_EX | fcntl.LOCK_NB)),
        tried(lambda: fcntl.flock(second, fcntl.LOCK_EX | fcntl.LOCK_NB)),
        tried(lambda: record_lock(first)), tried(lambda: record_lock(second))]
child = os.fork()
if child == 0:
    other = os.open("/dev/hidraw0", os.O_RDWR)
    os._exit(tried(lambda: fcntl.flock(other, fcntl.LOCK_EX | fcntl.LOCK_NB)) == "busy")
seen.append("busy" if os.waitstatus_to_exitcode(os.waitpid(child, 0)[1]) == 1 else "taken")
os.close(first)
seen += [tried(lambda: fcntl.flock(second, fcntl.LOCK_EX | fcntl.LOCK_NB)),
         tried(lambda: record_lock(second))]
print(" ".join(seen))
"""


def node_locks_shared(args):
    """Locks on a node exclude each other across its opens and processes,
    and go with the descriptor that took them, as on the kernel's node."""
    if len(args.tsdctl) > 1:
        # Behind a runner the interpreter is a host program, which cannot
        # load the board's lock interposer; the device tests' shared-screen
        # case covers the locks there.
        print("node locks: skipped behind a runner", file=sys.stderr)
        return
    done = emulate(args, "--", sys.executable, "-c", LOCKS_PROGRAM)
    wanted = "taken busy taken busy busy taken taken"
    expect(done.returncode == 0 and done.stdout.strip() == wanted,
           f"node locks: exit {done.returncode}, {done.stdout!r}, wanted {wanted!r}: "
           f"{done.stderr[-300:]}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--emulate", required=True)
    parser.add_argument("--tsdctl", required=True)
    args = parser.parse_args()
    args.emulate = shlex.split(args.emulate)
    args.tsdctl = shlex.split(args.tsdctl)
    with tempfile.TemporaryDirectory() as work:
        help_and_statuses(args, work)
        sigterm_any_time(args)
        touch_stays_in_range(args)
        plug_burst(args, work)
        crlf_recording(args, work)
        node_locks_shared(args)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
