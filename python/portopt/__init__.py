"""Reads and changes the options of serial-adapter COM ports: interface
mode, fast flush, transmit mode and the UART FIFO.

    >>> import portopt
    >>> portopt.ports()
    [Port(name='COM3', number=3, interface=0, fastflush=1, txmode=0, fifo=True,
          adapter=Adapter(id='USB\\\\VID_1A2B&PID_2044\\\\KB4P0001', bus='USB', ...), position=1), ...]
    >>> portopt.set("COM7", interface=2)
    Port(name='COM7', number=7, interface=2, ...)

``portopt.set`` is not among the names ``from portopt import *`` brings,
so that it does not hide the builtin ``set``.
"""
from __future__ import annotations

from ._adapter import Adapter
from ._errors import ListingError, PortOptionError
from ._names import HasDevice, PortLike
from ._ports import Port, get, ports
from ._profile import Compliance, Profile, ProfileError, ProfileReport
# "as set" re-exports it for type checkers while __all__ leaves it out, so
# that a star import keeps the builtin.
from ._ports import set as set

# Without "set": a star import must not replace the builtin.
__all__ = ["Port", "Adapter", "PortLike", "HasDevice", "PortOptionError", "ListingError", "get", "ports",
           "Profile", "ProfileError", "ProfileReport", "Compliance", "__version__"]


def _version() -> str:
    from importlib.metadata import PackageNotFoundError, version

    try:
        return version("portopt")
    except PackageNotFoundError:
        return "unknown"


__version__ = _version()
