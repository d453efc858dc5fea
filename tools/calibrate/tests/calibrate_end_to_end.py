#!/usr/bin/python3
"""tsd-calibrate run as a person would, against an emulated screen whose
sensor is warped, with a scripted finger that touches what the program shows.

The outer run starts one `tsd-emulate --warp W --control FIFO` per scenario
(the 9-point one on a panel mounted turned, the rest on a typical one) with
this script (in --inner mode) as the program under it; the
inner run starts tsd-calibrate and the touch probe, reads the targets the
calibrator announces (--verbose, JSON Lines), touches their true positions
through the FIFO and checks exit codes, messages, frames and, through the
library (the probe), what the screen applies afterwards.

Program paths are shell words, so that a board's CI can put a qemu prefix in
front: --emulate 'qemu-arm ... tsd-emulate'.
"""
import argparse
import json
import math
import os
import shlex
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

TARGET_CENTRE = (0xFF, 0x20, 0x20)
SCENARIOS = ["keep9", "keep16", "timeout", "stops", "bad-input"]
TURNED_PANEL = {"keep9"}


class Failure(Exception):
    pass


# In a sanitizer build tsd-emulate puts the sanitizer runtime in its child's
# preload, and this script is that child: Python's own allocations must not
# count as the programs' leaks, while the programs it starts keep the
# caller's settings.
SANITIZER_OPTIONS = "TSD_E2E_ASAN_OPTIONS"


def program_environment(command):
    env = dict(os.environ)
    env.pop("ASAN_OPTIONS", None)
    if len(command) > 1:
        # Behind a runner (qemu-user and the target's loader) the preload
        # comes from the loader; here it would reach the runner, a host
        # program.
        env.pop("LD_PRELOAD", None)
    if env.get(SANITIZER_OPTIONS):
        env["ASAN_OPTIONS"] = env[SANITIZER_OPTIONS]
    return env


def check(condition, message):
    if not condition:
        raise Failure(message)


# ---- Pictures -------------------------------------------------------------

def read_png(path):
    """Width, height and the filtered rows (filter byte, then R, G, B per
    pixel) of an 8-bit RGB PNG without interlacing."""
    with open(path, "rb") as f:
        data = f.read()
    check(data[:8] == b"\x89PNG\r\n\x1a\n", f"{path}: not a PNG")
    at, idat, width, height = 8, b"", 0, 0
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        crc = struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0]
        check(zlib.crc32(kind + body) == crc, f"{path}: bad CRC in {kind}")
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            check((depth, colour) == (8, 2), f"{path}: not 8-bit RGB")
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    check(len(raw) == (width * 3 + 1) * height, f"{path}: wrong amount of pixel data")
    return width, height, raw


def pixels_of_colour(width, raw, colour):
    """Every pixel of exactly that colour, as (x, y)."""
    stride = width * 3 + 1
    found, at = [], raw.find(colour)
    while at >= 0:
        x, rest = divmod(at % stride - 1, 3)
        if rest == 0 and at % stride != 0:
            found.append((x, at // stride))
        at = raw.find(colour, at + 1)
    return found


def check_target_frame(event):
    """The frame shows the target's centre (3 x 3 pixels of a colour used
    nowhere else) where the program says, and nowhere else."""
    width, _, raw = read_png(event["frame"])
    x, y = (int(math.floor(v)) for v in event["display"])
    centre = pixels_of_colour(width, raw, bytes(TARGET_CENTRE))
    expected = {(x + i, y + j) for i in (-1, 0, 1) for j in (-1, 0, 1)}
    check(set(centre) == expected,
          f"{event['frame']}: target centre at {sorted(centre)[:3]}..., announced at {x},{y}")


# ---- The scripted finger -------------------------------------------------

class Finger:
    def __init__(self, fifo):
        self.fifo = open(fifo, "w")

    def send(self, *lines):
        self.fifo.write("".join(line + "\n" for line in lines))
        self.fifo.flush()

    def tap(self, x, y, samples=7):
        # A resting finger trembles by a unit or so.
        jitter = [(0, 0), (1, 0), (0, -1), (-1, 1), (0, 1), (1, -1), (0, 0)]
        lines = [f"touch 0 1 {x + jitter[i % 7][0]:.2f} {y + jitter[i % 7][1]:.2f}"
                 for i in range(samples)]
        self.send(*lines, "lift 0 1")


class Screen:
    """The emulated screen's geometry as the calibrator announced it."""

    def __init__(self, event):
        self.x0, self.x1, self.y0, self.y1 = event["range"]
        self.ax, self.ay, self.aw, self.ah = event["area"]

    def true_position(self, display):
        """Display pixels to the screen's true units: the panel covers the
        output area edge to edge."""
        dx, dy = display
        return (self.x0 + (dx - self.ax) / self.aw * (self.x1 - self.x0),
                self.y0 + (dy - self.ay) / self.ah * (self.y1 - self.y0))

    def view_position(self, x, y):
        return ((x - self.x0) / (self.x1 - self.x0) * self.aw,
                (y - self.y0) / (self.y1 - self.y0) * self.ah)


class Calibrator:
    """tsd-calibrate with --verbose. The image backend writes frames to `work`;
    the SDL2 backend draws through SDL's headless (dummy) video driver."""

    def __init__(self, args, options, work, backend="image", headless=True):
        output = ["--output", work] if backend == "image" else []
        self.backend = backend
        self.command = shlex.split(args.calibrate) + [
            "--backend", backend, "--verbose"] + output + options
        env = program_environment(shlex.split(args.calibrate))
        if headless:
            # Headless and drawn in software: SDL's offscreen driver would load
            # EGL, whose allocations LeakSanitizer cannot place once unloaded.
            env["SDL_VIDEODRIVER"] = "dummy"
            env["SDL_RENDER_DRIVER"] = "software"
        else:
            for name in ("SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"):
                env.pop(name, None)
        self.process = subprocess.Popen(self.command, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True, env=env)
        self.events = []

    def next_event(self):
        line = self.process.stdout.readline()
        if not line:
            return None
        event = json.loads(line)
        self.events.append(event)
        return event

    def finish(self, timeout=60):
        out, err = self.process.communicate(timeout=timeout)
        for line in out.splitlines():
            self.events.append(json.loads(line))
        return self.process.returncode, err




def probe(args, finger, screen, positions):
    """What the library delivers for a touch at each display position: the
    touch (calibration in force applied) and the raw touch, screen units."""
    probe = subprocess.Popen(shlex.split(args.probe) + [str(len(positions)), "30"],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                             env=program_environment(shlex.split(args.probe)))
    ready = probe.stdout.readline().strip()
    if ready != "ready":
        raise Failure(f"the probe did not start: {ready!r} {probe.stderr.read()!r}")
    pairs = []
    for display in positions:
        x, y = screen.true_position(display)
        finger.send(f"touch 0 1 {x:.2f} {y:.2f}", "lift 0 1")
        seen = {}
        while len(seen) < 2:
            line = probe.stdout.readline()
            if not line:
                raise Failure(f"the probe ended early ({probe.wait()}): {probe.stderr.read()!r}")
            kind, state, px, py = line.split()
            if state == "1":
                seen[kind] = (float(px), float(py))
        pairs.append((seen["touch"], seen["raw"]))
    check(probe.wait(30) == 0, "the probe missed touches")
    return pairs


# ---- Driving the calibrator ----------------------------------------------

def drive(cal, finger, until, misclicks=(), double_taps=()):
    """Touches every target the calibrator shows until an event of kind
    `until` (or the end). A misclick goes below the target first, at about
    the next row's height; a target in `double_taps` is tapped twice in a
    row, so that the second tap is what the next target gets first."""
    screen = None
    misclicked = set()
    skip_next_target = False
    while True:
        event = cal.next_event()
        if event is None:
            return screen, None
        kind = event["event"]
        if kind == "screen":
            screen = Screen(event)
        if kind == until or (until == "preview-on" and kind == "preview" and event["state"] == "on"):
            return screen, event
        if kind != "target":
            continue
        index = event["index"]
        calibrating = event["phase"] == "calibrate"
        if skip_next_target:
            # Its press is already queued: the second tap of the last target.
            skip_next_target = False
        elif calibrating and index in misclicks and index not in misclicked:
            misclicked.add(index)
            finger.tap(*screen.true_position((event["display"][0],
                                              event["display"][1] + 0.3 * screen.ah)))
        else:
            finger.tap(*screen.true_position(event["display"]))
            if calibrating and index in double_taps:
                finger.tap(*screen.true_position(event["display"]))
                skip_next_target = True
        if cal.backend == "image":
            check_target_frame(event)


def scenario_keep(args, finger, points, work):
    # The double tap's window is wide: on a loaded machine the emulated
    # finger's second tap may reach the program long after the first.
    options = ["--points", str(points), "--threshold", "1", "--double-tap", "5000",
               "--report", os.path.join(work, "report.txt")]
    # The 9-point run goes through SDL2 where the build has it (the board
    # builds do not); the 16-point run's frames are checked pixel by pixel.
    backend = "sdl" if points == 9 else "image"
    cal = Calibrator(args, options, work, backend)
    if backend == "sdl" and cal.process.stdout.buffer.peek(1) == b"":
        code, err = cal.finish()
        check("no SDL2 backend" in err, f"the SDL2 backend failed: exit {code}: {err}")
        backend = "image"
        cal = Calibrator(args, options, work, backend)
    misclicks = (4,) if points == 16 else ()
    double_taps = (1,) if points == 16 else ()
    screen, verified = drive(cal, finger, "verified", misclicks, double_taps)
    check(verified is not None and verified["passed"], f"verification failed: {verified}")
    buttons = {}
    while len(buttons) < 2:
        event = cal.next_event()
        buttons[event["name"]] = event
    check(set(buttons) == {"keep", "cancel"}, f"buttons {set(buttons)}")
    finger.tap(*screen.true_position(buttons["keep"]["display"]))
    code, err = cal.finish()
    check(code == 0, f"exit {code}: {err}")
    rejected = [(e["index"], e["reason"]) for e in cal.events if e["event"] == "rejected"]
    expected = [(i, "misclick") for i in misclicks] + [(i + 1, "double-tap") for i in double_taps]
    check(sorted(rejected) == sorted(expected), f"rejected {rejected}, expected {expected}")
    accepted = [e["index"] for e in cal.events if e["event"] == "accepted"]
    check(accepted == list(range(points)), f"accepted {accepted}")

    # The kept calibration, through the library, at every target of the grid.
    grid = [e for e in cal.events if e["event"] == "target" and e["phase"] == "calibrate"]
    grid = list({e["index"]: e for e in grid}.values())
    worst = 0.0
    for event, (touch, raw) in zip(grid, probe(args, finger, screen, [e["display"] for e in grid])):
        worst = max(worst, math.dist(screen.view_position(*touch), event["at"]))
        check(touch != raw, "the kept calibration is not in force")
    check(worst <= 1.0, f"a delivered touch lies {worst:.2f} px from its target")
    check(os.path.getsize(os.path.join(work, "report.svg")) > 0, "no report picture")
    if backend == "image":
        frame = os.path.getsize(os.path.join(work, "frame-0001.png"))
        check(frame < 100_000, f"an 800x480 frame takes {frame} bytes")
    return f"largest error after keeping {worst:.2f} px ({backend} backend)"


def assert_out_of_preview(args, finger, screen):
    [(touch, raw)] = probe(args, finger, screen, [(screen.ax + screen.aw * 0.8, screen.ay + screen.ah * 0.2)])
    check(touch == raw, f"the screen still applies a calibration: touch {touch}, raw {raw}")


def scenario_timeout(args, finger, work):
    cal = Calibrator(args, ["--timeout", "4"], work)
    started = time.monotonic()
    screen, preview = drive(cal, finger, "preview-on")
    check(preview is not None, "no preview")
    code, err = cal.finish()
    check(code == 6 and "timed out: no touch for 4 s" in err, f"exit {code}: {err}")
    check(time.monotonic() - started < 30, "the time-out took too long")
    check(any(e["event"] == "preview" and e["state"] == "cancelled" for e in cal.events),
          "preview not cancelled")
    assert_out_of_preview(args, finger, screen)
    return "time-out: exit 6, preview off"


def scenario_stops(args, finger, work):
    # A calibrator killed outright leaves its preview on; the next one
    # cancels it before it starts, and a signal stops it with its own off.
    killed = Calibrator(args, [], work)
    screen, preview = drive(killed, finger, "preview-on")
    check(preview is not None, "no preview")
    killed.process.kill()
    killed.finish()
    [(touch, raw)] = probe(args, finger, screen, [(screen.ax + screen.aw * 0.8,
                                                   screen.ay + screen.ah * 0.2)])
    check(touch != raw, "a killed calibrator's preview went away by itself")
    cal = Calibrator(args, [], work)
    first = [cal.next_event() for _ in range(2)][1]
    check(first == {"event": "preview", "state": "cleared"}, f"no clearing: {first}")
    # The probe runs once the calibrator has gone, as everywhere here. This
    # calibrator never switched a preview on, so only the clearing can have
    # taken the killed one's away.
    cal.process.send_signal(signal.SIGTERM)
    code, err = cal.finish()
    check(code == 5 and "signal" in err and "left on the screen" in err, f"exit {code}: {err}")
    assert_out_of_preview(args, finger, screen)

    # A kiosk without a keyboard: a corner held for 3 s cancels.
    cal = Calibrator(args, [], work)
    drive(cal, finger, "target")
    x, y = screen.true_position((screen.ax + 0.02 * screen.aw, screen.ay + 0.97 * screen.ah))
    hold = [f"touch 0 1 {x:.2f} {y:.2f}"] * 6
    finger.send(*hold, "wait 3200", *hold, "lift 0 1")
    code, err = cal.finish()
    check(code == 5 and "cancelled from the screen" in err, f"corner held: exit {code}: {err}")
    check(any(e["event"] == "corner-hold" for e in cal.events), "no corner-hold event")
    return "killed, SIGTERM, corner held: preview cleared then off, exit 5"


def expect_failure(args, options, work, words, status=1, **calibrator):
    """Each of `words` must be in the message; a tuple, any one of its own."""
    cal = Calibrator(args, options, work, **calibrator)
    started = time.monotonic()
    code, err = cal.finish()
    check(code == status, f"{options}: exit {code}, expected {status}: {err}")
    said = [any(w in err for w in word) if isinstance(word, tuple) else word in err
            for word in words]
    check(all(said), f"{options}: unclear message: {err!r}")
    check(time.monotonic() - started < 10, f"{options}: took too long")


def scenario_bad_input(args, finger, work):
    expect_failure(args, ["--points", "7"], work, ["--points", "4, 5, 9, 16 or 25", "7"], 2)
    expect_failure(args, ["--geometry", "640x480+200+0", "--image-size", "800x480"], work,
                   ["640x480+200+0", "inside the display", "800x480"])
    expect_failure(args, ["--rotate=45"], work, ["--rotate", "45"], 2)
    expect_failure(args, ["--device", "9"], work, ["no supported screen 9"], 3)
    # No display a person can see: refused at once, not drawn invisibly. A
    # build without SDL2 (the boards' builds) refuses the backend itself.
    expect_failure(args, [], work, [("no display found", "no SDL2 backend")], backend="sdl",
                   headless=False)
    if not os.path.exists("/dev/fb0") and not os.path.exists("/dev/dri"):
        expect_failure(args, [], work, ["no display found"], backend="auto", headless=False)

    # Unplugged during the check, with the preview on.
    cal = Calibrator(args, [], work)
    screen, preview = drive(cal, finger, "preview-on")
    check(preview is not None, "no preview")
    finger.send("unplug 0")
    code, err = cal.finish()
    check(code == 1 and "went away" in err, f"unplugged: exit {code}: {err}")
    expect_failure(args, [], work, ["no supported screen found"], 3)
    finger.send("plug 0")
    time.sleep(0.5)
    assert_out_of_preview(args, finger, screen)
    return "bad input: exit 1, 2 or 3 with a clear message each time"


def inner(args):
    work = os.path.join(args.work, args.inner)
    os.makedirs(work, exist_ok=True)
    finger = Finger(args.fifo)
    if args.inner in ("keep9", "keep16"):
        result = scenario_keep(args, finger, int(args.inner[4:]), work)
    elif args.inner == "timeout":
        result = scenario_timeout(args, finger, work)
    elif args.inner == "stops":
        result = scenario_stops(args, finger, work)
    else:
        result = scenario_bad_input(args, finger, work)
    print(f"{args.inner}: {result}")


def outer(args):
    original = os.environ.get("ASAN_OPTIONS", "")
    env = dict(os.environ, ASAN_OPTIONS=(original + ":" if original else "") + "detect_leaks=0")
    env[SANITIZER_OPTIONS] = original
    failed = []
    # The FIFOs in /tmp: a build tree on a shared (9p) file system holds none.
    fifos = tempfile.TemporaryDirectory()
    # TSD_TEST_PRESENTATION=usbip: the screen on the kernel's USB/IP host controller.
    usbip = ["--usbip"] if os.environ.get("TSD_TEST_PRESENTATION") == "usbip" else []
    for name in args.scenarios or SCENARIOS:
        fifo = os.path.join(fifos.name, f"control-{name}")
        command = shlex.split(args.emulate) + usbip + [
            "--warp", "turned" if name in TURNED_PANEL else "typical", "--control", fifo, "--", sys.executable, os.path.abspath(__file__),
            "--inner", name, "--fifo", fifo, "--work", args.work,
            "--calibrate", args.calibrate, "--probe", args.probe]
        result = subprocess.run(command, timeout=300, env=env)
        if result.returncode != 0:
            failed.append(name)
    if failed:
        print("failed: " + ", ".join(failed))
        sys.exit(1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--emulate")
    parser.add_argument("--calibrate", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--inner")
    parser.add_argument("--fifo")
    parser.add_argument("scenarios", nargs="*")
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    if not args.inner:
        outer(args)
        return
    try:
        inner(args)
    except Failure as failure:
        print(f"{args.inner}: FAILED: {failure}")
        sys.exit(1)


if __name__ == "__main__":
    main()
