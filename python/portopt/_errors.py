"""The error a refused change raises."""
from __future__ import annotations

from typing import Iterable, List

ERROR_INVALID_PARAMETER = 87
ERROR_REGISTRY_IO_FAILED = 1016


def refusal_reason(code: int) -> str:
    """Why a change call failed, in words, from the last-error code it left."""
    if code == ERROR_INVALID_PARAMETER:
        return "a value out of range"
    if code == ERROR_REGISTRY_IO_FAILED:
        return "the stored setting could not be read or written"
    return "the adapter could not be reached or refused the change"


class PortOptionError(OSError):
    """A change call refused to change an option.

    ``winerror`` is the last-error code the call left (0 when it set none),
    ``port`` and ``option`` name what was refused, and ``applied`` lists the
    options of the same ``set`` call that were changed before it.
    """

    def __init__(self, code: int, port: str, option: str, applied: Iterable[str]) -> None:
        self.port = port
        self.option = option
        self.applied: List[str] = list(applied)
        done = ", ".join(self.applied) if self.applied else "nothing"
        message = (
            f"{port} {option} not changed: {refusal_reason(code)} (error {code}); "
            f"applied before it: {done}"
        )
        super().__init__(message)
        self.winerror = code

    def __str__(self) -> str:
        return str(self.args[0])

    def __reduce__(self):  # type: ignore[no-untyped-def]
        # Rebuilt from its parts, so that it crosses process boundaries.
        return type(self), (self.winerror, self.port, self.option, self.applied)
