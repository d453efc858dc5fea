"""Calling application code from the library's threads, and queues for code
that prefers to pull records."""
from __future__ import annotations

import collections
import logging
import queue
import threading
import time
from typing import Any, Callable, Deque, Dict, Generic, Iterator, List, Optional, TypeVar

from ._arguments import integer
from .errors import Error, InvalidArgument, StreamClosed

log = logging.getLogger("touchsdk")
_current = threading.local()

T = TypeVar("T")


# A callback that fails on every record would otherwise log a traceback at the
# screen's report rate: after one, a function's failures are counted and told
# at most once per this many seconds.
QUIET_SECONDS = 10.0
_failures: Dict[int, List[float]] = {}  # id(function) -> [last told, untold]; _failures_lock
_failures_lock = threading.Lock()


def _report_failure(kind: str, function: Callable[[Any], None]) -> None:
    now = time.monotonic()
    with _failures_lock:
        seen = _failures.get(id(function))
        if seen is not None and now - seen[0] < QUIET_SECONDS:
            seen[1] += 1
            return
        untold = int(seen[1]) if seen is not None else 0
        if len(_failures) >= 256:  # ids of functions long gone
            _failures.clear()
        _failures[id(function)] = [now, 0]
    again = f" again ({untold} more times untold)" if untold else ""
    log.exception("touchsdk: the %s callback %r raised%s; delivery goes on", kind, function,
                  again)


def run_callbacks(owner: object, kind: str, functions: tuple, record: Any) -> None:
    """Calls each function with the record on the library's thread. Nothing may
    unwind into C, and one failing function must not starve the others, so
    exceptions are logged (see QUIET_SECONDS) and delivery goes on."""
    _current.owner = owner
    try:
        for function in functions:
            try:
                function(record)
            except BaseException:  # noqa: B902 - SystemExit here would kill a library thread
                _report_failure(kind, function)
    finally:
        _current.owner = None


def inside_callback_of(owner: object) -> bool:
    """Whether this thread is running one of `owner`'s callbacks: stopping the
    owner from here would join the thread the call runs on."""
    return getattr(_current, "owner", None) is owner


class Stream(Generic[T]):
    """Records queued by the library's thread for the application to pull.

    Iterate it (``for point in stream``) or call get(). Iteration ends when the
    stream or its screen is closed; it ends with ScreenUnplugged when the screen
    is unplugged, after the records that arrived before. The queue holds at most
    `maxsize` records; when the application falls behind the oldest are dropped
    and counted in `dropped`, so the library's thread is never held up.
    """

    def __init__(self, maxsize: int, detach: Callable[[Stream[T]], None]) -> None:
        maxsize = integer("open stream", maxsize)
        if maxsize < 1:
            raise InvalidArgument("open stream", f"maxsize must be at least 1, not {maxsize}")
        self._items: Deque[T] = collections.deque()
        self._maxsize = maxsize
        self._changed = threading.Condition()
        self._end: Optional[Callable[[], Error]] = None  # guarded by _changed
        self._detach: Optional[Callable[[Stream[T]], None]] = detach
        self.dropped = 0

    def put(self, item: T) -> None:
        with self._changed:
            if self._end is not None:
                return
            if len(self._items) >= self._maxsize:
                self._items.popleft()
                self.dropped += 1
            self._items.append(item)
            self._changed.notify()

    def finish(self, end: Callable[[], Error]) -> None:
        """Ends the stream: get() raises what `end` makes once the queue is empty."""
        with self._changed:
            if self._end is None:
                self._end = end
            self._changed.notify_all()

    def get(self, timeout: Optional[float] = None) -> T:
        """The next record. Raises queue.Empty after `timeout` seconds without one,
        StreamClosed once the stream is closed and ScreenUnplugged once the screen
        is gone."""
        with self._changed:
            self._changed.wait_for(lambda: self._items or self._end is not None, timeout)
            if self._items:
                return self._items.popleft()
            if self._end is not None:
                raise self._end()
            raise queue.Empty

    def close(self) -> None:
        """Stops queueing; records already queued are dropped."""
        detach, self._detach = self._detach, None
        if detach is not None:
            detach(self)
        with self._changed:
            self._items.clear()
        self.finish(lambda: StreamClosed("read stream", "the stream was closed"))

    def __iter__(self) -> Iterator[T]:
        return self

    def __next__(self) -> T:
        try:
            return self.get()
        except StreamClosed:
            raise StopIteration from None

    def __enter__(self) -> Stream[T]:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()
