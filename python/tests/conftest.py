"""The simulated Windows under the package's tests: each test that asks
for ``machine`` starts on the demo machine of the host build's simulator
and may load its own machine document.

ctest sets PORTOPT_LIBRARY_PATH and SIMWIN_LIBRARY; run by hand after a
host build, the tests find the libraries in build/host."""
import ctypes
import json
import os
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
HOST = ROOT / "build" / "host"
os.environ.setdefault(
    "PORTOPT_LIBRARY_PATH", os.pathsep.join([str(HOST / "source" / "dll"), str(HOST / "comlist")])
)


class Machine:
    """The simulator's machine-file calls."""

    def __init__(self, path: str) -> None:
        self._lib = ctypes.CDLL(path)
        self._lib.simwin_load_machine_json.argtypes = [
            ctypes.c_char_p, ctypes.c_size_t, ctypes.c_char_p, ctypes.c_size_t]
        self._lib.simwin_machine_json.argtypes = [ctypes.c_char_p, ctypes.c_size_t]
        self._lib.simwin_machine_json.restype = ctypes.c_size_t
        self._lib.simwin_demo_machine_json.restype = ctypes.c_char_p

    def demo(self) -> dict:
        return json.loads(self._lib.simwin_demo_machine_json())

    def load(self, document: dict) -> None:
        text = json.dumps(document).encode()
        error = ctypes.create_string_buffer(1024)
        if self._lib.simwin_load_machine_json(text, len(text), error, len(error)) != 0:
            raise AssertionError(f"machine not loaded: {error.value.decode()}")

    def dump(self) -> dict:
        size = self._lib.simwin_machine_json(None, 0)
        buffer = ctypes.create_string_buffer(size + 1)
        self._lib.simwin_machine_json(buffer, len(buffer))
        return json.loads(buffer.value)


@pytest.fixture(scope="session")
def simulator() -> Machine:
    return Machine(os.environ.get("SIMWIN_LIBRARY", str(HOST / "sim" / "libsimwin.so")))


@pytest.fixture
def machine(simulator: Machine) -> Machine:
    simulator.load(simulator.demo())
    return simulator
