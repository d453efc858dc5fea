"""Exceptions raised by touchsdk. Every one is a touchsdk.Error."""
from __future__ import annotations

from typing import Optional


class Error(Exception):
    """A touchsdk operation failed. `operation` names it, for example "set data mode"."""

    def __init__(self, operation: str, message: str, screen: Optional[str] = None) -> None:
        where = f" on {screen}" if screen else ""
        super().__init__(f"{operation}{where}: {message}")
        self.operation = operation
        self.screen = screen


class CommandError(Error):
    """The library reported failure: the screen refused, did not answer or is gone."""


class InvalidArgument(Error, ValueError):
    """An argument was rejected before anything was sent to the screen."""


class ScreenNotFound(Error, LookupError):
    """No attached screen matches the path or serial number asked for."""


class ScreenAccessDenied(Error, PermissionError):
    """The screen's /dev/hidraw node may not be opened for reading and writing."""


class ScreenClosed(Error):
    """The screen was closed; open it again to use it."""


class ScreenUnplugged(Error):
    """The screen was unplugged while it was open."""


class StreamClosed(Error):
    """The stream was closed, or its screen was: no more records will come."""


class CallbackContextError(Error):
    """The call would wait for the very thread it runs on (a library callback's)."""
