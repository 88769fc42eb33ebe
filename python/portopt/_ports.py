"""Listing, reading and changing ports."""
from __future__ import annotations

from dataclasses import dataclass
from typing import Any, Dict, Iterable, List, Optional, Tuple

from ._adapter import Adapter, adapter_of, position_of
from ._errors import PortOptionError
from ._library import Libraries, libraries
from ._names import FIRST_NUMBER, LAST_NUMBER, PortLike, com_number, natural_order, port_number
from ._options import OPTION_NAMES, OPTIONS
from ._records import FAMILY_UNRESOLVED, PortInfo


@dataclass(frozen=True)
class Port:
    """One COM port, its options as the query calls answer them, and the
    adapter that carries it.

    ``interface``, ``fastflush``, ``txmode`` and ``fifo`` (whether the UART
    FIFO is enabled) are None when no value is stored and when the
    adapter's family has no such option (``portctl`` shows n/a).
    ``adapter`` is None when no adapter resolved; ``position`` is n of the
    port's "Port n" on it, None without one.  ``interface_modes`` are the
    interface modes the port's adapter takes, (1, 2, 3) for an adapter
    that refuses mode 0.  ``number`` is None for a name that is not COMn;
    such a port, like one numbered beyond 256, has no options, adapter,
    position or modes (all None).
    """

    name: str
    number: Optional[int]
    interface: Optional[int]
    fastflush: Optional[int]
    txmode: Optional[int]
    fifo: Optional[bool]
    adapter: Optional[Adapter] = None
    position: Optional[int] = None
    interface_modes: Optional[Tuple[int, ...]] = None


def _addressable(number: Optional[int]) -> bool:
    return number is not None and FIRST_NUMBER <= number <= LAST_NUMBER


def _modes(record: PortInfo) -> Optional[Tuple[int, ...]]:
    """The interface modes in the record; None from a library that does
    not give them."""
    modes = tuple(mode for mode in OPTIONS[0].values if record.interfaceModes >> mode & 1)
    return modes or None


def _port(name: str, record: PortInfo) -> Port:
    values: Any = [option.decode(record) for option in OPTIONS]
    return Port(name, record.port, *values, adapter_of(record), position_of(record), _modes(record))


def _every_port(names: List[str], numbers: Iterable[int]) -> List[str]:
    """Each port once: the lister's names (the first of each COM number),
    then COMn for each recorded number that none of them carries."""
    # Keyed by number, or by name for a name that is not COMn; a dict, as
    # this module's set() is the change call.
    ports: Dict[object, str] = {}
    for name in names:
        number = com_number(name)
        ports.setdefault(number if number is not None else ("name", name), name)
    for number in numbers:
        ports.setdefault(number, f"COM{number}")
    return list(ports.values())


def _listed(lib: Libraries, name: str, records: Dict[int, PortInfo]) -> Port:
    number = com_number(name)
    if number is None or not _addressable(number):
        return Port(name, number, None, None, None, None)
    if number not in records:
        # A COMn name that no ports-class device carries: asked on its own.
        records[number] = lib.port_info(number)
    return _port(name, records[number])


def _present_name(lib: Libraries, number: int) -> str:
    """The listed name of COM number, or ValueError when no present port
    has it; ListingError when the ports cannot be listed."""
    for name in lib.com_port_names():
        if com_number(name) == number:
            return name
    # A port whose driver registers no COM-port interface.
    if number in lib.all_port_info():
        return f"COM{number}"
    raise ValueError(f"COM{number} is not present")


def _check_mode(lib: Libraries, name: str, number: int, mode: int) -> None:
    """ValueError, naming the adapter and its modes, for an interface mode
    the port's adapter does not take."""
    record = lib.port_info(number)
    modes = _modes(record)
    if record.family == FAMILY_UNRESOLVED or modes is None or mode in modes:
        return
    adapter = adapter_of(record)
    assert adapter is not None
    listed = ", ".join(str(m) for m in modes[:-1])
    listed = f"s {listed} and {modes[-1]}" if listed else f" {modes[-1]}"
    raise ValueError(
        f"{name} interface not changed: the adapter {adapter.bus or 'none'} "
        f"{adapter.vendor:04X}:{adapter.product:04X} ({adapter.id}) takes interface "
        f"mode{listed} only, not {mode}"
    )


def ports() -> List[Port]:
    """Every port, COMn by n, other names last, each once, read in one
    pass over the machine: those the lister names, and those the library
    serves that it does not name (a driver that registers no COM-port
    interface).  ListingError (an OSError) when the ports cannot be
    listed."""
    lib = libraries()
    names = lib.com_port_names()
    records = lib.all_port_info()
    return [_listed(lib, name, records) for name in natural_order(_every_port(names, records))]


def get(port: PortLike) -> Port:
    """One present port, given as "COM7", "com7", 7 or an object with a
    ``.device`` such as pyserial's ``ListPortInfo``."""
    number = port_number(port)
    lib = libraries()
    name = _present_name(lib, number)
    return _port(name, lib.port_info(number))


def set(  # noqa: A001 - the package's name for a change
    port: PortLike,
    *,
    interface: Optional[int] = None,
    fastflush: Optional[bool] = None,
    txmode: Optional[int] = None,
    fifo: Optional[bool] = None,
    number: Optional[int] = None,
    force_number: bool = False,
    **unknown: object,
) -> Port:
    """Changes the given options of a present port, in the order interface,
    fastflush, txmode, fifo, reading each back, then gives it the COM
    ``number`` (1 to 256; ``force_number`` also takes a number that only the
    COM port database holds) and returns the port as read back last, under
    its new name.  Renumbering needs administrator rights.

    Every argument is checked before anything is changed: ValueError for a
    bad port, an unknown option, a value out of range or an interface mode
    the port's adapter does not take (the message names the adapter and
    the modes it has).  A change the
    library refuses, or one that does not read back as the value asked
    for, raises PortOptionError, and the options after it are not tried.
    """
    if unknown:
        raise ValueError(
            f"unknown option {', '.join(sorted(unknown))}: options are {', '.join(OPTION_NAMES)}"
        )
    new_number = number
    if new_number is not None and (
        not isinstance(new_number, int) or isinstance(new_number, bool)
        or not FIRST_NUMBER <= new_number <= LAST_NUMBER
    ):
        raise ValueError(f"number must be {FIRST_NUMBER} to {LAST_NUMBER}, not {new_number!r}")
    number = port_number(port)
    given = (interface, fastflush, txmode, fifo)
    changes = [
        (option, option.encode(value)) for option, value in zip(OPTIONS, given) if value is not None
    ]
    lib = libraries()
    name = _present_name(lib, number)
    if interface is not None:
        _check_mode(lib, name, number, interface)
    applied: List[str] = []
    record: Optional[PortInfo] = None
    for option, value in changes:
        succeeded, code = lib.change(option.change, number, value)
        if not succeeded:
            raise PortOptionError(code, name, option.name, applied)
        record = lib.port_info(number)
        if not option.holds(record, value):
            raise PortOptionError(0, name, option.name, applied, True, option.decode(record))
        applied.append(option.name)
    if new_number is not None and new_number != number:
        succeeded, code = lib.set_com_number(number, new_number, 1 if force_number else 0)
        if not succeeded:
            raise PortOptionError(code, name, "number", applied)
        number, name = new_number, _present_name(lib, new_number)
        record = None
    return _port(name, record if record is not None else lib.port_info(number))
