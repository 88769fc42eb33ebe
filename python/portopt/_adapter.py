"""The adapter that carries a port, and the port's place on it, as a
port-information record gives them."""
from __future__ import annotations

from dataclasses import dataclass
from typing import Optional

from ._records import BUS_PCI, BUS_USB, FAMILY_TOVELSER, FAMILY_UNRESOLVED, PortInfo

_BUS_NAMES = {BUS_USB: "USB", BUS_PCI: "PCI"}


@dataclass(frozen=True)
class Adapter:
    """The adapter of a port: its instance ID, its bus ("USB" or "PCI"),
    vendor and product ID, and its driver family ("KARBEND" or
    "tovelser"), as ``portctl list --json`` names them."""

    id: str
    bus: Optional[str]
    vendor: int
    product: int
    family: str


def _adapter_id(raw: bytes) -> str:
    # Instance IDs are ASCII; anything else is shown, not trusted.
    return raw.decode("ascii", "replace")


def adapter_of(record: PortInfo) -> Optional[Adapter]:
    """The record's adapter; None when no adapter's product resolved."""
    if record.family == FAMILY_UNRESOLVED:
        return None
    family = "tovelser" if record.family == FAMILY_TOVELSER else "KARBEND"
    return Adapter(
        _adapter_id(record.adapterId),
        _BUS_NAMES.get(record.bus),
        record.vendorId,
        record.productId,
        family,
    )


def position_of(record: PortInfo) -> Optional[int]:
    """n of the port's "Port n" on its adapter; None without one, and
    for a port whose adapter did not resolve, as portctl shows it."""
    if record.family == FAMILY_UNRESOLVED or record.position <= 0:
        return None
    position: int = record.position
    return position
