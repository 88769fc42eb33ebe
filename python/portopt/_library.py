"""Finding and loading the two libraries, and calling them.

On Windows the DLLs sit in the package's own folder, in ``x86`` or ``x64``
to match the interpreter.  Elsewhere (the simulated Windows of the host
build) the folders named by PORTOPT_LIBRARY_PATH hold libportopt.so and
libcomlist.so.  Nothing is loaded until the first call that needs it.
"""
from __future__ import annotations

import ctypes
import os
import struct
import sys
import threading
from pathlib import Path
from typing import Dict, List, Optional, Tuple

from ._records import PortInfo, blank_record, blank_records

LIBRARY_PATH_VARIABLE = "PORTOPT_LIBRARY_PATH"

# Units of one name buffer of EnumCOMPorts, terminator included.
NAME_UNITS = 260
_NAME_BYTES = NAME_UNITS * 2
# EnumCOMPorts stops at the first null entry of the array it is given; a
# listing that fills the array is asked again with a larger one.
_FIRST_CAPACITY = 256
_MAX_CAPACITY = 16384
# Records of the first all-ports call: one for every COM number the library
# takes, so that one call reads the whole machine.
_FIRST_RECORD_CAPACITY = 256
# A machine that gains ports between two calls is asked again, this often.
_RECORD_TRIES = 4
ERROR_INSUFFICIENT_BUFFER = 122

_ON_WINDOWS = sys.platform == "win32"

CHANGE_CALLS = ("PoSetInterface", "PoSetFastFlush", "PoSetTxMode", "PoSetUARTFIFO")


def _file_name(stem: str) -> str:
    return f"{stem}.dll" if _ON_WINDOWS else f"lib{stem}.so"


def _search_folders() -> Tuple[List[Path], str]:
    """The folders to look in, and how to name them in a message."""
    if _ON_WINDOWS:
        bitness = "x64" if struct.calcsize("P") == 8 else "x86"
        folder = Path(__file__).resolve().parent / bitness
        return [folder], f"the package folder {folder}"
    value = os.environ.get(LIBRARY_PATH_VARIABLE, "")
    folders = [Path(part) for part in value.split(os.pathsep) if part]
    if not folders:
        raise OSError(
            f"{LIBRARY_PATH_VARIABLE} is not set: it names the folders that hold "
            f"{_file_name('portopt')} and {_file_name('comlist')}"
        )
    return folders, f"{LIBRARY_PATH_VARIABLE} ({value})"


def _load(stem: str) -> ctypes.CDLL:
    folders, where = _search_folders()
    name = _file_name(stem)
    for folder in folders:
        path = folder / name
        if path.is_file():
            try:
                return ctypes.CDLL(str(path), use_last_error=_ON_WINDOWS)
            except OSError as error:
                raise OSError(f"{path} could not be loaded: {error}") from error
    raise OSError(f"{name} not found in {where}")


_UNIT_CODEC = "utf-16-le" if sys.byteorder == "little" else "utf-16-be"


def _decode_name(raw: bytes) -> str:
    """A name from its 16-bit units (in the machine's byte order), up to the
    first terminator."""
    return raw.decode(_UNIT_CODEC, "replace").split("\x00", 1)[0]


class Libraries:
    """The loaded portopt and comlist libraries."""

    def __init__(self, portopt: ctypes.CDLL, comlist: ctypes.CDLL) -> None:
        self._portopt = portopt
        for call in CHANGE_CALLS:
            function = getattr(portopt, call)
            function.argtypes = [ctypes.c_int, ctypes.c_int]
            function.restype = ctypes.c_int
        try:
            self._get_port_info = portopt.PoGetPortInfo
            self._get_all_port_info = portopt.PoGetAllPortInfo
        except AttributeError as error:
            raise OSError(
                f"{_file_name('portopt')} has no port-information calls: "
                "it is older than this package"
            ) from error
        self._get_port_info.argtypes = [ctypes.c_int, ctypes.POINTER(PortInfo)]
        self._get_port_info.restype = ctypes.c_int
        self._get_all_port_info.argtypes = [
            ctypes.POINTER(PortInfo), ctypes.c_int, ctypes.POINTER(ctypes.c_int)]
        self._get_all_port_info.restype = ctypes.c_int
        self._enumerate = comlist.EnumCOMPorts
        self._enumerate.argtypes = [ctypes.POINTER(ctypes.c_void_p), ctypes.POINTER(ctypes.c_int)]
        self._enumerate.restype = ctypes.c_int
        if not _ON_WINDOWS:
            # The simulated Windows keeps the thread's last-error code; the
            # library's handle reaches it through its dependencies.
            try:
                self._get_last_error = portopt.GetLastError
                self._set_last_error = portopt.SetLastError
            except AttributeError as error:
                raise OSError(
                    "libportopt.so does not reach GetLastError/SetLastError: "
                    "it is not a host build on the simulated Windows"
                ) from error
            self._get_last_error.argtypes = []
            self._get_last_error.restype = ctypes.c_uint32
            self._set_last_error.argtypes = [ctypes.c_uint32]
            self._set_last_error.restype = None

    def port_info(self, number: int) -> PortInfo:
        """The record of COM number (1 to 256), from one resolution of the
        port.  OSError when the call fails, which it does only when out of
        memory."""
        record = blank_record()
        self._clear_last_error()
        if self._get_port_info(number, ctypes.byref(record)) != 1:
            code = self._last_error()
            raise OSError(f"PoGetPortInfo failed for COM{number} (error {code})")
        return record

    def all_port_info(self) -> Dict[int, PortInfo]:
        """The record of every COM number a present port carries, by
        number, from one pass over the machine; empty when the library
        could not list the devices (each port is then asked on its own)."""
        capacity = _FIRST_RECORD_CAPACITY
        for _ in range(_RECORD_TRIES):
            records = blank_records(capacity)
            count = ctypes.c_int(0)
            self._clear_last_error()
            if self._get_all_port_info(records, capacity, ctypes.byref(count)) == 1:
                filled = max(0, min(count.value, capacity))
                return {records[i].port: records[i] for i in range(filled)}
            if self._last_error() != ERROR_INSUFFICIENT_BUFFER or count.value <= capacity:
                break
            capacity = count.value
        return {}

    def change(self, call: str, number: int, value: int) -> Tuple[bool, int]:
        """Whether the change call succeeded, and the last-error code it
        left.  The calls never clear the code, so it is cleared first."""
        self._clear_last_error()
        succeeded = getattr(self._portopt, call)(number, value) == 1
        return succeeded, self._last_error()

    def com_port_names(self) -> List[str]:
        """Every name EnumCOMPorts gives, in its order."""
        capacity = _FIRST_CAPACITY
        while True:
            names = self._com_port_names(capacity)
            if len(names) < capacity or capacity >= _MAX_CAPACITY:
                return names
            capacity *= 4

    def _com_port_names(self, capacity: int) -> List[str]:
        buffers = ctypes.create_string_buffer(_NAME_BYTES * capacity)
        base = ctypes.addressof(buffers)
        # One pointer per buffer and a null one that ends the array.
        entries = (ctypes.c_void_p * (capacity + 1))(
            *range(base, base + _NAME_BYTES * capacity, _NAME_BYTES)
        )
        count = ctypes.c_int(0)
        self._enumerate(entries, ctypes.byref(count))
        written = max(0, min(count.value, capacity))
        raw = buffers.raw
        return [
            _decode_name(raw[i * _NAME_BYTES : (i + 1) * _NAME_BYTES]) for i in range(written)
        ]

    def _clear_last_error(self) -> None:
        if sys.platform == "win32":
            ctypes.set_last_error(0)
        else:
            self._set_last_error(0)

    def _last_error(self) -> int:
        if sys.platform == "win32":
            return ctypes.get_last_error()
        code: int = self._get_last_error()
        return code


_lock = threading.Lock()
_loaded: Optional[Libraries] = None


def libraries() -> Libraries:
    """The libraries, loaded on first use; OSError saying what is missing
    when they cannot be.  A failed load is tried again on the next call."""
    global _loaded
    with _lock:
        if _loaded is None:
            _loaded = Libraries(_load("portopt"), _load("comlist"))
        return _loaded
