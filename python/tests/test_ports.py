"""The package over the host build on the simulated Windows: listing,
reading, changing with read-back, refusals and bad arguments."""
import dataclasses
import os
import subprocess
import sys
from types import SimpleNamespace

import pytest

import portopt
from portopt import Port

# The demo machine as the query calls report it: a four-port KARBEND
# adapter in shared-table mode (COM3 to COM6), a single-port PCI adapter
# (COM7), two tovelser-family ports in per-port mode (COM8, COM9) and a
# COM1 with no adapter.
DEMO = [
    Port("COM1", 1, None, None, None, False),
    Port("COM3", 3, 0, 1, 0, True),
    Port("COM4", 4, 1, 0, 1, False),
    Port("COM5", 5, 2, 1, None, True),
    Port("COM6", 6, None, None, None, False),
    Port("COM7", 7, 3, 0, 0, True),
    Port("COM8", 8, 2, 0, 0, False),
    Port("COM9", 9, None, 0, 0, False),
]
KARBEND_USB = "USB\\VID_1A2B&PID_2044\\KB4P0001"


def demo_port(name):
    return next(port for port in DEMO if port.name == name)


def with_named_ports(document, names):
    """Adds a device without adapter per name, listed under that name."""
    for i, name in enumerate(names):
        device = f"ROOT\\PORTS\\{i:04d}"
        document["devices"].append({"id": device, "interfaces": ["comport"]})
        key = f"SYSTEM\\CurrentControlSet\\Enum\\{device}\\Device Parameters"
        document["registry"][key] = {"PortName": name}
    return document


def with_refusing_driver(document):
    """The four-port adapter's driver rejects every request."""
    path = "\\\\?\\kb4p0001#ports"
    for device in document["devices"]:
        if device["id"] == KARBEND_USB:
            device["interfaces"] = [{"class": "ports", "path": path}]
    document["drivers"] = {path: {"rejectError": 31}}
    return document


def without_port(name):
    return [port for port in DEMO if port.name != name]


def test_listing_reads_every_port_in_natural_order(machine):
    assert portopt.ports() == DEMO


MANY = [f"X{i}" for i in range(300)]


@pytest.mark.parametrize(
    "names, expected",
    [
        # COMn by n, duplicates kept; other names last in their own order,
        # decoded from UTF-16 whatever the platform's wchar_t.  A number
        # beyond 256 is still ordered by it.
        (
            ["COM10", "CNCA0", "COM2", "Port \u00dc\U0001F600", "COM2", "COM257"],
            ["COM1", "COM2", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
             "COM10", "COM257", "CNCA0", "Port \u00dc\U0001F600"],
        ),
        # More names than the first array holds.
        (MANY, [port.name for port in DEMO] + MANY),
    ],
    ids=["mixed", "more-than-256"],
)
def test_listing_orders_and_decodes_names(machine, names, expected):
    machine.load(with_named_ports(machine.demo(), names))
    listed = portopt.ports()
    assert [port.name for port in listed] == expected
    # Names that are not COMn, and numbers the calls do not take, have no
    # options.
    for port in listed:
        if port.number is None or port.number > 256:
            assert port == Port(port.name, port.number, None, None, None, None)


@pytest.mark.parametrize(
    "port", ["COM7", "com7", 7, SimpleNamespace(device="COM7")], ids=["name", "lower", "number", "device"]
)
def test_get_takes_every_form_of_a_port(machine, port):
    assert portopt.get(port) == demo_port("COM7")


@pytest.mark.parametrize(
    "port, options",
    [
        ("COM4", dict(interface=2)),  # stored in the driver's numbering
        ("COM8", dict(interface=1)),  # tovelser family, per-port
        ("COM3", dict(fastflush=False)),
        ("COM4", dict(txmode=0)),
        ("COM3", dict(fifo=False)),
        ("COM4", dict(fifo=True)),
        ("COM7", dict(interface=0, fastflush=True, txmode=1, fifo=False)),
        ("COM5", dict()),
    ],
)
def test_set_changes_only_what_it_is_given(machine, port, options):
    expected = dataclasses.replace(demo_port(port), **{k: v for k, v in options.items()})
    assert portopt.set(port, **options) == expected
    assert portopt.ports() == sorted(without_port(port) + [expected], key=lambda p: p.number)


@pytest.mark.parametrize(
    "port, options, document, refused, code, applied",
    [
        ("COM9", dict(interface=1), None, "interface", 1016, []),  # never stored
        ("COM6", dict(fastflush=True), None, "fastflush", 1016, []),  # table byte 0xFF
        ("COM8", dict(interface=3, txmode=1, fifo=True), None, "txmode", None, ["interface"]),
        ("COM1", dict(interface=1), None, "interface", None, []),  # no adapter
        ("COM3", dict(fifo=False), with_refusing_driver, "fifo", None, []),
    ],
    ids=["not-stored", "table-0xFF", "family-without-option", "no-adapter", "driver-rejects"],
)
def test_refused_change_says_why_and_what_was_applied(machine, port, options, document, refused, code, applied):
    if document:
        machine.load(document(machine.demo()))
    expected = portopt.ports()
    with pytest.raises(portopt.PortOptionError) as caught:
        portopt.set(port, **options)
    error = caught.value
    assert isinstance(error, OSError)
    assert (error.port, error.option, error.applied) == (port, refused, applied)
    if code is not None:
        assert error.winerror == code
        assert "the stored setting could not be read or written" in str(error)
    else:
        assert error.winerror not in (87, 1016)
        assert "the adapter could not be reached or refused the change" in str(error)
    # Only the options applied before the refusal changed.
    changed = {option: options[option] for option in applied}
    expected = [dataclasses.replace(p, **changed) if p.name == port else p for p in expected]
    assert portopt.ports() == expected


@pytest.mark.parametrize(
    "port, options",
    [
        ("COM0", {}), (257, {}), (True, {}), ("COM", {}), ("COM07", {}), (7.0, {}), (None, {}),
        (SimpleNamespace(device="/dev/ttyUSB0"), {}),
        ("COM2", {}),  # not present
        ("COM3", dict(interface=1, txmode=2)),  # a later value out of range
        ("COM3", dict(interface=4)),
        ("COM3", dict(interface=True)),
        ("COM3", dict(fastflush=2)),
        ("COM3", dict(fifo="on")),
        ("COM3", dict(interface=1, speed=9600)),  # unknown option
    ],
)
def test_bad_arguments_raise_value_error_and_change_nothing(machine, port, options):
    before = machine.dump()
    if not options:
        with pytest.raises(ValueError):
            portopt.get(port)
        options = dict(interface=1)
    with pytest.raises(ValueError):
        portopt.set(port, **options)
    assert machine.dump() == before


@pytest.mark.parametrize(
    "library_path, message",
    [
        (None, "PORTOPT_LIBRARY_PATH is not set"),
        ("{empty}", "libportopt.so not found in PORTOPT_LIBRARY_PATH"),
        ("{portopt}", "libcomlist.so not found in PORTOPT_LIBRARY_PATH"),
    ],
)
def test_import_works_without_libraries_and_first_call_names_what_is_missing(tmp_path, library_path, message):
    env = dict(os.environ)
    env.pop("PORTOPT_LIBRARY_PATH")
    if library_path is not None:
        portopt_folder = os.environ["PORTOPT_LIBRARY_PATH"].split(os.pathsep)[0]
        env["PORTOPT_LIBRARY_PATH"] = library_path.format(empty=tmp_path, portopt=portopt_folder)
    script = "import portopt\ntry:\n    portopt.ports()\nexcept OSError as error:\n    print(error)\n"
    result = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    assert message in result.stdout
