"""COM port names and numbers: parsing, ordering, and the forms in which a
caller may name a port."""
from __future__ import annotations

import re
from pathlib import Path
from typing import Iterable, List, Optional, Protocol, Tuple, Union

# The library's public header, which states the COM numbers its calls take:
# the copy a built package carries beside this file, or, in a source
# checkout, the repository's own.
_HEADER_PLACES = (
    Path(__file__).resolve().parent / "portopt.h",
    Path(__file__).resolve().parents[2] / "include" / "portopt.h",
)


def _header_number(text: str, name: str, header: Path) -> int:
    found = re.search(rf"^[ \t]*#[ \t]*define[ \t]+{name}[ \t]+([0-9]+)\b", text, re.MULTILINE)
    if found is None:
        raise ImportError(f"{header} does not define {name}")
    return int(found.group(1))


def _com_number_range() -> Tuple[int, int]:
    """PO_MIN_PORT and PO_MAX_PORT of portopt.h."""
    for header in _HEADER_PLACES:
        if header.is_file():
            text = header.read_text(encoding="utf-8")
            return _header_number(text, "PO_MIN_PORT", header), _header_number(text, "PO_MAX_PORT", header)
    raise ImportError(f"portopt.h, which gives the COM numbers the library takes, is in none of "
                      f"{', '.join(str(place) for place in _HEADER_PLACES)}")


FIRST_NUMBER, LAST_NUMBER = _com_number_range()

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
    else and for numbers outside FIRST_NUMBER to LAST_NUMBER (1 to 256)."""
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
