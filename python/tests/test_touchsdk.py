"""The binding against two emulated screens, driven through tsd-emulate's
control channel. ctest runs it as

    tsd-emulate --screens 2 --control FIFO -- python3 -m pytest python/tests

with TSD_CONTROL=FIFO and TOUCHSDK_LIBRARY pointing at the built library.
"""
from __future__ import annotations

import gc
import os
import queue
import re
import subprocess
import sys
import threading
import time
import weakref
from typing import Callable, List

import pytest

import touchsdk

TIMEOUT = 10.0
CONTACT = 7
SCREEN_RANGE = (0.0, 4095.0, 0.0, 4095.0)  # the emulated panel's coordinate range


@pytest.fixture(scope="module")
def control() -> Callable[[str], None]:
    path = os.environ.get("TSD_CONTROL")
    if not path:
        pytest.fail("TSD_CONTROL must name the control FIFO of tsd-emulate --control")
    fifo = open(path, "w")  # noqa: SIM115 - held for the whole module

    def send(*lines: str) -> None:
        fifo.write("".join(line + "\n" for line in lines))
        fifo.flush()

    yield send
    fifo.close()


def tap(control: Callable[[str], None], screen: int, x: float, y: float) -> None:
    control(f"touch {screen} {CONTACT} {x:g} {y:g}", f"lift {screen} {CONTACT}")


def next_down(stream: touchsdk.Stream[touchsdk.TouchPoint]) -> touchsdk.TouchPoint:
    while True:
        point = stream.get(timeout=TIMEOUT)
        if point.down:
            return point


def wait_until(condition: Callable[[], bool]) -> bool:
    deadline = time.monotonic() + TIMEOUT
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.01)
    return True


def test_discovery_open_and_modes() -> None:
    found = touchsdk.screens()
    assert [info.serial for info in found] == ["EMU000001", "EMU000002"]
    with touchsdk.open("EMU000002") as screen:
        assert (screen.path, screen.serial) == (found[1].path, "EMU000002")
        for name, valid in (("working_mode", touchsdk.WORKING_MODES),
                            ("data_mode", touchsdk.DATA_MODES),
                            ("hid_mode", touchsdk.HID_MODES)):
            for mode in list(valid) + [0]:
                setattr(screen, name, mode)
                assert getattr(screen, name) == mode, name
            for wrong in (valid.stop, -1, True, "1", 1.0):
                with pytest.raises(touchsdk.InvalidArgument, match="(?i)" + name.split("_")[0]):
                    setattr(screen, name, wrong)
            assert getattr(screen, name) == 0, name
        screen.restart()
    with pytest.raises(touchsdk.ScreenClosed, match="get data mode"):
        screen.data_mode
    with touchsdk.open(found[0]) as first:
        assert first.serial == "EMU000001"
    with pytest.raises(touchsdk.ScreenNotFound, match="EMU000001 .*EMU000002"):
        touchsdk.open("NO-SUCH-SERIAL")
    with pytest.raises(touchsdk.ScreenNotFound):
        touchsdk.open(found[0].path + "-gone")
    # A screen this user may not open, asked for by serial, is named as such
    # (root gives up overriding file modes for this).
    # (Under umockdev the node lives in its testbed, on USB/IP in /dev.)
    node = os.path.realpath(os.path.join(os.environ.get("UMOCKDEV_DIR", "/"), "dev",
                                         os.path.basename(found[1].path)))
    mode = os.stat(node).st_mode
    os.chmod(node, 0)
    try:
        drop = ["setpriv", "--bounding-set", "-dac_override,-dac_read_search"]
        code = ("import touchsdk\ntry: touchsdk.open('EMU000002')\n"
                "except touchsdk.ScreenAccessDenied as e: print(e)")
        done = subprocess.run((drop if os.getuid() == 0 else []) + [sys.executable, "-c", code],
                              capture_output=True, text=True, timeout=60)
        assert "70-touchsdk.rules" in done.stdout, done
    finally:
        os.chmod(node, mode)


def test_touches_reach_callbacks_and_streams(control, caplog) -> None:
    with touchsdk.open("EMU000001") as screen:
        called: "queue.Queue[touchsdk.TouchPoint]" = queue.Queue()
        threads = set()

        def record(point: touchsdk.TouchPoint) -> None:
            threads.add(threading.current_thread().ident)
            called.put(point)

        def broken(point: touchsdk.TouchPoint) -> None:
            raise RuntimeError("broken callback")

        screen.on_touch(broken)
        subscription = screen.on_touch(record)
        with screen.touches() as stream, screen.virtual_keys() as keys:
            control("key 0 3 1", "key 0 3 0")
            assert [keys.get(timeout=TIMEOUT) for _ in range(2)] == [
                touchsdk.VirtualKeyEvent(3, True), touchsdk.VirtualKeyEvent(3, False)]
            tap(control, 0, 1200, 3400)
            pulled = next_down(stream)
            assert (pulled.id, pulled.x, pulled.y) == (CONTACT, 1200, 3400)
            assert called.get(timeout=TIMEOUT) == pulled
            assert not stream.get(timeout=TIMEOUT).down  # the lift reached every subscriber
            assert threading.get_ident() not in threads
            subscription.cancel()
            tap(control, 0, 100, 200)
            assert next_down(stream).x == 100
            # Four failures in a row: one traceback, the rest counted for later.
            told = [r for r in caplog.records if r.exc_text and "broken callback" in r.exc_text]
            assert len(told) == 1
        assert called.qsize() == 1  # the lift of the first tap, nothing after the cancel
        assert next(iter(stream), None) is None  # closed: iteration ends


def test_callbacks_survive_the_garbage_collector(control) -> None:
    counted: List[touchsdk.TouchPoint] = []

    def subscribe() -> weakref.ref:
        screen = touchsdk.open("EMU000001")
        screen.on_touch(lambda point: counted.append(point))
        screen.on_raw_touch(lambda point: None)
        return weakref.ref(screen)

    screen = subscribe()
    for round_ in range(20):
        gc.collect()
        tap(control, 0, 10 * round_, 20)
    assert wait_until(lambda: len(counted) >= 40), len(counted)
    assert screen() is not None  # a delivering screen stays open without references
    screen().close()
    gc.collect()
    assert screen() is None


def test_calibration_preview_apply_cancel(control) -> None:
    # Targets at half the touch position plus 100 in x: a fit the screen applies.
    halved = [(x, y, x / 2 + 100, y / 2) for x in (0, 4000) for y in (0, 4000)]
    with touchsdk.open("EMU000001") as screen, screen.touches() as stream, \
            screen.raw_touches() as raw:
        def touched_at(x: float, y: float) -> tuple:
            tap(control, 0, x, y)
            point, measured = next_down(stream), next_down(raw)
            assert (measured.x, measured.y) == (x, y)  # raw touches bypass calibration
            return point.x, point.y

        screen.reset_calibration()
        assert touched_at(2000, 1000) == (2000, 1000)
        with pytest.raises(RuntimeError), screen.calibrate(halved, SCREEN_RANGE):
            assert touched_at(2000, 1000) == (1100, 500)
            raise RuntimeError("leaving without apply")
        assert touched_at(2000, 1000) == (2000, 1000)
        with screen.calibrate(halved, SCREEN_RANGE) as preview:
            preview.apply()
        with pytest.raises(touchsdk.InvalidArgument, match="already applied"):
            preview.cancel()
        assert touched_at(2000, 1000) == (1100, 500)
        for points, bounds in ((halved[:2], SCREEN_RANGE),
                               (halved, (0, 0, 0, 4095)),
                               (halved[:3] + [(float("nan"), 0, 0, 0)], SCREEN_RANGE),
                               (halved, (0, 1e39, 0, 4095))):
            with pytest.raises(touchsdk.InvalidArgument, match="preview calibration"):
                screen.calibrate(points, bounds)
        assert touched_at(2000, 1000) == (1100, 500)  # the rejected calls changed nothing
        screen.reset_calibration()
        assert touched_at(2000, 1000) == (2000, 1000)


def test_unplug_while_iterating_and_hotplug(control) -> None:
    screen = touchsdk.open("EMU000002")
    seen: List[touchsdk.HotplugEvent] = []
    with touchsdk.watch(seen.append), touchsdk.hotplug_events() as events, \
            screen.touches() as stream:
        ended: List[BaseException] = []

        def iterate() -> None:
            try:
                for number, _ in enumerate(stream):
                    if number == 0:
                        control("unplug 1")
            except BaseException as error:  # noqa: B902 - handed to the test thread
                ended.append(error)

        reader = threading.Thread(target=iterate)
        reader.start()
        tap(control, 1, 300, 300)
        reader.join(TIMEOUT)
        assert not reader.is_alive(), "the iterator hung after the unplug"
        assert len(ended) == 1 and isinstance(ended[0], touchsdk.ScreenUnplugged), ended
        with pytest.raises(touchsdk.ScreenUnplugged, match="get HID mode"):
            screen.hid_mode
        # The kernel first removes the screen's hiddev node, which is no
        # part of the screen's own chain.
        removed = events.get(timeout=TIMEOUT)
        while "/usbmisc/" in removed.devpath:
            removed = events.get(timeout=TIMEOUT)
        assert removed.action == touchsdk.HotplugAction.REMOVE and removed.concerns(screen.path)
        control("plug 1")
        assert wait_until(lambda: len(touchsdk.screens()) == 2)
        assert wait_until(lambda: any(e.action == touchsdk.HotplugAction.ADD for e in seen))
    screen.close()
    with touchsdk.open("EMU000002") as again:
        assert again.working_mode == 0


@pytest.mark.parametrize("library, message", [
    ("/nonexistent/libtouchsdk.so.1",
     "looked for /nonexistent/libtouchsdk.so.1 .*TOUCHSDK_LIBRARY"),
    ("libm.so.6", "libm.so.6 is not the touchsdk library: it lacks TsdGetSdkVersion"),
])
def test_loading_failure_says_what_and_how(library: str, message: str) -> None:
    environment = dict(os.environ, TOUCHSDK_LIBRARY=library)
    result = subprocess.run([sys.executable, "-c", "import touchsdk"], env=environment,
                            capture_output=True, text=True, timeout=60)
    assert result.returncode != 0
    assert re.search("ImportError: touchsdk: .*" + message, result.stderr), result.stderr
