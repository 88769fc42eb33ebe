"""The package over the host build on the simulated Windows: listing and
reading against portctl, changing with read-back, refusals, bad arguments
and what the package exports."""
import ctypes
import dataclasses
import json
import os
import shutil
import subprocess
import sys
from pathlib import Path
from types import SimpleNamespace

import pytest

import portopt
from portopt import Adapter, Port

KARBEND_USB = "USB\\VID_1A2B&PID_2044\\KB4P0001"
KB = Adapter(KARBEND_USB, "USB", 0x1A2B, 0x2044, "KARBEND")
PCI = Adapter("PCI\\VEN_1A2B&DEV_2021&SUBSYS_00011A2B&REV_01\\4&2A3B4C5D&0&00E4", "PCI", 0x1A2B, 0x2021, "KARBEND")
TV = Adapter("USB\\VID_1A2B&PID_1131\\TV2P0042", "USB", 0x1A2B, 0x1131, "tovelser")
KB1 = Adapter("USB\\VID_1A2B&PID_2031\\KB1P0010", "USB", 0x1A2B, 0x2031, "KARBEND")
ALL, NOT_ZERO = (0, 1, 2, 3), (1, 2, 3)

# The demo machine: a four-port KARBEND adapter in shared-table mode (COM3
# to COM6), a single-port PCI adapter (COM7), two tovelser-family ports in
# per-port mode (COM8, COM9), whose family has only the interface mode, a
# COM1 with no adapter, and a COM10 that the lister does not name, whose
# adapter refuses interface mode 0.  None: not stored, or not in the family.
DEMO = [
    # name, number, interface, fastflush, txmode, fifo, adapter, position, interface modes
    Port("COM1", 1, None, None, None, None, None, None, ALL),
    Port("COM3", 3, 0, 1, 0, True, KB, 1, ALL),
    Port("COM4", 4, 1, 0, 1, False, KB, 2, ALL),
    Port("COM5", 5, 2, 1, None, True, KB, 3, ALL),
    Port("COM6", 6, None, None, None, None, KB, 4, ALL),
    Port("COM7", 7, 3, 0, 0, True, PCI, None, ALL),
    Port("COM8", 8, 2, None, None, None, TV, 1, NOT_ZERO),
    Port("COM9", 9, None, None, None, None, TV, 2, NOT_ZERO),
    Port("COM10", 10, 1, 0, 1, True, KB1, None, NOT_ZERO),
]


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


def with_mode_zero_only(document):
    """The tovelser adapter becomes one of capability 0x10, which accepts
    interface mode 0 without sending or storing it."""
    return json.loads(json.dumps(document).replace("PID_1131", "PID_1110"))


def with_unresolved_adapter(document):
    """COM12 is "Port 2" of a parent without vendor and product."""
    document["devices"] += [
        {"id": "ROOT\\HUB\\0"},
        {"id": "XSER\\HUB\\0&01", "parent": "ROOT\\HUB\\0",
         "friendlyName": "Hub Serial Port 2 (COM12)", "interfaces": ["ports", "comport"]},
    ]
    key = "SYSTEM\\CurrentControlSet\\Enum\\XSER\\HUB\\0&01\\Device Parameters"
    document["registry"][key] = {"PortName": "COM12"}
    return document


def without_port(name):
    return [port for port in DEMO if port.name != name]


def as_portctl_json(port):
    """The port as `portctl list --json` writes it: the FIFO as its query
    answers it, which is "disabled" also when nothing is stored."""
    fifo = port.fifo
    addressable = port.number is not None and port.number <= 256
    if fifo is None and addressable and (port.adapter is None or port.adapter.family != "tovelser"):
        fifo = False
    adapter = dataclasses.asdict(port.adapter) if port.adapter else None
    modes = list(port.interface_modes) if port.interface_modes else None
    return {"port": port.name, "number": port.number, "adapter": adapter, "position": port.position,
            "interface": port.interface, "fastflush": port.fastflush, "txmode": port.txmode, "fifo": fifo,
            "interfaceModes": modes}


def test_listing_reads_every_port_in_natural_order(machine):
    assert portopt.ports() == DEMO


@pytest.mark.parametrize(
    "document, first_capacity, calls",
    [
        (None, None, {"PoGetAllPortInfo": 1}),
        # More ports than the first array holds: asked once more.
        (None, 2, {"PoGetAllPortInfo": 2}),
        # COM2 (twice) is named by devices of no ports class: no record, so
        # asked on its own, once; COM10 has its record.
        (lambda d: with_named_ports(d, ["COM10", "CNCA0", "COM2", "COM2", "COM257"]), None,
         {"PoGetAllPortInfo": 1, "PoGetPortInfo": 1}),
        (with_unresolved_adapter, None, {"PoGetAllPortInfo": 1}),
    ],
    ids=["demo", "asked-again", "names-without-record", "unresolved-adapter"],
)
def test_listing_agrees_with_portctl_in_one_pass(machine, portctl_listing, library_calls, monkeypatch,
                                                 document, first_capacity, calls):
    if document:
        machine.load(document(machine.demo()))
    if first_capacity:
        monkeypatch.setattr(portopt._library, "_FIRST_RECORD_CAPACITY", first_capacity)
    listed = portopt.ports()
    assert dict(library_calls) == calls
    assert [as_portctl_json(port) for port in listed] == portctl_listing(machine.dump())


MANY = [f"X{i}" for i in range(300)]


@pytest.mark.parametrize(
    "names, expected",
    [
        # COMn by n, each once; other names last in their own order,
        # decoded from UTF-16 whatever the platform's wchar_t.  A number
        # beyond 256 is still ordered by it.
        (
            ["COM10", "CNCA0", "COM2", "Port \u00dc\U0001F600", "COM2", "COM257", "CNCA0"],
            ["COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
             "COM10", "COM257", "CNCA0", "Port \u00dc\U0001F600"],
        ),
        # More names than the first array holds.
        (MANY, [port.name for port in DEMO] + MANY),
    ],
    ids=["mixed", "more-than-256"],
)
def test_listing_orders_and_decodes_names(machine, portctl_listing, names, expected):
    machine.load(with_named_ports(machine.demo(), names))
    listed = portopt.ports()
    assert [port.name for port in listed] == expected
    assert [port["port"] for port in portctl_listing(machine.dump())] == expected
    # Names that are not COMn, and numbers the calls do not take, have no
    # options.
    for port in listed:
        if port.number is None or port.number > 256:
            assert port == Port(port.name, port.number, None, None, None, None, None, None)


def without_com_ports(document):
    """No device keeps a COM-port interface."""
    for device in document["devices"]:
        device["interfaces"] = [i for i in device.get("interfaces", []) if i != "comport"]
    return document


@pytest.mark.parametrize(
    "document, first_capacity, failure, expected, capacities",
    [
        # More names than the first array holds: asked again with as many
        # buffers as the lister says it needs.
        (None, 2, None, [port.name for port in DEMO], [2, 8]),
        # The ports the library serves are listed all the same.
        (without_com_ports, None, None, [port.name for port in DEMO], [256]),
        # The lister cannot build its device list (ERROR_NOT_ENOUGH_MEMORY):
        # each of the three calls asks once.
        (None, None, 8, None, [256, 256, 256]),
    ],
    ids=["asked-again", "no-com-ports", "lister-fails"],
)
def test_listing_grows_to_what_it_needs_and_a_failure_is_no_empty_listing(
        machine, monkeypatch, document, first_capacity, failure, expected, capacities):
    if document:
        machine.load(document(machine.demo()))
    if first_capacity:
        monkeypatch.setattr(portopt._library, "_FIRST_CAPACITY", first_capacity)
    lib = portopt._library.libraries()
    enumerate_names, asked = lib._enumerate, []

    def listing(entries, capacity, count):
        asked.append(capacity)
        if failure is None:
            return enumerate_names(entries, capacity, count)
        lib._set_last_error(failure)
        return 0

    monkeypatch.setattr(lib, "_enumerate", listing)
    if failure is None:
        assert [port.name for port in portopt.ports()] == expected
    else:
        for call in (portopt.ports, lambda: portopt.get("COM3"), lambda: portopt.set("COM3", interface=1)):
            with pytest.raises(portopt.ListingError) as caught:
                call()
            assert isinstance(caught.value, OSError)
            assert caught.value.winerror == failure
            assert str(caught.value) == (
                f"the COM ports cannot be listed: the lister could not build its device list (error {failure})")
    assert asked == capacities


@pytest.mark.parametrize(
    "port", ["COM7", "com7", 7, SimpleNamespace(device="COM7")], ids=["name", "lower", "number", "device"]
)
def test_get_takes_every_form_of_a_port(machine, library_calls, port):
    assert portopt.get(port) == demo_port("COM7")
    assert dict(library_calls) == {"PoGetPortInfo": 1}


def test_port_the_lister_does_not_name_is_present(machine):
    assert portopt.get("COM10") == demo_port("COM10")


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


STORE = "the stored setting could not be read or written (error 1016)"
ADAPTER = "the adapter could not be reached or refused the change, no code given"


@pytest.mark.parametrize(
    "port, options, document, refused, code, why, applied",
    [
        ("COM9", dict(interface=1), None, "interface", 1016, STORE, []),  # never stored
        ("COM6", dict(fastflush=True), None, "fastflush", 1016, STORE, []),  # table byte 0xFF
        ("COM8", dict(interface=3, txmode=1, fifo=True), None, "txmode", 0, ADAPTER, ["interface"]),
        ("COM1", dict(interface=1), None, "interface", 0, ADAPTER, []),  # no adapter
        # The driver's own code.
        ("COM3", dict(fifo=False), with_refusing_driver, "fifo", 31,
         "the adapter refused the change (error 31)", []),
        # The call reports success, the port keeps its mode 2.
        ("COM8", dict(interface=0), with_mode_zero_only, "interface", 0,
         "the change was accepted but reads back 2", []),
    ],
    ids=["not-stored", "table-0xFF", "family-without-option", "no-adapter", "driver-rejects",
         "accepted-not-kept"],
)
def test_change_not_taken_says_why_and_what_was_applied(machine, port, options, document, refused, code, why,
                                                        applied):
    if document:
        machine.load(document(machine.demo()))
    expected = portopt.ports()
    with pytest.raises(portopt.PortOptionError) as caught:
        portopt.set(port, **options)
    error = caught.value
    assert isinstance(error, OSError)
    assert (error.port, error.option, error.applied) == (port, refused, applied)
    assert why in str(error)
    assert "error 0" not in str(error)
    assert error.accepted == why.startswith("the change was accepted")
    assert error.winerror == code
    # Only the options applied before it changed.
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
    "port, options, document, message",
    [
        # Capability 0x30, the earlier option not applied either.
        ("COM10", dict(interface=0, txmode=0), None,
         "COM10 interface not changed: the adapter USB 1A2B:2031 (USB\\VID_1A2B&PID_2031\\KB1P0010) "
         "takes interface modes 1, 2 and 3 only, not 0"),
        # Capability 0x10.
        ("COM8", dict(interface=1), with_mode_zero_only, "takes interface mode 0 only, not 1"),
    ],
    ids=["not-zero", "zero-only"],
)
def test_mode_the_adapter_lacks_is_refused_before_any_call(machine, monkeypatch, port, options, document,
                                                           message):
    if document:
        machine.load(document(machine.demo()))
    before = machine.dump()
    lib = portopt._library.libraries()
    monkeypatch.setattr(lib, "change", lambda *arguments: pytest.fail("a change call was made"))
    with pytest.raises(ValueError, match=message.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")):
        portopt.set(port, **options)
    assert machine.dump() == before


def test_mode_the_adapter_takes_is_set(machine):
    assert portopt.set("COM10", interface=2) == dataclasses.replace(demo_port("COM10"), interface=2)


def test_failed_records_are_an_error_not_an_empty_listing(machine, monkeypatch):
    lib = portopt._library.libraries()

    def failing(records, capacity, count):
        lib._set_last_error(8)
        return 0

    monkeypatch.setattr(lib, "_get_all_port_info", failing)
    with pytest.raises(portopt.ListingError) as caught:
        portopt.ports()
    assert caught.value.winerror == 8
    assert str(caught.value) == (
        "the COM ports cannot be listed: the library could not read the device tree (error 8)")


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


@pytest.mark.parametrize(
    "header, printed",
    [
        ("/* a later library */\n#define PO_MIN_PORT 1\n# define  PO_MAX_PORT\t300 /* more */\n", "1 300 300"),
        ("#define PO_MIN_PORT 1\n", "ImportError: {package}/portopt.h does not define PO_MAX_PORT"),
        (None, "ImportError: portopt.h, which gives the COM numbers the library takes, is in none of"),
    ],
    ids=["shipped-header", "header-without-range", "no-header"],
)
def test_com_numbers_come_from_the_public_header(tmp_path, header, printed):
    site = tmp_path / "site"
    package = site / "portopt"
    shutil.copytree(Path(portopt.__file__).parent, package,
                    ignore=shutil.ignore_patterns("__pycache__", "portopt.h"))
    if header is not None:
        (package / "portopt.h").write_text(header)
    script = ("try:\n    from portopt import _names\nexcept ImportError as error:\n"
              "    print('ImportError:', error)\nelse:\n"
              "    print(_names.FIRST_NUMBER, _names.LAST_NUMBER, _names.port_number('COM300'))\n")
    env = dict(os.environ, PYTHONPATH=str(site))
    run = subprocess.run([sys.executable, "-c", script], env=env, cwd=tmp_path, capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    assert run.stdout.startswith(printed.format(package=package.resolve())), run.stdout


@pytest.mark.parametrize("shrink, result, code", [(0, 1, 0), (4, 1, 0), (8, 0, 87)],
                         ids=["as-declared", "first-version", "smaller"])
def test_record_has_the_size_the_library_declares(machine, shrink, result, code):
    from portopt._records import RECORD_SIZE, PortInfo

    lib = portopt._library.libraries()
    record = PortInfo()
    record.size = RECORD_SIZE - shrink
    lib._clear_last_error()
    assert (lib._get_port_info(3, ctypes.byref(record)), lib._last_error()) == (result, code)


def test_star_import_leaves_the_builtin_set():
    namespace = {}
    exec("from portopt import *", namespace)
    assert "set" not in namespace
    names = ("Port", "Adapter", "PortOptionError", "ListingError", "get", "ports")
    assert {name: namespace[name] for name in names} == {
        "Port": Port, "Adapter": Adapter, "PortOptionError": portopt.PortOptionError,
        "ListingError": portopt.ListingError, "get": portopt.get, "ports": portopt.ports}
    assert callable(portopt.set)


def test_set_number_renumbers_the_port_and_a_taken_number_changes_nothing(machine):
    before = portopt.get("COM7")
    renumbered = portopt.set("COM7", txmode=1, number=12)
    assert renumbered == dataclasses.replace(before, name="COM12", number=12, txmode=1)
    assert [p.name for p in portopt.ports()][-1] == "COM12"
    with pytest.raises(ValueError):
        portopt.get("COM7")
    unchanged = machine.dump()
    with pytest.raises(portopt.PortOptionError) as caught:
        portopt.set("COM12", number=4)
    assert (caught.value.winerror, caught.value.option) == (183, "number")
    assert machine.dump() == unchanged
    with pytest.raises(ValueError):
        portopt.set("COM12", number=257)
