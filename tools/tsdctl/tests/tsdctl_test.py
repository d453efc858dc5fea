#!/usr/bin/python3
"""tsdctl and tsd-emulate's control channel, run as a person would, against
emulated screens.

  tsdctl_test.py --emulate CMD --tsdctl CMD FAMILY

The script starts tsd-emulate with the screens FAMILY needs and runs itself
again, as tsd-emulate's program, to drive the screens through the control
FIFO and run tsdctl against them. Each CMD is a command split at spaces: on
a board target it starts with the runner (qemu-user and the target's loader,
which loads the emulated screen's preload).
"""
import argparse
import json
import os
import shlex
import subprocess
import sys
import tempfile

SERIALS = ["PANEL-A", "PANEL-B"]
# TSD_TEST_PRESENTATION=usbip: the screens on the kernel's USB/IP host
# controller instead of in umockdev (root, and a kernel with vhci-hcd).
PRESENTATION = ["--usbip"] if os.environ.get("TSD_TEST_PRESENTATION") == "usbip" else []
# Options of tsd-emulate per family: two screens with different serials.
EMULATE = {
    "list_info": ["--range", "0,1000,0,800"],
    "mode": [],
    "calibration": ["--warp", "typical"],
    "events_watch": [],
    "record_replay": ["--range", "0,1000,0,800"],
}


class Check:
    def __init__(self, tsdctl, fifo):
        self.tsdctl = tsdctl
        self.fifo = fifo
        self.failures = 0

    def run(self, *args, status=0, contains=None, says=None):
        """Runs tsdctl, checks its exit status (and stdout, and the message on
        stderr); returns stdout."""
        done = subprocess.run(self.tsdctl + list(args), capture_output=True, text=True,
                              timeout=60)
        what = "tsdctl " + " ".join(args)
        self.expect(done.returncode == status,
                    f"{what}: exit {done.returncode}, wanted {status}\n{done.stderr}")
        if status != 0:
            self.expect(done.stderr.strip() != "", f"{what}: failed without a message")
        if says is not None:
            self.expect(says in done.stderr, f"{what}: no {says!r} in\n{done.stderr}")
        if contains is not None:
            self.expect(contains in done.stdout, f"{what}: no {contains!r} in\n{done.stdout}")
        return done.stdout

    def json(self, *args):
        lines = [json.loads(line) for line in self.run(*args).splitlines()]
        for line in lines:
            self.expect(line.get("version") == 1, f"no version 1 in {line}")
        return lines[0] if len(lines) == 1 else lines

    def expect(self, ok, message):
        if not ok:
            self.failures += 1
            print("FAIL:", message, file=sys.stderr)

    def control(self, *lines):
        with open(self.fifo, "w") as fifo:
            fifo.write("".join(line + "\n" for line in lines))

    def start(self, *args, ready):
        """Starts a streaming tsdctl and waits for its ready line on stderr."""
        process = subprocess.Popen(self.tsdctl + list(args), stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True)
        said = []
        while len(said) < 20:
            said.append(process.stderr.readline())
            if not said[-1] or ready in said[-1]:
                break
        self.expect(ready in said[-1], f"tsdctl {' '.join(args)}: said {said!r}")
        return process

    def finish(self, process, status=0):
        out, err = process.communicate(timeout=60)
        self.expect(process.returncode == status,
                    f"stream exit {process.returncode}, wanted {status}: {err}")
        return out


def list_info(c):
    text = c.run("list")
    for serial in SERIALS:
        c.expect(serial in text, f"list lacks {serial}")
    listed = c.json("list", "--json")["screens"]
    c.expect([s["serial"] for s in listed] == SERIALS, f"list --json: {listed}")
    c.expect(all(s["access"] and s["vendor"] == "E2C4" for s in listed), f"{listed}")
    second = listed[1]
    # Every way of naming a screen reaches the same one.
    for name in (["1"], ["--serial", "PANEL-B"], [second["devnode"]], [second["syspath"]]):
        info = c.json("info", *name, "--json")
        c.expect(info["screen"]["serial"] == "PANEL-B", f"info {name}: {info['screen']}")
        c.expect(info["range"] == {"xBegin": 0, "xEnd": 1000, "yBegin": 0, "yEnd": 800},
                 f"info range: {info['range']}")
        c.expect(info["workingMode"] == 0 and info["hidMode"] == 0, f"info modes: {info}")
        c.expect(info["activeCalibration"]["present"] is False, f"info: {info}")
    c.run("info", "1", contains="range:        x 0..1000, y 0..800")
    c.run("info", status=2)                      # two screens: which?
    c.run("info", "7", status=3)
    c.run("info", "/dev/hidraw9", status=3)
    c.run("info", "--serial", "NOPE", status=3)
    c.run("info", "/sys/class/net/lo", status=3)  # a path that is not a screen
    c.run("info", "panel", status=2)
    c.run("list", "--frob", status=2)
    c.run("frob", status=2)
    c.run("--version", contains="1.7.")
    for command in ("list", "info", "mode", "restart", "calibration", "events", "watch",
                    "record"):
        c.run(command, "--help", contains="usage: tsdctl")
    # A node this user may not open is listed as denied, and a command on it
    # names the udev rule. Root opens anything while it holds the capability
    # to override file modes, so it gives that up for these runs.
    node = os.path.join(os.environ.get("UMOCKDEV_DIR", "/"), second["devnode"].lstrip("/"))
    os.chmod(os.path.realpath(node), 0)
    drop = ["setpriv", "--bounding-set", "-dac_override,-dac_read_search"]
    denied = Check((drop if os.getuid() == 0 else []) + c.tsdctl, c.fifo)
    listed = denied.json("list", "--json")["screens"]
    c.expect([(s["serial"], s["access"]) for s in listed] == [("PANEL-A", True), ("PANEL-B", False)],
             f"list --json without access to PANEL-B: {listed}")
    denied.run("info", "1", status=4, says="70-touchsdk.rules")
    denied.run("mode", "--serial", "PANEL-B", "working", "1", status=4)
    denied.run("mode", "0", "working", contains="working mode 0")
    c.failures += denied.failures


def mode(c):
    c.run("mode", "1", "data", "3", contains="data mode 3")
    c.expect(c.json("mode", "1", "data", "--json")["value"] == 3, "data mode not kept")
    c.expect(c.json("mode", "0", "data", "--json")["value"] == 0, "the other screen changed")
    c.run("mode", "--serial", "PANEL-A", "working", "1", contains="working mode 1")
    # Bad input changes nothing.
    c.run("mode", "1", "data", "5", status=2)
    c.run("mode", "1", "hid", "x", status=2)
    c.run("mode", "1", "colour", status=2)
    c.run("mode", "1", "data", "1", "2", status=2)
    c.run("mode", "4", "data", "1", status=3)
    c.expect(c.json("mode", "1", "data", "--json")["value"] == 3, "a refused set changed it")
    c.run("restart", "1", status=2)
    c.run("restart", "1", "-y", contains="restarted screen 1")
    c.run("restart", "9", "-y", status=3)


def touches(c, screen, points):
    """Taps each true position on a screen; answers where the screen put them."""
    stream = c.start("events", str(screen), "--json", "--count", str(2 * len(points)),
                     ready="receiving")
    for n, (x, y) in enumerate(points):
        c.control(f"touch {screen} {n} {x} {y}", f"lift {screen} {n}")
    records = [json.loads(line) for line in c.finish(stream).splitlines()]
    return [(r["x"], r["y"]) for r in records if r["state"] == "down"]


def calibration(c, workdir):
    targets = [(x, y) for x in (300, 2048, 3800) for y in (300, 2048, 3800)]
    reported = touches(c, 1, targets)
    c.expect(len(reported) == len(targets), f"reported {reported}")
    worst = max(abs(r[0] - t[0]) + abs(r[1] - t[1]) for r, t in zip(reported, targets))
    c.expect(worst > 40, f"the warped sensor is off by only {worst}")
    points = os.path.join(workdir, "points.csv")
    with open(points, "w") as out:
        out.write("touchX,touchY,targetX,targetY\n")
        out.writelines(f"{r[0]},{r[1]},{t[0]},{t[1]}\n" for r, t in zip(reported, targets))
    bad = os.path.join(workdir, "bad.csv")
    with open(bad, "w") as out:
        out.write("1,2,3,4\n1,2,x,4\n5,6,7,8\n")
    c.run("calibration", "fit", "1", "--points", bad, "--range", "0,4095,0,4095", status=2)
    c.run("calibration", "fit", "1", "--points", points, "--range", "0,4095,0,0", status=2)
    c.run("calibration", "fit", "1", "--range", "0,4095,0,4095", status=2)
    info = c.json("info", "1", "--json")
    c.expect(info["previewCalibration"]["present"] is False, "bad input reached the screen")
    fitted = c.run("calibration", "fit", "1", "--points", points, "--range", "0,4095,0,4095",
                   "--apply", contains="applied")
    residuals = [float(line.split()[-1]) for line in fitted.splitlines()
                 if line[:1].isdigit()]
    c.expect(len(residuals) == 9 and max(residuals) < 3, f"residuals {residuals}")
    info = c.json("info", "1", "--json")
    c.expect(info["activeCalibration"] == {"present": True, "valid": True, "degree": 2},
             f"after fit --apply: {info['activeCalibration']}")
    corrected = touches(c, 1, targets)
    worst = max(abs(r[0] - t[0]) + abs(r[1] - t[1]) for r, t in zip(corrected, targets))
    c.expect(worst <= 4, f"calibrated touches still off by {worst}: {corrected}")
    c.run("calibration", "cancel", "1", contains="cancelled")
    c.run("calibration", "reset", "1", status=2)
    c.expect(c.json("info", "1", "--json")["activeCalibration"]["valid"], "reset without -y")
    c.run("calibration", "reset", "1", "-y", contains="reset")
    c.expect(not c.json("info", "1", "--json")["activeCalibration"]["valid"], "reset kept it")
    c.run("calibration", "frob", "1", status=2)


def events_watch(c):
    stream = c.start("events", "--serial", "PANEL-B", "--raw", "--keys", "--json",
                     "--count", "5", ready="receiving")
    c.control("touch 1 4 100 200", "key 1 7 1", "lift 1 4")
    records = [json.loads(line) for line in c.finish(stream).splitlines()]
    seen = [(r["type"], r.get("id", r.get("key")), r["state"]) for r in records]
    c.expect(sorted(seen) == sorted([("touch", 4, "down"), ("raw", 4, "down"),
                                     ("key", 7, "pressed"), ("touch", 4, "up"),
                                     ("raw", 4, "up")]), f"events: {seen}")
    c.expect((records[0]["x"], records[0]["y"]) == (100, 200), f"events: {records[0]}")

    watch = c.start("watch", "--json", "--count", "2", ready="watching")
    every = c.start("watch", "--all", "--json", "--count", "1", ready="watching")
    events = c.start("events", "0", ready="receiving")
    c.control("touch 0 1 nowhere", "unplug 0", "plug 0")
    lines = [json.loads(line) for line in c.finish(watch).splitlines()]
    # The kernel gives the re-plugged screen the lowest free node, umockdev a new one.
    c.expect([(line["action"], line["devnode"]) for line in lines] ==
             [("remove", "/dev/hidraw0"), ("add", "/dev/hidraw0" if PRESENTATION else "/dev/hidraw2")],
             f"watch: {lines}")
    # The kernel takes the screen's hiddev node (usbmisc) away first.
    c.expect(json.loads(c.finish(every))["subsystem"] == ("usbmisc" if PRESENTATION else "hidraw"),
             "watch --all")
    c.finish(events, status=1)  # its screen went away
    c.expect(len(c.json("list", "--json")["screens"]) == 2, "the screen did not come back")
    c.run("events", "--count", "0", status=2)
    c.run("watch", "0", status=2)


def record_replay(c, workdir, emulate, tsdctl):
    script = ["touch 0 1 500 400", "wait 20", "touch 0 1 510 390", "touch 0 2 20 30",
              "wait 20", "lift 0 1", "key 0 3 1", "lift 0 2"]
    live = c.start("events", "0", "--raw", "--keys", "--json", "--count", "11",
                   ready="receiving")
    c.control(*script)
    expected = c.finish(live).splitlines()
    recording = os.path.join(workdir, "screen.rec")
    recorder = c.start("record", "1", "--count", "11", recording, ready="recording")
    c.control(*[line.replace(" 0 ", " 1 ", 1) for line in script])
    c.finish(recorder)
    c.run("record", "1", status=2)  # no FILE
    if PRESENTATION:
        # On the kernel every screen is the whole machine's: the replayed one
        # must be alone, so these two go first.
        gone = c.start("watch", "--json", "--count", "2", ready="watching")
        c.control("unplug 0", "unplug 1")
        c.finish(gone)
    # On the kernel each open of the node has a queue of its own: the replay
    # starts at tsdctl's first open, the one that finds the screen, and what
    # it plays then is gone with it, as with a real screen. Only umockdev's
    # node keeps the reports for the next open, so only there is the stream
    # compared.
    if not PRESENTATION:
        replayed = subprocess.run(
            emulate + ["--replay", recording, "--"] + tsdctl +
            ["events", "--raw", "--keys", "--json", "--count", "11"],
            capture_output=True, text=True, timeout=60)
        c.expect(replayed.returncode == 0, f"replay: {replayed.stderr}")
        c.expect(replayed.stdout.splitlines() == expected,
                 f"replayed\n{replayed.stdout}\nlive\n{chr(10).join(expected)}")
    with open(recording) as text:
        c.expect("serial PANEL-B\n" in text.read(), "the recording lacks the serial")
    listed = subprocess.run(emulate + ["--replay", recording, "--"] + tsdctl + ["info", "--json"],
                            capture_output=True, text=True, timeout=60)
    info = json.loads(listed.stdout) if listed.returncode == 0 else {}
    c.expect(info.get("range", {}).get("xEnd") == 1000, f"replayed range: {listed.stdout}")

    # tsd-emulate refuses bad input before it runs the program.
    bad = os.path.join(workdir, "bad.rec")
    with open(bad, "w") as out:
        out.write("tsd-record 1\nvendor E2C4\nreport 0 zz\n")
    taken = os.path.join(workdir, "taken")
    open(taken, "w").close()
    for options, status in ((["--replay", bad], 125), (["--control", taken], 125),
                            (["--warp", "odd"], 2), (["--range", "0,0,0,9"], 2)):
        done = subprocess.run(emulate + options + ["--", "true"], capture_output=True, text=True,
                              timeout=60)
        c.expect(done.returncode == status and done.stderr.strip() != "",
                 f"tsd-emulate {options}: exit {done.returncode}, {done.stderr!r}")
    c.expect(os.path.isfile(taken), "tsd-emulate --control removed a file it did not make")


def inside(args):
    os.environ["ASAN_OPTIONS"] = os.environ.pop("TSD_TEST_ASAN_OPTIONS", "")
    tsdctl = shlex.split(args.tsdctl)
    if len(tsdctl) > 1:
        # Behind a runner the preload comes from the target's loader; in the
        # environment it would reach the runner, a host program.
        os.environ.pop("LD_PRELOAD", None)
    check = Check(tsdctl, args.fifo)
    with tempfile.TemporaryDirectory() as workdir:
        if args.family == "list_info":
            list_info(check)
        elif args.family == "mode":
            mode(check)
        elif args.family == "calibration":
            calibration(check, workdir)
        elif args.family == "events_watch":
            events_watch(check)
        elif args.family == "record_replay":
            record_replay(check, workdir, shlex.split(args.emulate) + PRESENTATION, tsdctl)
    return 1 if check.failures else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--emulate", required=True)
    parser.add_argument("--tsdctl", required=True)
    parser.add_argument("--inside", action="store_true")
    parser.add_argument("--fifo")
    parser.add_argument("family", choices=sorted(EMULATE))
    args = parser.parse_args()
    if args.inside:
        return inside(args)
    with tempfile.TemporaryDirectory() as workdir:
        fifo = os.path.join(workdir, "control")
        emulate = shlex.split(args.emulate) + PRESENTATION + ["--screens", "2", "--control", fifo]
        for serial in SERIALS:
            emulate += ["--serial", serial]
        # In a sanitizer build tsd-emulate hands its program the sanitizer
        # runtime, which would count the interpreter's own memory as leaks;
        # tsdctl gets the original options back.
        outer = os.environ.get("ASAN_OPTIONS", "")
        command = emulate + EMULATE[args.family] + [
            "--", "/usr/bin/env", "ASAN_OPTIONS=detect_leaks=0",
            "TSD_TEST_ASAN_OPTIONS=" + outer, sys.executable, os.path.abspath(__file__), "--inside", "--fifo", fifo,
            "--emulate", args.emulate, "--tsdctl", args.tsdctl, args.family]
        status = subprocess.run(command, timeout=300).returncode
        if os.path.exists(fifo):
            print("FAIL: the control FIFO outlived tsd-emulate", file=sys.stderr)
            return 1
        return status


if __name__ == "__main__":
    sys.exit(main())
