"""touchsdk: find, command, read and calibrate USB HID touch screens.

A binding of the touchsdk C library (libtouchsdk.so.1) in pure Python over
ctypes. Set TOUCHSDK_LIBRARY to load the library from another place.

    import touchsdk
    for info in touchsdk.screens():
        print(info.path, info.serial)
    with touchsdk.open("EMU000001") as screen:
        screen.data_mode = 1
        with screen.touches() as touches:
            for point in touches:
                print(point.id, point.x, point.y)

Threads: commands run on the calling thread. Touch, raw-touch, diagnosis and
virtual-key callbacks run on the library's dispatch thread of their screen
("tsd-dispatch"); hot-plug callbacks on the watcher's thread ("tsd-hotplug").
A callback should return quickly: later records wait for it. Exceptions raised
by callbacks are logged to the "touchsdk" logger and delivery goes on. Streams
are filled on those threads and read on any.
"""
from __future__ import annotations

import atexit

from ._native import version
from ._stream import Stream
from .errors import (CallbackContextError, CommandError, Error, InvalidArgument,
                     ScreenAccessDenied, ScreenClosed, ScreenNotFound, ScreenUnplugged,
                     StreamClosed)
from .hotplug import Watcher, hotplug_events, watch
from .records import (CalibrationPoint, CalibrationRange, HotplugAction, HotplugEvent,
                      ScreenInfo, TouchPoint, VirtualKeyEvent)
from .screen import (DATA_MODES, HID_MODES, WORKING_MODES, CalibrationPreview, Screen,
                     Subscription, open, screens)
from . import hotplug as _hotplug, screen as _screen

__all__ = [
    "CalibrationPoint", "CalibrationPreview", "CalibrationRange", "CallbackContextError",
    "CommandError", "DATA_MODES", "Error", "HID_MODES", "HotplugAction", "HotplugEvent",
    "InvalidArgument", "Screen", "ScreenAccessDenied", "ScreenClosed", "ScreenInfo",
    "ScreenNotFound",
    "ScreenUnplugged", "Stream", "StreamClosed", "Subscription", "TouchPoint",
    "VirtualKeyEvent", "WORKING_MODES", "Watcher", "hotplug_events", "open", "screens",
    "version", "watch",
]


@atexit.register
def _stop_library_threads() -> None:
    # The library's threads must not call into an interpreter being torn down.
    for screen in list(_screen._delivering):
        screen.close()
    _hotplug.close_all()
