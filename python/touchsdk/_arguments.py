"""Arguments checked the same way wherever they enter: each refusal is an
InvalidArgument naming the operation, raised before anything reaches the
library."""
from __future__ import annotations

import ctypes
import math
import operator
from typing import Any, Callable, Optional, Tuple

from .errors import InvalidArgument


def integer(operation: str, value: Any, screen: Optional[str] = None) -> int:
    """An int (or anything with __index__), never a bool, which would pass
    for 0 or 1."""
    if isinstance(value, bool):
        raise InvalidArgument(operation, f"expected an integer, got {value!r}", screen)
    try:
        return operator.index(value)
    except TypeError:
        raise InvalidArgument(operation, f"expected an integer, got {value!r}",
                              screen) from None


def floats(operation: str, what: str, values: Any, count: int,
           screen: Optional[str] = None) -> Tuple[float, ...]:
    """The values as the library will see them (32-bit floats), all finite."""
    try:
        items = tuple(values)
        if len(items) != count:
            raise ValueError
        converted = tuple(ctypes.c_float(float(v)).value for v in items)
    except (TypeError, ValueError):
        raise InvalidArgument(operation, f"{what} must be {count} numbers, got {values!r}",
                              screen) from None
    if not all(math.isfinite(v) for v in converted):
        raise InvalidArgument(operation, f"{what} {items} is not finite in 32-bit floats",
                              screen)
    return converted


def handler(operation: str, value: Any, screen: Optional[str] = None) -> Callable[..., Any]:
    """A callable: refused here, not when the library first calls it on its
    own thread, where the error could only be logged."""
    if not callable(value):
        raise InvalidArgument(operation, f"{value!r} is not callable", screen)
    return value
