"""Reads and changes the options of serial-adapter COM ports: interface
mode, fast flush, transmit mode and the UART FIFO.

    >>> import portopt
    >>> portopt.ports()
    [Port(name='COM3', number=3, interface=0, fastflush=0, txmode=1, fifo=True), ...]
    >>> portopt.set("COM7", interface=2)
    Port(name='COM7', number=7, interface=2, ...)
"""
from __future__ import annotations

from ._errors import PortOptionError
from ._names import HasDevice, PortLike
from ._ports import Port, get, ports, set

__all__ = ["Port", "PortLike", "HasDevice", "PortOptionError", "get", "ports", "set", "__version__"]


def _version() -> str:
    from importlib.metadata import PackageNotFoundError, version

    try:
        return version("portopt")
    except PackageNotFoundError:
        return "unknown"


__version__ = _version()
