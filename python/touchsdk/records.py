"""The records touchsdk hands out and takes, as plain immutable dataclasses.

They are copies: the library's own records live only during a callback, these
may be kept for as long as the application likes.
"""
from __future__ import annotations

import enum
from dataclasses import dataclass
from typing import NamedTuple, Optional

from . import _native


@dataclass(frozen=True)
class TouchPoint:
    """One contact as the screen reported it, in the screen's own units."""
    id: int
    down: bool
    x: float
    y: float
    width: float
    height: float
    scan_time: int

    @classmethod
    def _from_native(cls, point: _native.TouchPoint) -> TouchPoint:
        return cls(point.id, point.state != 0, point.x, point.y, point.width, point.height,
                   point.scanTime)


@dataclass(frozen=True)
class VirtualKeyEvent:
    """A virtual key of the screen's frame pressed or released."""
    key: int
    pressed: bool


@dataclass(frozen=True)
class ScreenInfo:
    """An attached screen: sysfs path, USB serial number, and whether this user
    may open it (open() on one that is not accessible says why)."""
    path: str
    serial: Optional[str]
    accessible: bool = True


class CalibrationPoint(NamedTuple):
    """Where the screen reported a touch (screen units) and where its target was
    shown (in the range given to calibrate)."""
    touch_x: float
    touch_y: float
    target_x: float
    target_y: float


class CalibrationRange(NamedTuple):
    """The coordinate range the calibration targets are given in; each begin is
    paired with the screen's own begin, so a range may run backwards."""
    x_begin: float
    x_end: float
    y_begin: float
    y_end: float


class HotplugAction(enum.IntEnum):
    ADD = _native.ACTION_ADD
    REMOVE = _native.ACTION_REMOVE


@dataclass(frozen=True)
class HotplugEvent:
    """A device added or removed. `devpath` is udev's device path (beginning
    "/devices/"), for every device and subsystem udev announces."""
    action: HotplugAction
    devpath: str

    def concerns(self, syspath: str) -> bool:
        """Whether this event is about the device at `syspath` or one of its ancestors."""
        start = syspath.find("/devices/")
        if start < 0:
            return False
        own = syspath[start:]
        return own == self.devpath or own.startswith(self.devpath + "/")
