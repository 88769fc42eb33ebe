"""The Windows wheels that scripts/wheels.sh builds: their names and tags,
the project's version, the package's files with the library's public
header, and the DLLs of the right bitness, stripped of their debug
information and unchanged from the release tree they came from
(scripts/release-tree.sh)."""
import base64
import csv
import hashlib
import io
import os
import re
import struct
import sys
import zipfile
from pathlib import Path

import pefile
import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "pe"))
import check_binaries  # noqa: E402

PACKAGE = ROOT / "python" / "portopt"
WHEEL_DIR = Path(os.environ.get("WHEEL_DIR", ROOT / "build" / "wheels"))
RELEASE_DIR = Path(os.environ.get("RELEASE_DIR", ROOT / "build" / "release"))
DLLS = ("portopt.dll", "comlist.dll", "portprofile.dll")


def project_version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(\s*portopt\s+VERSION\s+([0-9.]+)", text).group(1)


def pe_machine(data: bytes) -> int:
    (header,) = struct.unpack_from("<I", data, 0x3C)
    assert data[header : header + 4] == b"PE\0\0"
    return struct.unpack_from("<H", data, header + 4)[0]


def record_digest(data: bytes) -> str:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=")
    return "sha256=" + digest.decode()


@pytest.mark.parametrize(
    "tag, folder, machine, arch",
    [("win32", "x86", 0x014C, "win32"), ("win_amd64", "x64", 0x8664, "win64")],
)
def test_wheel_carries_package_and_its_dlls(tag, folder, machine, arch):
    if not any(WHEEL_DIR.glob("portopt-*.whl")):
        pytest.skip(f"no wheels in {WHEEL_DIR}: scripts/wheels.sh builds them")
    version = project_version()
    path = WHEEL_DIR / f"portopt-{version}-py3-none-{tag}.whl"
    assert path.is_file(), f"{path.name} missing from {WHEEL_DIR}"
    info = f"portopt-{version}.dist-info"

    with zipfile.ZipFile(path) as wheel:
        names = set(wheel.namelist())
        wheel_file = wheel.read(f"{info}/WHEEL").decode()
        metadata = wheel.read(f"{info}/METADATA").decode()
        record = list(csv.reader(io.StringIO(wheel.read(f"{info}/RECORD").decode())))
        contents = {name: wheel.read(name) for name in names}

    assert re.search(rf"^Tag: py3-none-{tag}$", wheel_file, re.M)
    assert re.search(rf"^Version: {re.escape(version)}$", metadata, re.M)

    sources = {f"portopt/{p.name}" for p in PACKAGE.iterdir() if p.suffix == ".py" or p.name == "py.typed"}
    dlls = {f"portopt/{folder}/{dll}" for dll in DLLS}
    package = {name for name in names if not name.startswith(info)}
    assert package == sources | dlls | {"portopt/portopt.h"}
    # The header the package reads the COM range from, as the libraries
    # were built with it.
    assert contents["portopt/portopt.h"] == (ROOT / "include" / "portopt.h").read_bytes()

    for dll in DLLS:
        data = contents[f"portopt/{folder}/{dll}"]
        assert pe_machine(data) == machine, dll
        assert check_binaries.stripped_faults(pefile.PE(data=data, fast_load=True)) == [], dll
        shipped = RELEASE_DIR / f"portopt-{version}-{arch}" / "bin" / dll
        if shipped.is_file():
            assert data == shipped.read_bytes(), f"{dll} differs from {shipped}: rerun scripts/wheels.sh"

    # Every file is recorded with its digest, as installers check.
    recorded = {row[0]: row[1] for row in record}
    assert set(recorded) == names
    for name in names - {f"{info}/RECORD"}:
        assert recorded[name] == record_digest(contents[name]), name
