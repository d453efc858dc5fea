"""Hot-plug notifications: devices added and removed, as udev announces them.

The library calls back on its watcher thread ("tsd-hotplug"), one event at a
time, for every device of every subsystem (a screen brings several: its USB
device, interfaces, HID device and hidraw node). HotplugEvent.concerns() tells
whether an event is about a given screen.
"""
from __future__ import annotations

import ctypes
import os
import threading
from typing import Any, Callable, Optional, Set, Tuple

from . import _native
from ._arguments import handler
from ._native import lib
from ._stream import Stream, inside_callback_of, run_callbacks
from .errors import CallbackContextError, CommandError
from .records import HotplugAction, HotplugEvent

HotplugCallback = Callable[[HotplugEvent], None]

# Watchers run until closed, like threads, even when the application keeps no
# reference: the library calls them on its own thread. Closed at exit.
_running: Set[Watcher] = set()
_running_lock = threading.Lock()


class Watcher:
    """A hot-plug watcher: calls its subscribers, and fills its streams, with
    every HotplugEvent until closed."""

    def __init__(self, callback: Optional[HotplugCallback] = None) -> None:
        if callback is not None:
            handler("start hot-plug watcher", callback)
        self._subscribers: Tuple[HotplugCallback, ...] = (callback,) if callback else ()
        self._lock = threading.Lock()  # guards _subscribers updates and _handle
        self._trampoline = _native.NotificationCallback(self._event)
        handle = ctypes.c_void_p()
        if lib.TsdCreateTouchScreenNotificationA(ctypes.byref(handle), self._trampoline,
                                                 None) != _native.TSD_OK:
            raise CommandError("start hot-plug watcher", "the library reported failure")
        self._handle: Optional[ctypes.c_void_p] = handle
        with _running_lock:
            _running.add(self)

    def subscribe(self, callback: HotplugCallback) -> None:
        handler("subscribe to hot-plug", callback)
        with self._lock:
            self._subscribers += (callback,)

    def unsubscribe(self, callback: HotplugCallback) -> None:
        with self._lock:
            subscribers = list(self._subscribers)
            if callback in subscribers:
                subscribers.remove(callback)
            self._subscribers = tuple(subscribers)

    def events(self, maxsize: int = 256) -> Stream[HotplugEvent]:
        """A stream of the events from now on; closing it leaves the watcher running."""
        stream: Stream[HotplugEvent] = Stream(maxsize, lambda s: self.unsubscribe(s.put))
        self.subscribe(stream.put)
        return stream

    @property
    def closed(self) -> bool:
        return self._handle is None

    def close(self) -> None:
        """Stops the watcher; no callback runs after this returns."""
        if inside_callback_of(self):
            raise CallbackContextError("stop hot-plug watcher",
                                       "not possible from inside its own callback")
        with self._lock:
            handle, self._handle = self._handle, None
        if handle is None:
            return
        lib.TsdDeleteTouchScreenNotification(handle)  # joins the thread; always succeeds
        with _running_lock:
            _running.discard(self)

    def _event(self, context: Any, action: int, devpath: Optional[bytes]) -> None:
        try:
            event = HotplugEvent(HotplugAction(action), os.fsdecode(devpath or b""))
        except BaseException:  # noqa: B902 - an action code this binding does not know
            return
        run_callbacks(self, "hot-plug", self._subscribers, event)

    def __enter__(self) -> Watcher:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()


def watch(callback: Optional[HotplugCallback] = None) -> Watcher:
    """Starts a watcher calling `callback` for every device added or removed."""
    return Watcher(callback)


def hotplug_events(maxsize: int = 256) -> Stream[HotplugEvent]:
    """A stream of devices added and removed, with a watcher of its own that
    closing the stream stops."""
    watcher = Watcher()
    stream: Stream[HotplugEvent] = Stream(maxsize, lambda s: watcher.close())
    watcher.subscribe(stream.put)
    return stream


def close_all() -> None:
    with _running_lock:
        watchers = list(_running)
    for watcher in watchers:
        watcher.close()
