"""COM port names and numbers: parsing, ordering, and the forms in which a
caller may name a port."""
from __future__ import annotations

import re
from typing import Iterable, List, Optional, Protocol, Tuple, Union

FIRST_NUMBER = 1
LAST_NUMBER = 256

# "COM" and a number without leading zeros, in any case; at most ten digits,
# so that no name turns into an unbounded integer.
_COM_NAME = re.compile(r"COM([1-9][0-9]{0,9})", re.IGNORECASE)


class HasDevice(Protocol):
    """Anything naming its port in ``.device``, such as pyserial's
    ``ListPortInfo``."""

    device: str


PortLike = Union[str, int, HasDevice]


def com_number(name: str) -> Optional[int]:
    """n for a name of the form COMn, else None."""
    found = _COM_NAME.fullmatch(name)
    return int(found.group(1)) if found else None


def natural_order(names: Iterable[str]) -> List[str]:
    """COMn names by n (COM2 before COM10), then every other name in its
    own order."""
    indexed = list(enumerate(names))

    def key(entry: Tuple[int, str]) -> Tuple[int, int]:
        index, name = entry
        number = com_number(name)
        return (0, number) if number is not None else (1, index)

    return [name for _, name in sorted(indexed, key=key)]


def port_number(port: object) -> int:
    """The COM number a port argument names: "COM7", "com7", 7, or an
    object whose ``.device`` is one of those.  ValueError for anything
    else and for numbers outside 1 to 256."""
    given = port
    if not isinstance(port, (str, int)) and hasattr(port, "device"):
        port = port.device
    if isinstance(port, bool):
        number = None
    elif isinstance(port, int):
        number = port
    elif isinstance(port, str):
        number = com_number(port)
    else:
        number = None
    if number is None:
        raise ValueError(f"{given!r} is not a COM port: give 'COM7', 'com7' or 7")
    if not FIRST_NUMBER <= number <= LAST_NUMBER:
        raise ValueError(
            f"{given!r}: COM numbers run from {FIRST_NUMBER} to {LAST_NUMBER}"
        )
    return number
