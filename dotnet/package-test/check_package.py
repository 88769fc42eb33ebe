"""The NuGet package's contents: exactly the files a consumer needs, the
metadata NuGet shows, and the native DLLs of each bitness, checked with the
PE checks of tests/pe (machine, exports, system-only imports, version
resources) plus the optional header's format: PE32 under win-x86, PE32+
under win-x64, and no debug information, only a link to it; and the
managed assemblies free of what only the host build's tests need.

    check_package.py PACKAGE VERSION [WIN32_BIN WIN64_BIN]

With the release tree's bin/ folders (scripts/release-tree.sh), each DLL
must also be the one shipped there.
Exit 0 when every check holds, 1 when one fails.
"""
import os
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
import zipfile

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "pe"))
import check_binaries  # noqa: E402

PE32, PE32_PLUS = 0x10B, 0x20B
# Folder in the package: (machine as check_binaries names it, format, where the build puts each DLL).
NATIVE = {
    "runtimes/win-x86/native": ("i386", PE32),
    "runtimes/win-x64/native": ("amd64", PE32_PLUS),
}
BUILT = {"portopt.dll": "portopt.dll", "comlist.dll": "comlist.dll", "portprofile.dll": "portprofile.dll"}
CONTENTS = {
    "Portopt.nuspec",
    "README.md",
    "LICENSE.txt",
    "build/Portopt.targets",
} | {f"lib/{framework}/Portopt.Net.{kind}" for framework in ("netstandard2.0", "net8.0") for kind in ("dll", "xml")} \
  | {f"{folder}/{dll}" for folder in NATIVE for dll in BUILT}
# What an assembly built for the simulated Windows of the host build holds,
# and a shipped one must not: the simulator's last-error and token calls
# imported through portopt, its library path, and NativeLibrary looked up
# by name.  (Entry-point names in metadata end in a zero byte and may be the
# tail of a longer name; the others are UTF-16 string literals.)
SIMULATOR_MARKS = {
    "the simulator's GetLastError": b"GetLastError\0",
    "the simulator's OpenProcessToken": b"OpenProcessToken\0",
    "PORTOPT_LIBRARY_PATH": "PORTOPT_LIBRARY_PATH".encode("utf-16-le"),
    "NativeLibrary looked up by name": "System.Runtime.InteropServices.NativeLibrary".encode("utf-16-le"),
}
# What every package holds besides its contents.
PACKAGING = ("[Content_Types].xml", "_rels/", "package/services/metadata/")


def metadata_faults(nuspec, version):
    root = ElementTree.fromstring(nuspec)
    namespace = root.tag[: root.tag.index("}") + 1]
    metadata = root.find(namespace + "metadata")
    faults = []

    def expect(tag, wanted, attribute=None, attribute_value=None):
        element = metadata.find(namespace + tag)
        got = None if element is None else element.text
        if got != wanted or (attribute and element.get(attribute) != attribute_value):
            faults.append(f"nuspec {tag} is {got!r}, expected {wanted!r}")

    expect("id", "Portopt")
    expect("version", version)
    expect("readme", "README.md")
    expect("license", "LICENSE.txt", "type", "file")
    for tag in ("authors", "description"):
        element = metadata.find(namespace + tag)
        if element is None or not (element.text or "").strip():
            faults.append(f"nuspec {tag} is empty")
    return faults


def native_faults(path, name, machine, pe_format, built, version):
    faults = check_binaries.check(path, name, machine, version)
    image = pefile.PE(path, fast_load=True)
    magic = image.OPTIONAL_HEADER.Magic
    if magic != pe_format:
        faults.append(f"optional header 0x{magic:X}, expected 0x{pe_format:X}")
    faults += check_binaries.stripped_faults(image)
    if built and os.path.isfile(built):
        with open(path, "rb") as packed, open(built, "rb") as original:
            if packed.read() != original.read():
                faults.append(f"differs from {built}, the release tree's: rerun scripts/nupkg.sh")
    return faults


def simulator_faults(path):
    with open(path, "rb") as assembly:
        image = assembly.read()
    return [f"holds {what}, which only the host build's tests need"
            for what, mark in SIMULATOR_MARKS.items() if mark in image]


def report(faults, subject):
    """Prints each fault, or that SUBJECT is fine; the exit status."""
    for fault in faults:
        print(f"FAILED: {fault}")
    if not faults:
        print(f"ok: {subject}")
    return 1 if faults else 0


def main(argv):
    package, version = argv[1:3]
    builds = argv[3:5] if len(argv) >= 5 else [None, None]
    faults = []
    with zipfile.ZipFile(package) as archive, tempfile.TemporaryDirectory() as unpacked:
        names = {name for name in archive.namelist() if not name.startswith(PACKAGING)}
        if names != CONTENTS:
            faults.append(f"contents: missing {sorted(CONTENTS - names) or 'none'}, "
                          f"unexpected {sorted(names - CONTENTS) or 'none'}")
        faults += metadata_faults(archive.read("Portopt.nuspec"), version)
        archive.extractall(unpacked)
        for name in sorted(names):
            if name.startswith("lib/") and name.endswith(".dll"):
                faults += [f"{name}: {fault}" for fault in simulator_faults(os.path.join(unpacked, name))]
        for (folder, (machine, pe_format)), build in zip(NATIVE.items(), builds):
            for dll, place in BUILT.items():
                path = os.path.join(unpacked, folder, dll)
                if os.path.isfile(path):
                    built = os.path.join(build, place) if build else None
                    faults += [f"{folder}/{dll}: {fault}"
                               for fault in native_faults(path, dll, machine, pe_format, built, version)]
    return report(faults, package)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
