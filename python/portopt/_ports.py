"""Listing, reading and changing ports."""
from __future__ import annotations

from dataclasses import dataclass
from typing import Any, List, Optional

from ._errors import PortOptionError
from ._library import Libraries, libraries
from ._names import FIRST_NUMBER, LAST_NUMBER, PortLike, com_number, natural_order, port_number
from ._options import OPTION_NAMES, OPTIONS


@dataclass(frozen=True)
class Port:
    """One COM port and its options as the query calls report them.

    ``number`` is None for a name that is not COMn; such a port, like one
    numbered beyond 256, has no options to read and all four are None.
    ``interface``, ``fastflush`` and ``txmode`` are None when not stored;
    ``fifo`` is whether the UART FIFO is enabled.
    """

    name: str
    number: Optional[int]
    interface: Optional[int]
    fastflush: Optional[int]
    txmode: Optional[int]
    fifo: Optional[bool]


def _read(lib: Libraries, name: str) -> Port:
    number = com_number(name)
    if number is None or not FIRST_NUMBER <= number <= LAST_NUMBER:
        return Port(name, number, None, None, None, None)
    values: Any = [option.decode(lib.query(option.query, number)) for option in OPTIONS]
    return Port(name, number, *values)


def _present_name(lib: Libraries, number: int) -> str:
    """The listed name of COM number, or ValueError when no present port
    has it."""
    for name in lib.com_port_names():
        if com_number(name) == number:
            return name
    raise ValueError(f"COM{number} is not present")


def ports() -> List[Port]:
    """Every port EnumCOMPorts names, COMn by n, other names last."""
    lib = libraries()
    return [_read(lib, name) for name in natural_order(lib.com_port_names())]


def get(port: PortLike) -> Port:
    """One present port, given as "COM7", "com7", 7 or an object with a
    ``.device`` such as pyserial's ``ListPortInfo``."""
    number = port_number(port)
    lib = libraries()
    return _read(lib, _present_name(lib, number))


def set(  # noqa: A001 - the package's name for a change
    port: PortLike,
    *,
    interface: Optional[int] = None,
    fastflush: Optional[bool] = None,
    txmode: Optional[int] = None,
    fifo: Optional[bool] = None,
    **unknown: object,
) -> Port:
    """Changes the given options of a present port, in the order interface,
    fastflush, txmode, fifo, and returns the port read back.

    Every argument is checked before anything is changed: ValueError for a
    bad port, an unknown option or a value out of range.  A change the
    library refuses raises PortOptionError, and the options after it are
    not tried.
    """
    if unknown:
        raise ValueError(
            f"unknown option {', '.join(sorted(unknown))}: options are {', '.join(OPTION_NAMES)}"
        )
    number = port_number(port)
    given = (interface, fastflush, txmode, fifo)
    changes = [
        (option, option.encode(value)) for option, value in zip(OPTIONS, given) if value is not None
    ]
    lib = libraries()
    name = _present_name(lib, number)
    applied: List[str] = []
    for option, value in changes:
        succeeded, code = lib.change(option.change, number, value)
        if not succeeded:
            raise PortOptionError(code, name, option.name, applied)
        applied.append(option.name)
    return _read(lib, name)
