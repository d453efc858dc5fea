"""Discovering, opening and commanding screens, and calibrating them."""
from __future__ import annotations

import builtins
import contextlib
import ctypes
import os
import pwd
import threading
import weakref
from typing import Any, Callable, Iterable, Iterator, List, Optional, Sequence, Set, Tuple, Union

from . import _arguments, _calibration, _native, _unplug
from ._calibration import CalibrationPreview
from ._delivery import Delivery
from ._native import lib
from ._stream import Stream
from .errors import (CommandError, Error, InvalidArgument, ScreenAccessDenied, ScreenClosed,
                     ScreenNotFound, ScreenUnplugged, StreamClosed)
from .records import CalibrationPoint, CalibrationRange, ScreenInfo, TouchPoint, VirtualKeyEvent

WORKING_MODES = range(0, 2)
DATA_MODES = range(0, 5)
HID_MODES = range(0, 3)

# Screens delivering to callbacks stay open, like running threads, even when
# the application keeps no reference: the library still calls them.
_delivering: Set[Screen] = set()
_delivering_lock = threading.Lock()


# The USB IDs the library supports, as src/device/supported_devices.def
# lists them (a test holds the two together): the library's discovery cannot
# see a screen this user may not open, so screens() finds those by their IDs.
SUPPORTED_IDS = frozenset({
    (0xE2C4, 0x0001), (0xE2C4, 0x0002), (0xE2C4, 0x0010), (0xE2C4, 0x0011),
    (0xE2C4, 0x0020), (0xE2C4, 0x8000), (0xE2C4, 0xA0F3), (0x9B07, 0x0100),
    (0x9B07, 0x0101), (0x9B07, 0xC3D2)})


def screens() -> List[ScreenInfo]:
    """The attached supported screens, in discovery order, with those this user
    may not open among them (accessible False), as `tsdctl list` shows them."""
    found = _discovered()
    known = {info.path for info in found}
    denied = [info for info in _denied_screens() if info.path not in known]
    return sorted(found + denied, key=lambda info: _node_number(info.path))


def _discovered() -> List[ScreenInfo]:
    found: List[ScreenInfo] = []

    def collect(context: Any, syspath: Optional[bytes], serial: Optional[str]) -> None:
        try:
            if syspath:
                found.append(ScreenInfo(os.fsdecode(syspath), serial))
        except BaseException:  # noqa: B902 - nothing may unwind into C
            pass

    # Enumeration calls back on this very thread, before it returns.
    lib.TsdEnumTouchScreensA(_native.EnumCallback(collect), None)
    return found


def _node_number(path: str) -> int:
    digits = os.path.basename(path.rstrip("/"))[len("hidraw"):]
    return int(digits) if digits.isdigit() else 1 << 30


def _hidraw_nodes() -> Iterator[Tuple[str, str]]:
    """(sysfs path, /dev node) of every hidraw device."""
    root = "/sys/class/hidraw"
    for name in sorted(os.listdir(root) if os.path.isdir(root) else [], key=_node_number):
        yield os.path.realpath(os.path.join(root, name)), "/dev/" + name


def _usb_parent(path: str) -> Optional[str]:
    while path.startswith("/sys/") and not os.path.exists(os.path.join(path, "idVendor")):
        path = os.path.dirname(path)
    return path if path.startswith("/sys/") else None


def _read_attribute(directory: str, name: str) -> Optional[str]:
    try:
        with builtins.open(os.path.join(directory, name), encoding="utf-8",
                           errors="replace") as attribute:
            return attribute.read().strip()
    except OSError:
        return None


def _hid_ids(path: str) -> Optional[Tuple[int, int]]:
    """The IDs in the HID device's name, BUS:VENDOR:PRODUCT.N, two levels up."""
    parts = os.path.basename(os.path.dirname(os.path.dirname(path))).split(":")
    try:
        return int(parts[1], 16), int(parts[2].split(".")[0], 16)
    except (IndexError, ValueError):
        return None


def _denied_screens() -> List[ScreenInfo]:
    """Nodes this user may not open that the library would report if it could:
    supported IDs and a USB parent, as discovery asks before opening."""
    denied = []
    for path, node in _hidraw_nodes():
        usb = _usb_parent(path)
        if (usb is None or _hid_ids(path) not in SUPPORTED_IDS or not os.path.exists(node)
                or os.access(node, os.R_OK | os.W_OK)):
            continue
        denied.append(ScreenInfo(path, _read_attribute(usb, "serial"), accessible=False))
    return denied


def open(screen: Union[str, ScreenInfo]) -> Screen:  # noqa: A001 - the natural name here
    """Opens a screen by sysfs path (as screens() reports it; it begins with "/")
    or by USB serial number. Use it in a with block, or close() it."""
    if isinstance(screen, ScreenInfo):
        return Screen(screen.path)
    if not isinstance(screen, str) or not screen:
        raise InvalidArgument("open screen", f"expected a sysfs path or serial number, "
                              f"got {screen!r}")
    if screen.startswith("/"):
        return Screen(screen)
    matches = [info for info in screens() if info.serial == screen]
    if not matches:
        closed = _closed_node_with_serial(screen)
        if closed is not None:
            raise _open_failure(closed)
    if len(matches) != 1:
        attached = ", ".join(f"{i.serial} ({i.path})" for i in screens()) or "none"
        problem = "no screen has" if not matches else f"{len(matches)} screens have"
        raise ScreenNotFound("open screen", f"{problem} serial number {screen!r}; "
                             f"attached: {attached}")
    return Screen(matches[0].path)


class Screen:
    """An open touch screen.

    Commands (the modes, restart, calibration) run on the calling thread and
    block until the screen has answered; they may be called from any thread.
    Callbacks run on the library's dispatch thread ("tsd-dispatch"), one record
    at a time in report order; an exception they raise is logged to the
    "touchsdk" logger and delivery goes on. A screen with callbacks stays open
    until closed, even without references to it. From inside one of its
    callbacks a screen cannot be closed, nor subscribed to.
    """

    def __init__(self, path: str) -> None:
        handle = ctypes.c_void_p()
        if lib.TsdOpenTouchScreenA(os.fsencode(path), ctypes.byref(handle)) != _native.TSD_OK:
            raise _open_failure(path)
        self._path = path
        self._handle: Optional[ctypes.c_void_p] = handle  # None once closed
        self._state = threading.Condition()  # guards _closing and _users
        self._closing = False
        self._users = 0  # calls using the handle now
        self._unplugged = False
        self._delivery = Delivery(handle, path)
        self._streams: Set[Stream[Any]] = set()
        self._streams_lock = threading.Lock()
        self._preview: Optional[CalibrationPreview] = None
        self._release = weakref.finalize(self, _release, id(self), handle, self._delivery)
        myself = weakref.ref(self)

        def unplugged() -> None:
            screen = myself()
            if screen is not None:
                screen._on_unplug_event()

        _unplug.follow(id(self), path, unplugged)
        if not os.path.exists(path):  # gone before the watcher listened
            self._unplugged = True

    # ---- identity and lifetime ----------------------------------------------

    @property
    def path(self) -> str:
        return self._path

    @property
    def serial(self) -> Optional[str]:
        """The USB serial number, None if the screen has none."""
        needed = ctypes.c_uint32()
        with self._use("read serial number") as handle:
            lib.TsdGetTouchScreenSerialNumber(handle, None, 0, ctypes.byref(needed))
        if needed.value == 0:
            return None
        buffer = ctypes.create_unicode_buffer(needed.value // ctypes.sizeof(ctypes.c_wchar))
        self._call("read serial number", lib.TsdGetTouchScreenSerialNumber, buffer,
                   needed.value, None)
        return buffer.value or None

    @property
    def closed(self) -> bool:
        return self._handle is None

    @property
    def unplugged(self) -> bool:
        return self._unplugged

    def close(self) -> None:
        """Stops delivery (deleting the callback manager, as the library requires
        before the handle goes), ends the streams and closes the screen."""
        with self._state:
            if self._handle is None or self._closing:
                return
            self._closing = True
            # A command running on another thread still uses the handle.
            self._state.wait_for(lambda: self._users == 0)
        try:
            self._delivery.close()
        except BaseException:
            with self._state:
                self._closing = False
            raise
        self._handle = None
        self._release()
        with _delivering_lock:
            _delivering.discard(self)
        self._end_streams(lambda: StreamClosed("read stream", "the screen was closed", self._path))

    def __enter__(self) -> Screen:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def __repr__(self) -> str:
        state = "closed" if self.closed else "unplugged" if self._unplugged else "open"
        return f"<touchsdk.Screen {self._path} {state}>"

    # ---- modes and restart --------------------------------------------------

    @property
    def working_mode(self) -> int:
        return self._get_mode("working", lib.TsdGetTouchScreenWorkingMode)

    @working_mode.setter
    def working_mode(self, mode: int) -> None:
        self._set_mode("working", WORKING_MODES, lib.TsdSetTouchScreenWorkingMode, mode)

    @property
    def data_mode(self) -> int:
        return self._get_mode("data", lib.TsdGetTouchScreenDataMode)

    @data_mode.setter
    def data_mode(self, mode: int) -> None:
        self._set_mode("data", DATA_MODES, lib.TsdSetTouchScreenDataMode, mode)

    @property
    def hid_mode(self) -> int:
        return self._get_mode("HID", lib.TsdGetTouchScreenHidMode)

    @hid_mode.setter
    def hid_mode(self, mode: int) -> None:
        self._set_mode("HID", HID_MODES, lib.TsdSetTouchScreenHidMode, mode)

    def restart(self) -> None:
        """Asks the screen to restart; does not wait for it to come back."""
        self._call("restart", lib.TsdRestartTouchScreen)

    def _get_mode(self, name: str, function: Callable[..., int]) -> int:
        operation = f"get {name} mode"
        mode = ctypes.c_uint8()
        self._call(operation, function, ctypes.byref(mode))
        return mode.value

    def _set_mode(self, name: str, valid: range, function: Callable[..., int], mode: int) -> None:
        operation = f"set {name} mode"
        value = _arguments.integer(operation, mode, self._path)
        if value not in valid:
            raise InvalidArgument(operation, f"{mode!r} is not a {name} mode "
                                  f"({valid.start} to {valid.stop - 1})", self._path)
        self._call(operation, function, value)

    # ---- delivery ------------------------------------------------------------

    def on_touch(self, callback: Callable[[TouchPoint], None]) -> Subscription:
        """Calls `callback` with every touch point until the subscription is cancelled."""
        return self._subscribe("touch", callback)

    def on_raw_touch(self, callback: Callable[[TouchPoint], None]) -> Subscription:
        """Calls `callback` with every raw (uncalibrated) touch point."""
        return self._subscribe("raw touch", callback)

    def on_diagnosis(self, callback: Callable[[bytes], None]) -> Subscription:
        """Calls `callback` with the 63 bytes of every diagnosis report."""
        return self._subscribe("diagnosis", callback)

    def on_virtual_key(self, callback: Callable[[VirtualKeyEvent], None]) -> Subscription:
        """Calls `callback` with every virtual key press and release."""
        return self._subscribe("virtual key", callback)

    def touches(self, maxsize: int = 4096) -> Stream[TouchPoint]:
        """A stream of touch points from now on (see Stream)."""
        return self._stream("touch", maxsize)

    def raw_touches(self, maxsize: int = 4096) -> Stream[TouchPoint]:
        return self._stream("raw touch", maxsize)

    def diagnoses(self, maxsize: int = 1024) -> Stream[bytes]:
        return self._stream("diagnosis", maxsize)

    def virtual_keys(self, maxsize: int = 256) -> Stream[VirtualKeyEvent]:
        return self._stream("virtual key", maxsize)

    def _subscribe(self, kind: str, callback: Callable[[Any], None]) -> Subscription:
        _arguments.handler(f"subscribe to {kind}", callback, self._path)
        with self._use(f"subscribe to {kind}"):
            self._delivery.subscribe(kind, callback)
        with _delivering_lock:
            _delivering.add(self)
        return Subscription(self, kind, callback)

    def _unsubscribe(self, kind: str, callback: Callable[[Any], None]) -> None:
        if self._handle is None:
            return
        self._delivery.unsubscribe(kind, callback)
        if not self._delivery.delivering:
            with _delivering_lock:
                _delivering.discard(self)

    def _stream(self, kind: str, maxsize: int) -> Stream[Any]:
        def detach(stream: Stream[Any]) -> None:
            with self._streams_lock:
                self._streams.discard(stream)
            self._unsubscribe(kind, stream.put)

        stream: Stream[Any] = Stream(maxsize, detach)
        self._subscribe(kind, stream.put)
        with self._streams_lock:
            self._streams.add(stream)
        if self._unplugged:  # gone between the check and the subscription
            stream.finish(self._unplugged_error)
        return stream

    def _on_unplug_event(self) -> None:
        self._unplugged = True
        self._end_streams(self._unplugged_error)

    def _unplugged_error(self) -> ScreenUnplugged:
        return ScreenUnplugged("read stream", "the screen was unplugged", self._path)

    def _end_streams(self, end: Callable[[], Any]) -> None:
        with self._streams_lock:
            streams = list(self._streams)
        for stream in streams:
            stream.finish(end)

    # ---- calibration ------------------------------------------------------------

    def calibrate(self, points: Iterable[Union[CalibrationPoint, Sequence[float]]],
                  range: Union[CalibrationRange, Sequence[float]],  # noqa: A002
                  ) -> CalibrationPreview:
        """Fits a calibration from (touch x, touch y, target x, target y) samples,
        targets given in `range` (x begin, x end, y begin, y end), and switches the
        screen to it as a preview: apply() keeps it, cancel() returns to the
        calibration in force. Leaving a with block without apply() cancels.
        3 to 5 points give a linear fit, 6 to 9 quadratic, 10 or more cubic."""
        operation = "preview calibration"
        samples, bounds = _calibration.check(operation, points, range, self._path)
        self._call(operation, lib.TsdCalibrationFullScreenPreview, *bounds, samples,
                   len(samples))
        if self._preview is not None:
            self._preview._superseded = True
        self._preview = CalibrationPreview(self)
        return self._preview

    def reset_calibration(self) -> None:
        """Replaces the calibration in force by none and ends any preview."""
        operation = "reset calibration"
        self._call(operation, lib.TsdCalibrationReset)
        if self._preview is not None:
            self._preview._superseded = True
            self._preview = None

    # ---- helpers -----------------------------------------------------------------

    @contextlib.contextmanager
    def _use(self, operation: str) -> Iterator[ctypes.c_void_p]:
        """The handle, which close() waits to free until no call uses it."""
        with self._state:
            if self._handle is None or self._closing:
                raise ScreenClosed(operation, "the screen is closed", self._path)
            if self._unplugged:
                raise ScreenUnplugged(operation, "the screen was unplugged", self._path)
            self._users += 1
        try:
            yield self._handle
        finally:
            with self._state:
                self._users -= 1
                self._state.notify_all()

    def _call(self, operation: str, function: Callable[..., int], *arguments: Any) -> None:
        with self._use(operation) as handle:
            result = function(handle, *arguments)
        if result != _native.TSD_OK:
            if self._unplugged:
                raise ScreenUnplugged(operation, "the screen was unplugged", self._path)
            raise CommandError(operation, "the screen refused or did not answer", self._path)


class Subscription:
    """A callback subscribed to a screen's records; cancel() stops it. Usable as
    a context manager."""

    def __init__(self, screen: Screen, kind: str, callback: Callable[[Any], None]) -> None:
        self._screen: Optional[Screen] = screen
        self._kind = kind
        self._callback = callback

    def cancel(self) -> None:
        screen, self._screen = self._screen, None
        if screen is not None:
            screen._unsubscribe(self._kind, self._callback)

    def __enter__(self) -> Subscription:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.cancel()


def _release(token: int, handle: ctypes.c_void_p, delivery: Delivery) -> None:
    """Closes in the order the library requires: callback manager, then screen."""
    _unplug.forget(token)
    delivery.close()
    lib.TsdCloseTouchScreen(handle)


def _closed_node_with_serial(serial: str) -> Optional[str]:
    """The sysfs path of a screen this user may not open with this serial
    number: "no such screen" would send the person looking for the wrong
    fault."""
    for info in _denied_screens():
        if info.serial == serial:
            return info.path
    return None


def _access_advice(node: str) -> str:
    """The same advice as the tools give: the command to run, and whether the
    udev rule that lets the group in is there at all."""
    rule = next((os.path.join(d, "70-touchsdk.rules") for d in _RULE_DIRECTORIES
                 if os.path.exists(os.path.join(d, "70-touchsdk.rules"))), None)
    try:
        user = pwd.getpwuid(os.getuid()).pw_name
    except KeyError:
        user = "$USER"
    where = (f"the udev rule is installed ({rule}): the group touchsdk may open the screens"
             if rule else "the udev rule 70-touchsdk.rules is not installed: install the "
             "touchsdk tools package (or copy the rule into /etc/udev/rules.d and replug "
             "the screen)")
    return f"no read-write access to {node}; {where}; then run: sudo adduser {user} " \
           "touchsdk, and log in again"


_RULE_DIRECTORIES = ("/etc/udev/rules.d", "/lib/udev/rules.d", "/usr/lib/udev/rules.d")


def _open_failure(path: str) -> Error:
    # The library answers only "failed"; the common cause in the field is a
    # node the user may not open, which deserves its own answer and its fix.
    node = "/dev/" + os.path.basename(path.rstrip("/"))
    if os.path.exists(node) and not os.access(node, os.R_OK | os.W_OK):
        return ScreenAccessDenied("open screen", _access_advice(node), path)
    return ScreenNotFound("open screen", "no supported screen there", path)
