"""The port-information record of portopt.h, laid out as the library reads
and writes it: PoPortInfo and its four PoOption."""
from __future__ import annotations

import ctypes

# PoPortInfo.bus
BUS_NONE = 0
BUS_USB = 1
BUS_PCI = 2

# PoPortInfo.family
FAMILY_UNRESOLVED = 0
FAMILY_OTHER = 1
FAMILY_TOVELSER = 2

ADAPTER_ID_BYTES = 200


class OptionEntry(ctypes.Structure):
    """PoOption: what the option's query call answers, whether the
    adapter's family has the option, and whether a value is stored."""

    _fields_ = [
        ("value", ctypes.c_int),
        ("available", ctypes.c_int),
        ("stored", ctypes.c_int),
    ]


class PortInfo(ctypes.Structure):
    """PoPortInfo.  ``size`` is set by the caller before each call."""

    _fields_ = [
        ("size", ctypes.c_uint),
        ("port", ctypes.c_int),
        ("adapterId", ctypes.c_char * ADAPTER_ID_BYTES),
        ("bus", ctypes.c_int),
        ("vendorId", ctypes.c_int),
        ("productId", ctypes.c_int),
        ("family", ctypes.c_int),
        ("position", ctypes.c_int),
        ("interfaceMode", OptionEntry),
        ("fastFlush", OptionEntry),
        ("txMode", OptionEntry),
        ("uartFifo", OptionEntry),
        # Since the record's second version: bit n set when the adapter
        # takes interface mode n.
        ("interfaceModes", ctypes.c_int),
    ]


RECORD_SIZE = ctypes.sizeof(PortInfo)


def blank_record() -> PortInfo:
    record = PortInfo()
    record.size = RECORD_SIZE
    return record


def blank_records(capacity: int) -> "ctypes.Array[PortInfo]":
    """An array for the all-ports call; its first record's size tells the
    library the size of every record."""
    records = (PortInfo * max(capacity, 1))()
    records[0].size = RECORD_SIZE
    return records
