"""The built Windows DLLs and portctl.exe, read from disk with pefile: the
machine they are built for, exactly the exports their callers link
against, imports only from DLLs every Windows installation has (and for the
tool and the profile engine, the DLLs they call), and a version resource carrying the project version.

    check_binaries.py DIRECTORY MACHINE VERSION [--package]

DIRECTORY is a Windows build directory, MACHINE i386 or amd64; with
--package the binaries are those of the build's package as its tests
unpack it.  Exit 0 when every check holds, 1 when one fails, 77 (skipped)
when the build or package is not there.
"""
import os
import sys

import pefile

SKIPPED = 77

# The names each binary exports, exactly.
EXPORTS = {
    "portopt.dll": [
        "PoGetInterface", "PoGetFastFlush", "PoGetTxMode", "PoGetUARTFIFO",
        "PoSetInterface", "PoSetFastFlush", "PoSetTxMode", "PoSetUARTFIFO",
        "PoGetPortInfo", "PoGetAllPortInfo",
        "PoSetComNumber", "PoSetComNumberEx", "PoGetVersion",
    ],
    "comlist.dll": ["EnumCOMPorts", "EnumCOMPortsEx"],
    "portprofile.dll": [
        "PoProfileExport", "PoProfileCheck", "PoProfilePlan", "PoProfileImport", "PoProfileTest",
    ],
    "portctl.exe": [],
}
# Where each binary is, in the build directory and in the package.
PLACES = {
    "portopt.dll": ("source/dll/portopt.dll", "bin/portopt.dll"),
    "comlist.dll": ("comlist/comlist.dll", "bin/comlist.dll"),
    "portprofile.dll": ("profile/portprofile.dll", "bin/portprofile.dll"),
    "portctl.exe": ("tools/portctl/portctl.exe", "bin/portctl.exe"),
}
UNPACKED_PACKAGE = "tests/package/work/package"

# Cportopt& Cportopt::operator=(const Cportopt&): portopt.dll exports it as
# GNU C++ names it and, at the same address, as MSVC names it.
GNU_COPY_ASSIGNMENT = "_ZN8CportoptaSERKS_"
MACHINES = {
    "i386": (pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"], "??4Cportopt@@QAEAAV0@ABV0@@Z"),
    "amd64": (pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"], "??4Cportopt@@QEAAAEAV0@AEBV0@@Z"),
}

# msports.dll (the COM port database) is part of every Windows too.
SYSTEM_DLLS = {"kernel32.dll", "advapi32.dll", "setupapi.dll", "msvcrt.dll", "ucrtbase.dll",
               "msports.dll"}
# Besides system DLLs, the tool and the profile engine need only the DLLs
# beside them.
ALSO_IMPORTED = {"portctl.exe": {"portopt.dll", "comlist.dll", "portprofile.dll"},
                 "portprofile.dll": {"portopt.dll", "comlist.dll"}}
# The tool and the engine read the device tree only through portopt.dll's
# information calls: none of the library's code, nor its device-setup
# calls, is in them.
NOT_IMPORTED = {"portctl.exe": {"setupapi.dll"}, "portprofile.dll": {"setupapi.dll"}}
IMPORTED_CALLS = {"portctl.exe": {"portopt.dll": {"PoGetAllPortInfo", "PoGetPortInfo"}}}


def is_system_dll(name):
    return name in SYSTEM_DLLS or name.startswith("api-ms-win-crt-")


def section_name(image, section):
    """A section's name; a name longer than eight characters (\"/4\") is
    an offset into the COFF string table after the symbols."""
    name = section.Name.rstrip(b"\0").decode(errors="replace")
    if not (name.startswith("/") and name[1:].isdigit()):
        return name
    header = image.FILE_HEADER
    start = header.PointerToSymbolTable + header.NumberOfSymbols * 18 + int(name[1:])
    return image.__data__[start:image.__data__.find(b"\0", start)].decode(errors="replace")


def stripped_faults(image):
    """A shipped binary's: no debug sections, and a debug link naming
    NAME.debug of the symbols ZIP (scripts/release-tree.sh)."""
    names = [section_name(image, section) for section in image.sections]
    debug = [name for name in names if name.startswith(".debug")]
    faults = [f"carries debug information ({', '.join(debug)})"] if debug else []
    if ".gnu_debuglink" not in names:
        faults.append("has no debug link to its symbols")
    return faults


def exports_of(image):
    """Exported names and their addresses; ValueError for a name given twice."""
    symbols = getattr(image, "DIRECTORY_ENTRY_EXPORT", None)
    named = [(s.name.decode(), s.address) for s in (symbols.symbols if symbols else []) if s.name]
    addresses = dict(named)
    if len(addresses) != len(named):
        raise ValueError("an export appears twice")
    return addresses


def version_of(image):
    """The fixed file and product versions as (major, minor, patch, build),
    and the string table's values."""
    fixed = image.VS_FIXEDFILEINFO[0]

    def words(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    strings = {}
    for info in getattr(image, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    return (words(fixed.FileVersionMS, fixed.FileVersionLS),
            words(fixed.ProductVersionMS, fixed.ProductVersionLS), strings)


def check(path, name, machine, version):
    """The faults of one binary, as lines of text."""
    machine_code, msvc_copy_assignment = MACHINES[machine]
    faults = []
    image = pefile.PE(path)
    if image.FILE_HEADER.Machine != machine_code:
        faults.append(f"machine 0x{image.FILE_HEADER.Machine:X}, expected 0x{machine_code:X}")

    exports = exports_of(image)
    expected = set(EXPORTS[name])
    if name == "portopt.dll":
        expected |= {GNU_COPY_ASSIGNMENT, msvc_copy_assignment}
        gnu, msvc = exports.get(GNU_COPY_ASSIGNMENT), exports.get(msvc_copy_assignment)
        if gnu is not None and msvc is not None and gnu != msvc:
            faults.append(f"{msvc_copy_assignment} at 0x{msvc:X}, {GNU_COPY_ASSIGNMENT} at 0x{gnu:X}")
    if set(exports) != expected:
        missing, extra = sorted(expected - set(exports)), sorted(set(exports) - expected)
        faults.append(f"exports: missing {missing or 'none'}, unexpected {extra or 'none'}")

    imported = {}
    for entry in getattr(image, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode().lower()
        allowed = is_system_dll(dll) or dll in ALSO_IMPORTED.get(name, set())
        if not allowed or dll in NOT_IMPORTED.get(name, set()):
            faults.append(f"imports from {dll}")
        imported.setdefault(dll, set()).update(i.name.decode() for i in entry.imports if i.name)
    for dll, calls in IMPORTED_CALLS.get(name, {}).items():
        missing = calls - imported.get(dll, set())
        if missing:
            faults.append(f"does not import {sorted(missing)} from {dll}")

    if not hasattr(image, "VS_FIXEDFILEINFO"):
        return faults + ["no version resource"]
    file_version, product_version, strings = version_of(image)
    words = tuple(int(part) for part in version.split(".")) + (0,)
    for what, got in (("file version", file_version), ("product version", product_version)):
        if got != words:
            faults.append(f"{what} {got}, expected {words}")
    stem = name.rsplit(".", 1)[0]
    wanted = {"FileVersion": version, "ProductVersion": version, "ProductName": "portopt",
              "OriginalFilename": name, "InternalName": stem}
    for key, value in wanted.items():
        if strings.get(key) != value:
            faults.append(f"version string {key} is {strings.get(key)!r}, expected {value!r}")
    if not strings.get("FileDescription"):
        faults.append("version string FileDescription is empty")
    return faults


def main(argv):
    directory, machine, version = argv[1:4]
    packaged = "--package" in argv[4:]
    root = os.path.join(directory, UNPACKED_PACKAGE) if packaged else directory
    paths = {name: os.path.join(root, places[1 if packaged else 0]) for name, places in PLACES.items()}
    present = [name for name, path in paths.items() if os.path.isfile(path)]
    if not present:
        what = "package (run that build's package tests first)" if packaged else "build (build that preset first)"
        print(f"SKIPPED: no binaries in {root}: no such {what}")
        return SKIPPED
    failed = False
    for name, path in paths.items():
        faults = check(path, name, machine, version) if name in present else ["missing"]
        print(f"{'ok' if not faults else 'FAILED'}: {path}")
        for fault in faults:
            print(f"  {fault}")
        failed = failed or bool(faults)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
