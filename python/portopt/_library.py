"""Finding and loading the two libraries, and calling them (the profile
engine, loaded the same way, is called from _profile.py).

On Windows the DLLs sit in the package's own folder, in ``x86`` or ``x64``
to match the interpreter.  Elsewhere (the simulated Windows of the host
build) the folders named by PORTOPT_LIBRARY_PATH hold libportopt.so,
libcomlist.so and libportprofile.so.  Nothing is loaded until the first
call that needs it.
"""
from __future__ import annotations

import ctypes
import os
import struct
import sys
import threading
from pathlib import Path
from typing import Dict, List, Optional, Tuple

from ._errors import ERROR_INSUFFICIENT_BUFFER, ListingError
from ._records import PortInfo, blank_record, blank_records

LIBRARY_PATH_VARIABLE = "PORTOPT_LIBRARY_PATH"

# Units of one name buffer of EnumCOMPortsEx, terminator included.
NAME_UNITS = 260
_NAME_BYTES = NAME_UNITS * 2
# Name buffers of the first listing; the lister says how many it needs
# when they are not enough.
_FIRST_CAPACITY = 256
# Records of the first all-ports call: one for every COM number the library
# takes, so that one call reads the whole machine.
_FIRST_RECORD_CAPACITY = 256
# A machine that gains ports between two calls is asked again, this often.
_RECORD_TRIES = 4

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
        try:
            self._enumerate = comlist.EnumCOMPortsEx
        except AttributeError as error:
            raise OSError(
                f"{_file_name('comlist')} has no EnumCOMPortsEx: it is older than this package"
            ) from error
        self._enumerate.argtypes = [
            ctypes.POINTER(ctypes.c_void_p), ctypes.c_int, ctypes.POINTER(ctypes.c_int)]
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
        number, from one pass over the machine.  ListingError when the
        library cannot read the device tree."""
        capacity = _FIRST_RECORD_CAPACITY
        for _ in range(_RECORD_TRIES):
            records = blank_records(capacity)
            count = ctypes.c_int(0)
            self._clear_last_error()
            if self._get_all_port_info(records, capacity, ctypes.byref(count)) == 1:
                filled = max(0, min(count.value, capacity))
                return {records[i].port: records[i] for i in range(filled)}
            code = self._last_error()
            if code != ERROR_INSUFFICIENT_BUFFER or count.value <= capacity:
                raise ListingError(code, "the library could not read the device tree")
            capacity = count.value
        raise ListingError(
            ERROR_INSUFFICIENT_BUFFER, f"more ports appeared at each of {_RECORD_TRIES} attempts")

    def change(self, call: str, number: int, value: int) -> Tuple[bool, int]:
        """Whether the change call succeeded, and the last-error code it
        left.  The calls never clear the code, so it is cleared first."""
        self._clear_last_error()
        succeeded = getattr(self._portopt, call)(number, value) == 1
        return succeeded, self._last_error()

    def set_com_number(self, number: int, new_number: int, flags: int) -> Tuple[bool, int]:
        """Whether PoSetComNumberEx renumbered the port, and the last-error
        code it left (3010 when the port takes its number at the next
        restart of Windows)."""
        function = getattr(self._portopt, "PoSetComNumberEx", None)
        if function is None:
            raise OSError(f"{_file_name('portopt')} cannot renumber ports: it is older than this package")
        function.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_int]
        function.restype = ctypes.c_int
        self._clear_last_error()
        succeeded = function(number, new_number, flags) == 1
        return succeeded, self._last_error()

    def com_port_names(self) -> List[str]:
        """Every name the lister gives, in its order.  ListingError when
        the ports cannot be listed; an empty list means that there are
        none."""
        capacity = _FIRST_CAPACITY
        for _ in range(_RECORD_TRIES):
            buffers = ctypes.create_string_buffer(_NAME_BYTES * max(capacity, 1))
            base = ctypes.addressof(buffers)
            entries = (ctypes.c_void_p * capacity)(
                *range(base, base + _NAME_BYTES * capacity, _NAME_BYTES)
            )
            count = ctypes.c_int(0)
            self._clear_last_error()
            if self._enumerate(entries, capacity, ctypes.byref(count)) == 1:
                raw = buffers.raw
                return [
                    _decode_name(raw[i * _NAME_BYTES : (i + 1) * _NAME_BYTES])
                    for i in range(max(0, min(count.value, capacity)))
                ]
            code = self._last_error()
            if code != ERROR_INSUFFICIENT_BUFFER or count.value <= capacity:
                raise ListingError(code)
            capacity = count.value
        raise ListingError(
            ERROR_INSUFFICIENT_BUFFER, f"more ports appeared at each of {_RECORD_TRIES} attempts")

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
