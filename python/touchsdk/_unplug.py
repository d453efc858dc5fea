"""Tells open screens that they were unplugged. The library's reader simply
stops when a screen goes; one shared hot-plug watcher, running while any
screen is open, is what lets streams end with ScreenUnplugged instead of
waiting forever."""
from __future__ import annotations

import threading
from typing import Callable, Dict, Optional, Tuple

from ._stream import inside_callback_of
from .hotplug import Watcher
from .records import HotplugAction, HotplugEvent

_lock = threading.Lock()
_screens: Dict[int, Tuple[str, Callable[[], None]]] = {}  # guarded by _lock
_watcher: Optional[Watcher] = None  # guarded by _lock


def follow(token: int, syspath: str, on_unplug: Callable[[], None]) -> None:
    global _watcher
    with _lock:
        if _watcher is None:
            _watcher = Watcher(_event)
        _screens[token] = (syspath, on_unplug)


def forget(token: int) -> None:
    global _watcher
    with _lock:
        _screens.pop(token, None)
        if _screens or _watcher is None or inside_callback_of(_watcher):
            return
        watcher, _watcher = _watcher, None
    watcher.close()  # outside the lock: its thread may be waiting for it


def _event(event: HotplugEvent) -> None:
    if event.action != HotplugAction.REMOVE:
        return
    with _lock:
        gone = [notify for syspath, notify in _screens.values() if event.concerns(syspath)]
    for notify in gone:
        notify()
