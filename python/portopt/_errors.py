"""The errors the package raises: a change that did not take, and a
listing of the ports that failed."""
from __future__ import annotations

from typing import Iterable, List, Optional, Union

ReadBack = Union[int, bool, None]

ERROR_INVALID_PARAMETER = 87
ERROR_INSUFFICIENT_BUFFER = 122
ERROR_REGISTRY_IO_FAILED = 1016
ERROR_ACCESS_DENIED = 5
# portopt.h's PO_ERROR_NUMBER_IN_USE.
NUMBER_IN_USE = 183


def refusal_reason(code: int) -> str:
    """Why a change call failed, in words, with the last-error code it left;
    a failure that left none says so."""
    if code == ERROR_INVALID_PARAMETER:
        return f"a value out of range (error {code})"
    if code == ERROR_REGISTRY_IO_FAILED:
        return f"the stored setting could not be read or written (error {code})"
    if code == NUMBER_IN_USE:
        return f"the COM number is in use (another present port, or the COM port database) (error {code})"
    if code == ERROR_ACCESS_DENIED:
        return f"administrator rights are needed (error {code})"
    if code == 0:
        # An adapter that cannot be opened leaves no code either.
        return "the adapter could not be reached or refused the change, no code given"
    # The library keeps only a refused request's own code.
    return f"the adapter refused the change (error {code})"


class PortOptionError(OSError):
    """A change that did not take.

    Either the change call refused it (``accepted`` False): ``winerror`` is
    the last-error code the call left (the driver's, when the adapter's
    driver refused the request; 0 when there is none); or the call
    accepted it but the port does not read back the value asked for
    (``accepted`` True, ``winerror`` 0): ``reads_back`` is what it reads
    instead, as the ``Port`` field shows it.  ``port`` and ``option`` name
    what did not change, and ``applied`` lists the options of the same
    ``set`` call that were changed before it.
    """

    def __init__(
        self,
        code: int,
        port: str,
        option: str,
        applied: Iterable[str],
        accepted: bool = False,
        reads_back: ReadBack = None,
    ) -> None:
        self.port = port
        self.option = option
        self.applied: List[str] = list(applied)
        self.accepted = accepted
        self.reads_back = reads_back
        if accepted:
            why = f"the change was accepted but reads back {reads_back!r}"
        else:
            why = refusal_reason(code)
        done = ", ".join(self.applied) if self.applied else "nothing"
        super().__init__(f"{port} {option} not changed: {why}; applied before it: {done}")
        self.winerror = code

    def __str__(self) -> str:
        return str(self.args[0])

    def __reduce__(self):  # type: ignore[no-untyped-def]
        # Rebuilt from its parts, so that it crosses process boundaries.
        arguments = (self.winerror, self.port, self.option, self.applied, self.accepted, self.reads_back)
        return type(self), arguments


class ListingError(OSError):
    """The COM ports cannot be listed: the lister or the library could not
    read the device tree.  ``winerror`` is the code the platform gave.  Not
    raised for a machine without COM ports, whose listing is empty."""

    def __init__(self, code: int, why: Optional[str] = None) -> None:
        self.why = why
        why = why or "the lister could not build its device list"
        super().__init__(f"the COM ports cannot be listed: {why} (error {code})")
        self.winerror = code

    def __str__(self) -> str:
        return str(self.args[0])

    def __reduce__(self):  # type: ignore[no-untyped-def]
        return type(self), (self.winerror, self.why)
