"""The four options of a port: their change calls, the values a caller may
give, and how a port-information record holds them."""
from __future__ import annotations

from dataclasses import dataclass
from typing import Tuple, Union

from ._records import OptionEntry, PortInfo


@dataclass(frozen=True)
class Option:
    name: str
    field: str  # the record's field of the option
    change: str
    values: Tuple[int, ...]
    switch: bool  # on/off: True and False are accepted as 1 and 0
    accepted: str  # for messages
    reads_as_flag: bool = False  # the record holds 1 for enabled, else 0

    def encode(self, value: object) -> int:
        """The number to pass to the change call; ValueError for a value
        this option does not take."""
        if isinstance(value, bool):
            if self.switch:
                return int(value)
        elif isinstance(value, int) and value in self.values:
            return value
        raise ValueError(f"{self.name} takes {self.accepted}, not {value!r}")

    def entry(self, record: PortInfo) -> OptionEntry:
        entry: OptionEntry = getattr(record, self.field)
        return entry

    def decode(self, record: PortInfo) -> Union[int, bool, None]:
        """The option's value in the record: None when the adapter's family
        has no such option or no value is stored."""
        entry = self.entry(record)
        if not entry.available or not entry.stored:
            return None
        return entry.value == 1 if self.reads_as_flag else entry.value

    def holds(self, record: PortInfo, value: int) -> bool:
        """Whether the record reads back `value` as stored, as encoded for
        the change call."""
        entry = self.entry(record)
        return bool(entry.available and entry.stored) and entry.value == value


OPTIONS = (
    Option("interface", "interfaceMode", "PoSetInterface", (0, 1, 2, 3), False, "0 to 3"),
    Option("fastflush", "fastFlush", "PoSetFastFlush", (0, 1), True, "True/False or 1/0"),
    Option("txmode", "txMode", "PoSetTxMode", (0, 1), False, "0 or 1"),
    Option("fifo", "uartFifo", "PoSetUARTFIFO", (0, 1), True, "True/False or 1/0", True),
)
OPTION_NAMES = tuple(option.name for option in OPTIONS)
