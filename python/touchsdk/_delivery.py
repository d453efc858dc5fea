"""Touch, raw-touch, diagnosis and virtual-key delivery through one callback
manager per screen, fanned out to any number of Python subscribers."""
from __future__ import annotations

import ctypes
import threading
from dataclasses import dataclass
from typing import Any, Callable, Dict, Optional, Tuple

from . import _native
from ._native import lib
from ._stream import inside_callback_of, log, run_callbacks
from .errors import CallbackContextError, CommandError
from .records import TouchPoint, VirtualKeyEvent


@dataclass(frozen=True)
class _Kind:
    register: str
    unregister: str
    prototype: Any
    convert: Callable[[Any], Any]


def _diagnosis(data: Any) -> bytes:
    return ctypes.string_at(data, _native.DIAGNOSIS_DATA_SIZE)


def _key(event: Any) -> VirtualKeyEvent:
    return VirtualKeyEvent(event.contents.key, event.contents.state != 0)


KINDS: Dict[str, _Kind] = {
    "touch": _Kind("TsdRegisterTouchCallback", "TsdUnregisterTouchCallback",
                   _native.TouchCallback, lambda p: TouchPoint._from_native(p.contents)),
    "raw touch": _Kind("TsdRegisterRawtouchCallback", "TsdUnregisterRawtouchCallback",
                       _native.TouchCallback, lambda p: TouchPoint._from_native(p.contents)),
    "diagnosis": _Kind("TsdRegisterDiagnosisCallback", "TsdUnregisterDiagnosisCallback",
                       _native.DiagnosisCallback, _diagnosis),
    "virtual key": _Kind("TsdRegisterVirtualKeyCallback", "TsdUnregisterVirtualKeyCallback",
                         _native.VirtualKeyCallback, _key),
}


class Delivery:
    """The callback manager of one open screen.

    The library calls back on its dispatch thread ("tsd-dispatch"), one record
    at a time; each record goes to every subscriber of its kind in turn. A
    registered ctypes function object is kept here until the library has
    confirmed, by unregistering, that it will not call it again.
    """

    def __init__(self, handle: ctypes.c_void_p, label: str) -> None:
        self._handle = handle
        self._label = label
        # Serialises calls on the manager, which the library leaves to us. Held
        # while the library joins its dispatch thread, so that thread never takes it.
        self._manager_lock = threading.Lock()
        self._manager: Optional[ctypes.c_void_p] = None  # guarded by _manager_lock
        self._registered: Dict[str, Any] = {}  # kind -> ctypes function; _manager_lock
        # Replaced whole under _subscribers_lock, read without it by the dispatch thread.
        self._subscribers: Dict[str, Tuple[Callable[[Any], None], ...]] = {k: () for k in KINDS}
        self._subscribers_lock = threading.Lock()

    @property
    def delivering(self) -> bool:
        return bool(self._registered)

    def subscribe(self, kind: str, function: Callable[[Any], None]) -> None:
        if inside_callback_of(self):
            raise CallbackContextError(f"subscribe to {kind}",
                                       "not possible from inside a callback of the same screen",
                                       self._label)
        with self._subscribers_lock:
            self._subscribers[kind] += (function,)
        try:
            with self._manager_lock:
                self._sync(kind)
        except BaseException:
            self._remove(kind, function)
            raise

    def unsubscribe(self, kind: str, function: Callable[[Any], None]) -> None:
        """Stops calls to `function`. From inside a callback the library keeps
        its registration (stopping it there would join the calling thread) until
        the next subscription change or close made outside."""
        self._remove(kind, function)
        if not inside_callback_of(self):
            with self._manager_lock:
                self._sync(kind)

    def close(self) -> None:
        if inside_callback_of(self):
            raise CallbackContextError("close screen",
                                       "not possible from inside one of its callbacks",
                                       self._label)
        with self._manager_lock:
            if self._manager is not None:
                # Deleting unregisters everything and joins the dispatch thread:
                # after this no callback runs, so the function objects may go.
                self._check("stop delivery", lib.TsdDeleteCallbackManager(self._manager))
                self._manager = None
            self._registered.clear()
        with self._subscribers_lock:
            self._subscribers = {k: () for k in KINDS}

    def _remove(self, kind: str, function: Callable[[Any], None]) -> None:
        with self._subscribers_lock:
            functions = list(self._subscribers[kind])
            if function in functions:
                functions.remove(function)
            self._subscribers[kind] = tuple(functions)

    def _sync(self, kind: str) -> None:
        """Registers or unregisters the library callback of `kind` so that it is
        registered exactly while it has subscribers. Caller holds _manager_lock."""
        wanted = bool(self._subscribers[kind])
        kind_info = KINDS[kind]
        if wanted and kind not in self._registered:
            if self._manager is None:
                manager = ctypes.c_void_p()
                self._check("create callback manager",
                            lib.TsdCreateCallbackManager(ctypes.byref(manager), self._handle))
                self._manager = manager
            trampoline = kind_info.prototype(self._trampoline(kind, kind_info.convert))
            self._check(f"register {kind} callback",
                        getattr(lib, kind_info.register)(self._manager, trampoline, None))
            self._registered[kind] = trampoline
        elif not wanted and kind in self._registered:
            self._check(f"unregister {kind} callback", getattr(lib, kind_info.unregister)(self._manager))
            del self._registered[kind]
        for other in KINDS:  # registrations left behind by unsubscribing inside a callback
            if other != kind and other in self._registered and not self._subscribers[other]:
                self._sync(other)

    def _trampoline(self, kind: str, convert: Callable[[Any], Any]) -> Callable[..., None]:
        def call(context: Any, record: Any) -> None:
            try:
                # Copied at once: the library's record is valid only during this call.
                value = convert(record)
            except BaseException:  # noqa: B902
                log.exception("touchsdk: a %s record could not be read", kind)
                return
            run_callbacks(self, kind, self._subscribers[kind], value)
        return call

    def _check(self, operation: str, result: int) -> None:
        if result != _native.TSD_OK:
            raise CommandError(operation, "the library reported failure", self._label)
