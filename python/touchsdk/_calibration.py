"""Checking calibration input before anything is sent, and the preview the
screen shows until it is applied or cancelled."""
from __future__ import annotations

from typing import TYPE_CHECKING, Any, Callable, Iterable, Optional, Sequence, Tuple

from . import _native
from ._arguments import floats
from ._native import lib
from .errors import InvalidArgument
from .records import CalibrationRange

if TYPE_CHECKING:
    from typing import Protocol

    class PreviewOwner(Protocol):
        """What a preview needs of its screen (the Screen class), named here so
        that this module does not import the one that imports it."""
        _preview: Optional[CalibrationPreview]

        @property
        def path(self) -> str: ...

        @property
        def closed(self) -> bool: ...

        @property
        def unplugged(self) -> bool: ...

        def _call(self, operation: str, function: Callable[..., int], *arguments: Any) -> None: ...


MIN_CALIBRATION_POINTS = 3


def check(operation: str, points: Iterable[Any], bounds: Sequence[float],
          screen: str) -> Tuple[Any, CalibrationRange]:
    """The points as the library's array and the range, or InvalidArgument."""
    samples = [_native.CalibrationPoint(*floats(operation, "point", p, 4, screen)) for p in points]
    if len(samples) < MIN_CALIBRATION_POINTS:
        raise InvalidArgument(operation, f"{len(samples)} points given, at least "
                              f"{MIN_CALIBRATION_POINTS} are needed", screen)
    if len(samples) > 0xFFFFFFFF:
        raise InvalidArgument(operation, "too many points", screen)
    checked = CalibrationRange(*floats(operation, "range", bounds, 4, screen))
    if checked.x_begin == checked.x_end or checked.y_begin == checked.y_end:
        raise InvalidArgument(operation, f"the range {tuple(checked)} is empty on an axis",
                              screen)
    return (_native.CalibrationPoint * len(samples))(*samples), checked


class CalibrationPreview:
    """A calibration the screen shows on trial. Exactly one of apply() and
    cancel() takes effect; in a with block, leaving without apply() cancels."""

    def __init__(self, screen: PreviewOwner) -> None:
        self._screen = screen
        self._settled: Optional[str] = None
        self._superseded = False

    @property
    def pending(self) -> bool:
        return self._settled is None and not self._superseded

    def apply(self) -> None:
        """Makes the preview the screen's calibration."""
        self._settle("apply", "applied", lib.TsdCalibrationApplyPreview)

    def cancel(self) -> None:
        """Returns the screen to the calibration it had before the preview."""
        self._settle("cancel", "cancelled", lib.TsdCalibrationCancelPreview)

    def _settle(self, verb: str, done: str, function: Callable[..., int]) -> None:
        operation = f"{verb} calibration preview"
        if self._superseded:
            raise InvalidArgument(operation, "a later calibrate() or reset replaced this "
                                  "preview", self._screen.path)
        if self._settled is not None:
            raise InvalidArgument(operation, f"the preview was already {self._settled}",
                                  self._screen.path)
        self._screen._call(operation, function)
        self._settled = done
        self._screen._preview = None

    def __enter__(self) -> CalibrationPreview:
        return self

    def __exit__(self, *exc_info: object) -> None:
        if self.pending and not self._screen.closed and not self._screen.unplugged:
            self.cancel()
