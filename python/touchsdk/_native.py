"""Loading libtouchsdk and declaring its 32 functions and records for ctypes."""
from __future__ import annotations

import ctypes
import os
from ctypes import (CFUNCTYPE, POINTER, Structure, c_char_p, c_float, c_size_t, c_uint8,
                    c_uint16, c_uint32, c_void_p, c_wchar_p)

SONAME = "libtouchsdk.so.1"
LIBRARY_VARIABLE = "TOUCHSDK_LIBRARY"
SUPPORTED_MAJOR = 1

TSD_OK = 0
ACTION_ADD = 0
ACTION_REMOVE = 1
DIAGNOSIS_DATA_SIZE = 63


class TouchPoint(Structure):
    _pack_ = 1
    _fields_ = [("state", c_uint8), ("id", c_uint8), ("x", c_float), ("y", c_float),
                ("width", c_float), ("height", c_float), ("scanTime", c_uint16)]


class VirtualKeyEvent(Structure):
    _pack_ = 1
    _fields_ = [("key", c_uint8), ("state", c_uint8)]


class CalibrationPoint(Structure):
    _fields_ = [("touchX", c_float), ("touchY", c_float),
                ("targetX", c_float), ("targetY", c_float)]


# The library reads these records byte for byte; a layout that drifted from the
# C header would hand callbacks garbage rather than fail, so refuse to load.
_LAYOUT = {
    TouchPoint: (20, {"x": 2, "y": 6, "width": 10, "height": 14, "scanTime": 18}),
    VirtualKeyEvent: (2, {"state": 1}),
    CalibrationPoint: (16, {"targetX": 8, "targetY": 12}),
}
for _record, (_size, _offsets) in _LAYOUT.items():
    _actual = {field: getattr(_record, field).offset for field in _offsets}
    if ctypes.sizeof(_record) != _size or _actual != _offsets:
        raise ImportError(f"touchsdk: ctypes lays out {_record.__name__} as "
                          f"{ctypes.sizeof(_record)} bytes with offsets {_actual}; the library "
                          f"needs {_size} bytes with offsets {_offsets}", name="touchsdk")

TouchScreenHandle = c_void_p
CallbackManagerHandle = c_void_p
NotificationHandle = c_void_p

EnumCallback = CFUNCTYPE(None, c_void_p, c_char_p, c_wchar_p)
NotificationCallback = CFUNCTYPE(None, c_void_p, c_uint32, c_char_p)
TouchCallback = CFUNCTYPE(None, c_void_p, POINTER(TouchPoint))
DiagnosisCallback = CFUNCTYPE(None, c_void_p, POINTER(c_uint8))
VirtualKeyCallback = CFUNCTYPE(None, c_void_p, POINTER(VirtualKeyEvent))

_R = c_uint32  # TsdResult
_H = TouchScreenHandle
_M = CallbackManagerHandle
_PROTOTYPES = {
    "TsdGetSdkVersion": (None, [POINTER(c_uint32)] * 4),
    "TsdEnumTouchScreensA": (None, [EnumCallback, c_void_p]),
    "TsdEnumTouchScreensW": (None, [c_void_p, c_void_p]),
    "TsdOpenTouchScreenA": (_R, [c_char_p, POINTER(_H)]),
    "TsdOpenTouchScreenW": (_R, [c_wchar_p, POINTER(_H)]),
    "TsdCloseTouchScreen": (_R, [_H]),
    "TsdGetTouchScreenSerialNumber": (_R, [_H, c_wchar_p, c_size_t, POINTER(c_uint32)]),
    "TsdCreateTouchScreenNotificationA": (_R, [POINTER(NotificationHandle),
                                               NotificationCallback, c_void_p]),
    "TsdCreateTouchScreenNotificationW": (_R, [POINTER(NotificationHandle), c_void_p,
                                               c_void_p]),
    "TsdDeleteTouchScreenNotification": (_R, [NotificationHandle]),
    "TsdGetTouchScreenWorkingMode": (_R, [_H, POINTER(c_uint8)]),
    "TsdSetTouchScreenWorkingMode": (_R, [_H, c_uint32]),
    "TsdGetTouchScreenDataMode": (_R, [_H, POINTER(c_uint8)]),
    "TsdSetTouchScreenDataMode": (_R, [_H, c_uint32]),
    "TsdGetTouchScreenHidMode": (_R, [_H, POINTER(c_uint8)]),
    "TsdSetTouchScreenHidMode": (_R, [_H, c_uint32]),
    "TsdRestartTouchScreen": (_R, [_H]),
    "TsdCreateCallbackManager": (_R, [POINTER(_M), _H]),
    "TsdRegisterTouchCallback": (_R, [_M, TouchCallback, c_void_p]),
    "TsdUnregisterTouchCallback": (_R, [_M]),
    "TsdRegisterRawtouchCallback": (_R, [_M, TouchCallback, c_void_p]),
    "TsdUnregisterRawtouchCallback": (_R, [_M]),
    "TsdRegisterDiagnosisCallback": (_R, [_M, DiagnosisCallback, c_void_p]),
    "TsdUnregisterDiagnosisCallback": (_R, [_M]),
    "TsdRegisterVirtualKeyCallback": (_R, [_M, VirtualKeyCallback, c_void_p]),
    "TsdUnregisterVirtualKeyCallback": (_R, [_M]),
    "TsdUnregisterAllCallback": (_R, [_M]),
    "TsdDeleteCallbackManager": (_R, [_M]),
    "TsdCalibrationFullScreenPreview": (_R, [_H, c_float, c_float, c_float, c_float,
                                             POINTER(CalibrationPoint), c_uint32]),
    "TsdCalibrationCancelPreview": (_R, [_H]),
    "TsdCalibrationApplyPreview": (_R, [_H]),
    "TsdCalibrationReset": (_R, [_H]),
}

_HOW_TO_FIX = (f"Install the touchsdk library package (libtouchsdk1), or set {LIBRARY_VARIABLE} "
               f"to the path of {SONAME}, for example build/release/{SONAME} in a source tree.")


def _load() -> ctypes.CDLL:
    override = os.environ.get(LIBRARY_VARIABLE)
    name = override or SONAME
    where = (f"{name} (from {LIBRARY_VARIABLE})" if override
             else f"{name} on the dynamic loader's path (LD_LIBRARY_PATH, /etc/ld.so.cache)")
    try:
        library = ctypes.CDLL(name)
    except OSError as error:
        raise ImportError(f"touchsdk: cannot load the C library: looked for {where}: {error}. "
                          f"{_HOW_TO_FIX}", name="touchsdk") from None
    missing = [symbol for symbol in _PROTOTYPES if not hasattr(library, symbol)]
    if missing:
        raise ImportError(f"touchsdk: {name} is not the touchsdk library: it lacks "
                          f"{', '.join(missing[:3])}{' ...' if len(missing) > 3 else ''}. "
                          f"{_HOW_TO_FIX}", name="touchsdk")
    for symbol, (result, arguments) in _PROTOTYPES.items():
        function = getattr(library, symbol)
        function.restype = result
        function.argtypes = arguments
    major = c_uint32()
    library.TsdGetSdkVersion(ctypes.byref(major), None, None, None)
    if major.value != SUPPORTED_MAJOR:
        raise ImportError(f"touchsdk: {name} has interface version {major.value}, this binding "
                          f"speaks version {SUPPORTED_MAJOR}. {_HOW_TO_FIX}", name="touchsdk")
    return library


lib = _load()


def version() -> tuple[int, int, int, int]:
    """The loaded library's version as (major, minor, build, revision)."""
    parts = [c_uint32() for _ in range(4)]
    lib.TsdGetSdkVersion(*(ctypes.byref(part) for part in parts))
    return tuple(part.value for part in parts)  # type: ignore[return-value]
