#!/usr/bin/python3
"""tsd-view run as a person would, against an emulated screen whose sensor
is warped and which applies a calibration, with a scripted finger; the
frames it writes are read back pixel by pixel.

  view_end_to_end.py --emulate CMD --tsdctl CMD --view CMD --work DIR

The script starts tsd-emulate and runs itself again as its program. There
it puts a known calibration in force (tsdctl calibration fit), watches the
library's own records (tsdctl events) to learn where each touch was
measured and where the calibration put it, and checks that the frames show
exactly that: rings at the calibrated positions, crosses at the measured
ones, the trail of a moving contact, a lit key. Each CMD is a command split
at spaces (a board's runner may come first).
"""
import argparse
import json
import os
import shlex
import shutil
import subprocess
import sys
import time

RANGE = (0, 4095, 0, 4095)
SIZE = (400, 300)
RING = bytes((0xFF, 0xC0, 0x00))
RAW_MARK = bytes((0xFF, 0x40, 0xFF))
KEY_LIT = bytes((0x20, 0x90, 0xFF))
TRAIL, BACKGROUND = (0x40, 0xE0, 0x70), (0x10, 0x14, 0x18)


class Failure(Exception):
    pass


STARTED = []  # every program started, stopped if the scenario fails


def start(command, **kwargs):
    STARTED.append(subprocess.Popen(command, **kwargs))
    return STARTED[-1]


def check(ok, message):
    if not ok:
        raise Failure(message)


def calibrated(x, y):
    """The calibration put in force: far enough from the identity that a
    ring drawn at the measured position would be tens of pixels off."""
    return 0.95 * x + 400, 0.95 * y + 350


def to_pixel(x, y):
    return (int((x - RANGE[0]) / (RANGE[1] - RANGE[0]) * SIZE[0]),
            int((y - RANGE[2]) / (RANGE[3] - RANGE[2]) * SIZE[1]))


# ---- Frames --------------------------------------------------------------

class Frame:
    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        header = b"P6\n%d %d\n255\n" % SIZE
        # A frame being written is read again once it is whole.
        self.complete = len(data) == len(header) + SIZE[0] * SIZE[1] * 3
        check(not self.complete or data.startswith(header), f"{path}: not a {SIZE} PPM")
        self.path, self.pixels = path, data[len(header):]

    def where(self, colour):
        found, at = [], self.pixels.find(colour)
        while at >= 0:
            if at % 3 == 0:
                found.append(divmod(at // 3, SIZE[0])[::-1])
            at = self.pixels.find(colour, at + 1)
        return found

    def at(self, x, y):
        i = (y * SIZE[0] + x) * 3
        return tuple(self.pixels[i:i + 3])


def near(points, centre, reach):
    return [p for p in points if abs(p[0] - centre[0]) <= reach and abs(p[1] - centre[1]) <= reach]


def ring_centre(frame, centre):
    ring = near(frame.where(RING), centre, 40)
    if not ring:
        return None
    xs, ys = [p[0] for p in ring], [p[1] for p in ring]
    return (min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2


def cross_centre(frame, centre):
    """The row and column the cross's arms lie on."""
    cross = near(frame.where(RAW_MARK), centre, 40)
    if not cross:
        return None
    xs, ys = [p[0] for p in cross], [p[1] for p in cross]
    return max(set(xs), key=xs.count), max(set(ys), key=ys.count)


def is_trail(colour):
    """The trail's colour, faded towards the background by any share."""
    if colour == BACKGROUND:
        return False
    share = (TRAIL[1] - colour[1]) / (TRAIL[1] - BACKGROUND[1])
    return 0 <= share < 1 and all(
        abs(TRAIL[i] + (BACKGROUND[i] - TRAIL[i]) * share - colour[i]) <= 2 for i in (0, 2))


class Viewer:
    def __init__(self, command, work, *options):
        self.work = work
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        self.process = start(
            command + ["--backend", "image", "--frame-format", "ppm", "--output", work,
                       "--image-size", "%dx%d" % SIZE] + list(options),
            stderr=subprocess.PIPE, text=True)
        self.seen = 0

    def frames(self):
        return sorted(f for f in os.listdir(self.work) if f.endswith(".ppm"))

    def first_frame_showing(self, wanted, what, seconds=20):
        """The first new frame of which wanted(frame) is true; frames are
        read in the order written, so a passing state cannot be missed."""
        until, last = time.monotonic() + seconds, None
        while time.monotonic() < until:
            if self.process.poll() is not None:
                raise Failure(f"tsd-view ended early: {self.process.stderr.read()!r}")
            names = self.frames()
            for name in names[self.seen:]:
                frame = Frame(os.path.join(self.work, name))
                if not frame.complete:
                    break
                self.seen, last = self.seen + 1, frame
                problem = wanted(frame)
                if problem is None:
                    return frame
            time.sleep(0.02)
        raise Failure(f"no frame shows {what}; last {last and last.path}: "
                      f"{last and wanted(last)}")

    def finish(self, status, says):
        _, err = self.process.communicate(timeout=30)
        check(self.process.returncode == status and says in err,
              f"tsd-view: exit {self.process.returncode}, wanted {status} with {says!r}: {err!r}")


# ---- The scenario ----------------------------------------------------------

# Contact 1 and 2 put down, then contact 1 slid in ten steps; true positions.
HOLD = [(1, 1000, 1200), (2, 3000, 2500)]
SLIDE = [(1, 1000 + step * 150, 1200 + step * 60) for step in range(1, 11)]


def touch_lines(moves):
    return [f"touch 0 {i} {x} {y}" for i, x, y in moves]


def learn(tsdctl, send, moves):
    """Where the library puts each move, touch and raw, in screen units. A
    report goes to one reader of the emulated node only, so this is learnt
    with tsdctl alone beforehand; the emulated sensor is deterministic."""
    events = start(tsdctl + ["events", "--json", "--raw", "--count", str(2 * len(moves) + 4)],
                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    check("receiving" in events.stderr.readline(), "tsdctl events did not start")
    send(*touch_lines(moves), "lift 0 1", "lift 0 2")
    out, err = events.communicate(timeout=30)
    check(events.returncode == 0, f"tsdctl events: {err}")
    records = [json.loads(line) for line in out.splitlines()]
    down = [(r["x"], r["y"]) for r in records if r["state"] == "down"]
    check(len(down) == 2 * len(moves), f"tsdctl events: {records}")
    learnt = [{"touch": down[2 * n], "raw": down[2 * n + 1]} for n in range(len(moves))]
    for place in learnt:
        # Far enough from the identity that a ring at the raw position would
        # be tens of pixels off.
        want = calibrated(*place["raw"])
        check(abs(want[0] - place["touch"][0]) <= 2 and abs(want[1] - place["touch"][1]) <= 2,
              f"the calibration is not in force: {place}")
    return learnt


def contacts_shown(places):
    """Each contact's ring where the calibration put it, its cross where the
    sensor measured it; `places` by contact ID."""
    def problem(frame):
        for i, place in places.items():
            ring, cross = to_pixel(*place["touch"]), to_pixel(*place["raw"])
            if ring_centre(frame, ring) != ring:
                return f"contact {i}: ring at {ring_centre(frame, ring)}, wanted {ring}"
            if cross_centre(frame, cross) != cross:
                return f"contact {i}: cross at {cross_centre(frame, cross)}, wanted {cross}"
        return None
    return problem


def trail_followed(places, path):
    shown = contacts_shown(places)

    def problem(frame):
        # The newest points lie under the contact's ring and cross; the
        # oldest may have faded already on a slow machine.
        for x, y in path[-8:-3]:
            px, py = to_pixel(x, y)
            if not any(is_trail(frame.at(px + dx, py + dy))
                       for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                return f"no trail at {px},{py}"
        return shown(frame)
    return problem


def run_scenario(args, fifo):
    tsdctl = shlex.split(args.tsdctl)
    view = shlex.split(args.view)
    control = open(fifo, "w")

    def send(*lines):
        control.write("".join(line + "\n" for line in lines))
        control.flush()

    # A calibration in force: pairs on a known map, fitted and kept.
    points = os.path.join(args.work, "points.csv")
    with open(points, "w") as f:
        for x in (400, 2000, 3600):
            for y in (400, 2000, 3600):
                f.write("%d,%d,%.1f,%.1f\n" % ((x, y) + calibrated(x, y)))
    fit = subprocess.run(tsdctl + ["calibration", "fit", "--points", points, "--range",
                                   ",".join(map(str, RANGE)), "--apply"],
                         capture_output=True, text=True, timeout=60)
    check(fit.returncode == 0, f"calibration fit: {fit.stderr}")
    learnt = learn(tsdctl, send, HOLD + SLIDE)

    # --frames ends it. It only listens: the screen's modes and calibration
    # are as they were.
    def state():
        return subprocess.run(tsdctl + ["info", "--json"], capture_output=True, text=True).stdout
    before = state()
    frames = Viewer(view, os.path.join(args.work, "limited"), "--frames", "2")
    frames.first_frame_showing(lambda f: None, "anything")
    send("key 0 9 1")  # one report: none left over for the next reader
    frames.finish(0, "")
    check(len(frames.frames()) == 2, f"--frames 2 wrote {frames.frames()}")
    check(state() == before and '"valid":true' in before, f"the screen changed: {before}")

    viewer = Viewer(view, os.path.join(args.work, "frames"), "--timeout", "60")
    viewer.first_frame_showing(lambda f: None, "anything")
    send(*touch_lines(HOLD), "key 0 3 1")
    held = contacts_shown({1: learnt[0], 2: learnt[1]})
    viewer.first_frame_showing(lambda f: held(f) or (None if f.where(KEY_LIT) else "key unlit"),
                               "both contacts and the lit key")
    send(*touch_lines(SLIDE))
    viewer.first_frame_showing(
        trail_followed({1: learnt[-1], 2: learnt[1]}, [p["touch"] for p in learnt[2:]]),
        "the trail of the slid contact")
    send("key 0 3 0")
    viewer.first_frame_showing(lambda f: "key lit" if f.where(KEY_LIT) else None,
                               "the released key unlit")
    send("unplug 0")
    viewer.finish(1, "went away")
    send("plug 0")
    until = time.monotonic() + 20
    while subprocess.run(tsdctl + ["info"], capture_output=True).returncode != 0:
        check(time.monotonic() < until, "the screen did not come back")
        time.sleep(0.1)

    # The other ways to end, and bad input.
    started = time.monotonic()
    Viewer(view, os.path.join(args.work, "idle"), "--timeout", "1").finish(0, "no touch for 1 s")
    check(time.monotonic() - started < 20, "the time-out took too long")
    for options, says in ((["--rotate", "45"], "--rotate"), (["--frames", "0"], "--frames"),
                          (["--geometry", "500x300+0+0"], "inside the display")):
        Viewer(view, os.path.join(args.work, "bad"), *options).finish(2, says)
    return "rings, crosses, trail and key where the library put them"


def main():
    parser = argparse.ArgumentParser()
    for name in ("--emulate", "--tsdctl", "--view", "--work"):
        parser.add_argument(name, required=True)
    parser.add_argument("--fifo")
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    if args.fifo:
        if "TSD_TEST_ASAN_OPTIONS" in os.environ:
            os.environ["ASAN_OPTIONS"] = os.environ.pop("TSD_TEST_ASAN_OPTIONS")
        try:
            print(run_scenario(args, args.fifo))
        except Failure as failure:
            print(f"FAILED: {failure}")
            return 1
        finally:
            for process in STARTED:
                if process.poll() is None:
                    process.kill()
                    process.wait()
        return 0
    fifo = os.path.join(args.work, "control")
    if os.path.exists(fifo):
        os.unlink(fifo)
    command = shlex.split(args.emulate) + [
        "--warp", "typical", "--range", ",".join(map(str, RANGE)), "--control", fifo, "--",
        # Under a sanitizer build the interpreter inherits the runtime through
        # the preload: its own leaks are not the programs'. The programs it
        # starts get the caller's settings back.
        "/usr/bin/env", "ASAN_OPTIONS=detect_leaks=0",
        "TSD_TEST_ASAN_OPTIONS=" + os.environ.get("ASAN_OPTIONS", ""),
        sys.executable, os.path.abspath(__file__), "--fifo", fifo] + sum(
        ([name, getattr(args, name[2:])] for name in ("--emulate", "--tsdctl", "--view", "--work")),
        [])
    return subprocess.run(command, timeout=240).returncode


if __name__ == "__main__":
    sys.exit(main())
