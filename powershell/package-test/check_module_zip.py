"""The PowerShell module's ZIP of scripts/psmodule.sh, as a user unpacks it:
exactly the files the module needs, in one folder Portopt/, the manifest
with the project's version, and the native DLLs where the .NET library
looks for them, x86/ and x64/ beside Portopt.Net.dll, each checked as the NuGet
package's are (machine, format, exports, system-only imports, version
resources, no debug information) and each the one shipped in the release
tree (scripts/release-tree.sh).

    check_module_zip.py

Takes the package from $PACKAGE_DIR (build/package) and the release tree
from $RELEASE_DIR (build/release).
Exit 0 when every check holds, 1 when one fails, 77 (skipped) when there
is no ZIP.
"""
import os
import re
import sys
import tempfile
import zipfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "dotnet", "package-test"))
import check_package  # noqa: E402

SKIPPED = 77
# Folder in the module: (machine as check_binaries names it, format, the build it comes from).
NATIVE = {
    "x86": ("i386", check_package.PE32, "win32"),
    "x64": ("amd64", check_package.PE32_PLUS, "win64"),
}
CONTENTS = {
    "Portopt/Portopt.psd1",
    "Portopt/Portopt.PowerShell.dll",
    "Portopt/Portopt.Net.dll",
    "Portopt/Portopt.Format.ps1xml",
    "Portopt/en-US/Portopt.PowerShell.dll-Help.xml",
} | {f"Portopt/{folder}/{dll}" for folder in NATIVE for dll in check_package.BUILT} \
  | {f"Portopt/{name}.dll" for name in (
    # System.Text.Json and what it needs, for Windows PowerShell.
    "System.Text.Json", "System.Text.Encodings.Web", "System.Memory", "System.Buffers",
    "System.Numerics.Vectors", "System.Runtime.CompilerServices.Unsafe", "System.Threading.Tasks.Extensions",
    "Microsoft.Bcl.AsyncInterfaces")}


def main():
    with open(os.path.join(ROOT, "CMakeLists.txt")) as cmake:
        version = re.search(r"project\(portopt VERSION ([0-9.]+)", cmake.read()).group(1)
    package_dir = os.environ.get("PACKAGE_DIR", os.path.join(ROOT, "build", "package"))
    path = os.path.join(package_dir, f"portopt-{version}-powershell.zip")
    if not os.path.isfile(path):
        print(f"SKIPPED: no portopt-{version}-powershell.zip in {package_dir}: scripts/psmodule.sh builds it")
        return SKIPPED
    faults = []
    with zipfile.ZipFile(path) as archive, tempfile.TemporaryDirectory() as unpacked:
        names = {name for name in archive.namelist() if not name.endswith("/")}
        if names != CONTENTS:
            faults.append(f"contents: missing {sorted(CONTENTS - names) or 'none'}, "
                          f"unexpected {sorted(names - CONTENTS) or 'none'}")
        archive.extractall(unpacked)
        manifest = os.path.join(unpacked, "Portopt", "Portopt.psd1")
        if os.path.isfile(manifest):
            with open(manifest) as text:
                if f"ModuleVersion = '{version}'" not in text.read():
                    faults.append(f"Portopt.psd1 does not give ModuleVersion {version}")
        library = os.path.join(unpacked, "Portopt", "Portopt.Net.dll")
        if os.path.isfile(library):
            faults += [f"Portopt.Net.dll: {fault}" for fault in check_package.simulator_faults(library)]
        release = os.environ.get("RELEASE_DIR", os.path.join(ROOT, "build", "release"))
        for folder, (machine, pe_format, arch) in NATIVE.items():
            build = os.path.join(release, f"portopt-{version}-{arch}", "bin")
            for dll, place in check_package.BUILT.items():
                dll_path = os.path.join(unpacked, "Portopt", folder, dll)
                if os.path.isfile(dll_path):
                    faults += [f"{folder}/{dll}: {fault.replace('scripts/nupkg.sh', 'scripts/psmodule.sh')}"
                               for fault in check_package.native_faults(
                                   dll_path, dll, machine, pe_format, os.path.join(build, place), version)]
    return check_package.report(faults, path)


if __name__ == "__main__":
    sys.exit(main())
