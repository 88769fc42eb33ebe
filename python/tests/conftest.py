"""The simulated Windows under the package's tests: each test that asks
for ``machine`` starts on the demo machine of the host build's simulator
and may load its own machine document; ``portctl_listing`` gives what the
host build's portctl lists on a machine document; ``library_calls``
counts the package's calls of the port-information exports.

ctest sets PORTOPT_LIBRARY_PATH, SIMWIN_LIBRARY and PORTCTL; run by hand
after a host build, the tests find the libraries and portctl in
build/host."""
import collections
import ctypes
import json
import os
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
HOST = ROOT / "build" / "host"
os.environ.setdefault(
    "PORTOPT_LIBRARY_PATH", os.pathsep.join([str(HOST / "source" / "dll"), str(HOST / "comlist"), str(HOST / "profile")])
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


@pytest.fixture
def portctl_listing(tmp_path):
    """`portctl list --json` on a machine document."""
    portctl = os.environ.get("PORTCTL", str(HOST / "tools" / "portctl" / "portctl"))

    def listing(document: dict) -> list:
        path = tmp_path / "machine.json"
        path.write_text(json.dumps(document))
        run = subprocess.run([portctl, "--machine", str(path), "list", "--json"],
                             capture_output=True, text=True, check=True)
        return json.loads(run.stdout)

    return listing


@pytest.fixture
def library_calls(monkeypatch):
    """How often the package calls PoGetPortInfo and PoGetAllPortInfo."""
    from portopt._library import libraries

    lib = libraries()
    counts = collections.Counter()
    for attribute, name in [("_get_port_info", "PoGetPortInfo"), ("_get_all_port_info", "PoGetAllPortInfo")]:
        function = getattr(lib, attribute)

        def counted(*arguments, function=function, name=name):
            counts[name] += 1
            return function(*arguments)

        monkeypatch.setattr(lib, attribute, counted)
    return counts
