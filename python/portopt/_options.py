"""The four options of a port: their calls, the values a caller may give,
and what the query calls' results mean."""
from __future__ import annotations

from dataclasses import dataclass
from typing import Tuple, Union

# What a query gives for a setting that is not stored.
NOT_STORED = -1


@dataclass(frozen=True)
class Option:
    name: str
    query: str
    change: str
    values: Tuple[int, ...]
    switch: bool  # on/off: True and False are accepted as 1 and 0
    accepted: str  # for messages
    reads_as_flag: bool = False  # the query gives 1 for enabled, else 0

    def encode(self, value: object) -> int:
        """The number to pass to the change call; ValueError for a value
        this option does not take."""
        if isinstance(value, bool):
            if self.switch:
                return int(value)
        elif isinstance(value, int) and value in self.values:
            return value
        raise ValueError(f"{self.name} takes {self.accepted}, not {value!r}")

    def decode(self, result: int) -> Union[int, bool, None]:
        """The option's value from its query call's result."""
        if self.reads_as_flag:
            return result == 1
        return None if result == NOT_STORED else result


OPTIONS = (
    Option("interface", "PoGetInterface", "PoSetInterface", (0, 1, 2, 3), False, "0 to 3"),
    Option("fastflush", "PoGetFastFlush", "PoSetFastFlush", (0, 1), True, "True/False or 1/0"),
    Option("txmode", "PoGetTxMode", "PoSetTxMode", (0, 1), False, "0 or 1"),
    Option("fifo", "PoGetUARTFIFO", "PoSetUARTFIFO", (0, 1), True, "True/False or 1/0", True),
)
OPTION_NAMES = tuple(option.name for option in OPTIONS)

