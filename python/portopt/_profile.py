"""Profiles: the ports' stored options as the JSON document ``portctl
export`` writes, exported, planned, imported and tested through the profile
engine (portprofile.dll beside the two libraries), which holds the rules
for the whole project."""
from __future__ import annotations

import ctypes
import json
import os
import re
import threading
from dataclasses import dataclass
from pathlib import Path
from typing import Any, Callable, Dict, Optional, Union

from ._errors import ERROR_INSUFFICIENT_BUFFER, ListingError
from ._library import _load, libraries

ERROR_INVALID_DATA = 13
# The engine's code for ports that could not be listed.
PO_PROFILE_NOT_LISTED = 0x20000001
_REASON_BYTES = 256
_MATCHES = {"number": 0, "position": 1}
# OR'd with the position match: the ports' COM numbers too.
_NUMBERS = 0x10
_LINES, _JSON, _LINE = 0, 1, 2
_FIRST_CAPACITY = 1 << 16


class ProfileError(ValueError):
    """A profile that is malformed or does not fit the present ports; the
    message is the fault with its place, as portctl reports it
    (``ports.COM4.interface: value 4 out of range (0 to 3)``).  Nothing was
    changed."""


class _Outcome(ctypes.Structure):
    _fields_ = [
        ("size", ctypes.c_int),
        ("options", ctypes.c_int),
        ("differing", ctypes.c_int),
        ("refused", ctypes.c_int),
        ("changed", ctypes.c_int),
        ("unlisted", ctypes.c_char * _REASON_BYTES),
    ]


_Confirm = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_char_p, ctypes.c_void_p)
_TEXT = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(ctypes.c_int)]
_OUTCOME = ctypes.POINTER(_Outcome)


class _Engine:
    def __init__(self, engine: ctypes.CDLL) -> None:
        signatures = {
            "PoProfileExport": _TEXT + [_OUTCOME],
            "PoProfilePlan": [ctypes.c_char_p, ctypes.c_int, ctypes.c_int] + _TEXT + [_OUTCOME],
            "PoProfileImport": [ctypes.c_char_p, ctypes.c_int, ctypes.c_int, _Confirm,
                                ctypes.c_void_p] + _TEXT + [_OUTCOME],
            "PoProfileTest": [ctypes.c_char_p, ctypes.c_int, ctypes.c_int] + _TEXT + [_OUTCOME],
        }
        self.calls = {}
        for name, argtypes in signatures.items():
            function = getattr(engine, name)
            function.argtypes = argtypes
            function.restype = ctypes.c_int
            self.calls[name] = function


_lock = threading.Lock()
_engine: Optional[_Engine] = None


def _calls() -> Dict[str, Any]:
    global _engine
    with _lock:
        if _engine is None:
            _engine = _Engine(_load("portprofile"))
        return _engine.calls


_REASON = re.compile(r"^(?:the ports cannot be listed: )?(.*?)(?: \(error (\d+)\))?$", re.S)


def _listing_error(reason: str) -> ListingError:
    found = _REASON.match(reason)
    assert found is not None
    return ListingError(int(found.group(2) or PO_PROFILE_NOT_LISTED), found.group(1))


def _text(call: Callable[..., int], *arguments: Any) -> "tuple[str, _Outcome]":
    """The engine's text for `call`, offered a buffer until it fits, and its
    outcome; ProfileError and ListingError for its failures."""
    lib = libraries()
    capacity = _FIRST_CAPACITY
    while True:
        buffer = ctypes.create_string_buffer(capacity)
        needed = ctypes.c_int(0)
        outcome = _Outcome(size=ctypes.sizeof(_Outcome))
        lib._clear_last_error()
        done = call(*arguments, buffer, capacity, ctypes.byref(needed), ctypes.byref(outcome))
        code = 0 if done else lib._last_error()
        if code == ERROR_INSUFFICIENT_BUFFER and needed.value > capacity:
            capacity = needed.value
            continue
        text = buffer.value.decode("utf-8")
        if code == ERROR_INVALID_DATA:
            raise ProfileError(text)
        if code == PO_PROFILE_NOT_LISTED:
            raise _listing_error(outcome.unlisted.decode("utf-8", "replace"))
        if not done:
            raise OSError(code, f"the profile engine failed (error {code})")
        return text, outcome


def _match(match: str, numbers: bool = False) -> int:
    if match not in _MATCHES:
        raise ValueError(f"match is 'number' or 'position', not {match!r}")
    if numbers and match != "position":
        raise ValueError("numbers=True needs match='position' (matched by number, every port "
                         "already carries its entry's number)")
    return _MATCHES[match] | (_NUMBERS if numbers else 0)


@dataclass(frozen=True)
class ProfileReport:
    """What a plan, an import or a test found and did: ``report`` is the
    object ``portctl import --json`` prints (``{"changed": ..., "ports":
    {"COM7": {"entry": "COM3", "options": {"interface": {"result":
    "applied", "from": 0, "to": 2}}}}}``); ``options`` counts the options the
    profile gives, ``differing`` those that differ (planned, declined or
    absent), ``refused`` the changes refused."""

    report: Dict[str, Any]
    options: int
    differing: int
    refused: int

    @property
    def changed(self) -> bool:
        return bool(self.report["changed"])


@dataclass(frozen=True)
class Compliance:
    """A test's answer: whether every option holds, ``portctl check``'s one
    line, and the report of the plan it compared."""

    compliant: bool
    line: str
    report: ProfileReport


def _report(text: str, outcome: _Outcome) -> ProfileReport:
    return ProfileReport(json.loads(text), outcome.options, outcome.differing, outcome.refused)


class Profile:
    """A profile's text, as ``portctl export`` writes it.  The engine reads
    it when it is planned, imported or tested, with the present ports."""

    def __init__(self, text: str) -> None:
        self.text = text

    @classmethod
    def export(cls) -> "Profile":
        """The machine's profile: every port's stored options."""
        text, _ = _text(_calls()["PoProfileExport"])
        return cls(text)

    @classmethod
    def load(cls, path: Union[str, "os.PathLike[str]"]) -> "Profile":
        """A profile from a file (UTF-8)."""
        return cls(Path(path).read_text(encoding="utf-8"))

    def save(self, path: Union[str, "os.PathLike[str]"]) -> None:
        Path(path).write_text(self.text, encoding="utf-8")

    def plan(self, match: str = "number", numbers: bool = False) -> ProfileReport:
        """What an import would do (``portctl import --dry-run``): each
        option "unchanged" or "would apply".  Changes nothing.  ``numbers``
        (with ``match="position"``): each port's COM number too, as
        ``import_`` would give it."""
        text, outcome = _text(_calls()["PoProfilePlan"], self._encoded(), _match(match, numbers),
                              _JSON)
        return _report(text, outcome)

    def import_(self, match: str = "number",
                confirm: Optional[Callable[[Dict[str, Any]], bool]] = None,
                numbers: bool = False) -> ProfileReport:
        """Sets each option that differs, reading each back (``portctl
        import``).  ``numbers`` (with ``match="position"``, ``portctl import
        --match position --numbers``): each port first gets the COM number
        its entry is keyed by, then its options; the report gives each
        port's ``"number"`` and the ``"renumberings"`` in their order.
        ``confirm``, when given, is asked before each change with
        ``{"port", "entry", "option", "from", "to"}`` (``"option"`` is
        ``"number"`` for a number); a change it declines stays "would
        apply".  A refusal does not stop the others: see ``refused``.  If
        ``confirm`` raises, the changes after it are declined and the
        exception is raised once the import returns."""
        raised: list = []

        def ask(change: bytes, _context: Any) -> int:
            if raised:
                return 0
            try:
                return 1 if confirm is not None and confirm(json.loads(change)) else 0
            except BaseException as error:  # raised again below
                raised.append(error)
                return 0

        callback = _Confirm(ask) if confirm is not None else _Confirm()
        text, outcome = _text(_calls()["PoProfileImport"], self._encoded(),
                              _match(match, numbers), _JSON, callback, None)
        if raised:
            raise raised[0]
        return _report(text, outcome)

    def test(self, match: str = "number", numbers: bool = False) -> Compliance:
        """Whether every option already holds (``portctl check``), where a
        port missing by COM number counts as "absent"; with ``numbers`` (and
        ``match="position"``), also whether each port carries its entry's
        COM number.  The line and the report come from two readings of the
        machine."""
        call = _calls()["PoProfileTest"]
        chosen = _match(match, numbers)
        line, outcome = _text(call, self._encoded(), chosen, _LINE)
        text, report_outcome = _text(call, self._encoded(), chosen, _JSON)
        return Compliance(outcome.differing == 0, line.rstrip("\n"), _report(text, report_outcome))

    def _encoded(self) -> bytes:
        return self.text.encode("utf-8")

    def __repr__(self) -> str:
        return f"Profile({self.text[:60]!r}...)"
