"""The MSIs of scripts/msi.sh, read with msiinfo: their tables, and for each
bitness the files the File table installs against the packages they come
from: under Program Files\\portopt exactly the files of the release tree of
the same bitness (scripts/release-tree.sh; the release ZIP holds the same),
in its layout, include\\ and lib\\ in the feature SDK (off by
default) and the rest in Main; under WindowsPowerShell\\Modules\\Portopt
exactly the module ZIP's files.  The product version, the fixed upgrade
code and its major-upgrade rows, the publisher, and the row that puts
portctl's folder on the system PATH.

    check_msi.py

Takes the packages from $PACKAGE_DIR (build/package) and the release tree
from $RELEASE_DIR (build/release).  Exit 0 when every
check holds, 1 when one fails, 77 (skipped) when msiinfo or the MSIs are
missing.
"""
import os
import re
import shutil
import subprocess
import sys
import zipfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "installer"))
sys.path.insert(0, os.path.join(ROOT, "dotnet", "package-test"))
import check_package  # noqa: E402
import make_wxs  # noqa: E402

SKIPPED = 77
ARCHES = {"x86": ("win32", "ProgramFilesFolder", "Intel;1033"), "x64": ("win64", "ProgramFiles64Folder", "x64;1033")}
TABLES = {"File", "Component", "Directory", "Feature", "FeatureComponents", "CreateFolder", "Media", "Property",
          "Upgrade", "Environment", "InstallExecuteSequence"}


def table(msi, name):
    """The rows of one table as dictionaries by column name."""
    text = subprocess.run(["msiinfo", "export", msi, name], check=True, capture_output=True, text=True).stdout
    lines = text.splitlines()
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:]]


def long_name(name):
    return name.split("|")[-1]


def zip_files(path, top):
    with zipfile.ZipFile(path) as archive:
        return {name[len(top) + 1:] for name in archive.namelist() if not name.endswith("/")}


def tree_files(top):
    return {os.path.relpath(os.path.join(folder, name), top).replace(os.sep, "/")
            for folder, _, names in os.walk(top) for name in names}


def faults_of(msi, arch, version, package_dir):
    zip_arch, program_files, template = ARCHES[arch]
    faults = []
    tables = set(subprocess.run(["msiinfo", "tables", msi], check=True, capture_output=True, text=True).stdout.split())
    if TABLES - tables:
        faults.append(f"lacks the tables {sorted(TABLES - tables)}")
        return faults
    suminfo = subprocess.run(["msiinfo", "suminfo", msi], check=True, capture_output=True, text=True).stdout
    if f"Template: {template}" not in suminfo:
        faults.append(f"its platform is not {template}")

    properties = {row["Property"]: row["Value"] for row in table(msi, "Property")}
    expected = {"ProductVersion": version, "UpgradeCode": "{" + make_wxs.UPGRADE_CODES[arch] + "}",
                "Manufacturer": make_wxs.MANUFACTURER}
    faults += [f"{key} is {properties.get(key)!r}, expected {value!r}"
               for key, value in expected.items() if properties.get(key) != value]
    upgrades = [row for row in table(msi, "Upgrade") if row["UpgradeCode"] == expected["UpgradeCode"]]
    if not any(row["VersionMax"] == version and row["ActionProperty"] == "WIX_UPGRADE_DETECTED" for row in upgrades):
        faults.append("no major upgrade of older versions")

    # Every file's place below Program Files, and its feature.
    directories = {row["Directory"]: row for row in table(msi, "Directory")}

    def place(directory):
        parts = []
        while directory != program_files:
            row = directories[directory]
            parts.append(long_name(row["DefaultDir"]))
            directory = row["Directory_Parent"]
        return "/".join(reversed(parts))

    components = {row["Component"]: row for row in table(msi, "Component")}
    features = {row["Component_"]: row["Feature_"] for row in table(msi, "FeatureComponents")}
    installed = {}
    for row in table(msi, "File"):
        folder = place(components[row["Component_"]]["Directory_"])
        installed[f"{folder}/{long_name(row['FileName'])}"] = features.get(row["Component_"])

    release_dir = os.environ.get("RELEASE_DIR", os.path.join(ROOT, "build", "release"))
    tree = os.path.join(release_dir, f"portopt-{version}-{zip_arch}")
    module = f"portopt-{version}-powershell.zip"
    for prefix, package, shipped in (
            ("portopt/", tree, tree_files(tree)),
            (make_wxs.MODULE_FOLDER + "/", module, zip_files(os.path.join(package_dir, module), "Portopt"))):
        mine = {path[len(prefix):] for path in installed if path.startswith(prefix)}
        if mine != shipped:
            faults.append(f"{prefix}: missing {sorted(shipped - mine) or 'none'}, "
                          f"unexpected {sorted(mine - shipped) or 'none'} against {package}")
    outside = [path for path in installed if not path.startswith(("portopt/", make_wxs.MODULE_FOLDER + "/"))]
    if outside:
        faults.append(f"files outside the install and module folders: {outside}")
    for path, feature in installed.items():
        sdk = path.startswith(("portopt/include/", "portopt/lib/"))
        if feature != ("SDK" if sdk else "Main"):
            faults.append(f"{path} is in the feature {feature}")
    levels = {row["Feature"]: int(row["Level"]) for row in table(msi, "Feature")}
    if levels.get("Main") != 1 or levels.get("SDK", 0) <= 1:
        faults.append(f"feature levels {levels}: Main must be installed, SDK only when asked for")

    environment = table(msi, "Environment")
    portctl = next((row["Component_"] for row in table(msi, "File") if long_name(row["FileName"]) == "portctl.exe"), None)
    if not any(re.fullmatch(r"=-\*Path", row["Name"]) and row["Value"] == f"[~];[{components[portctl]['Directory_']}]"
               and row["Component_"] == portctl for row in environment):
        faults.append(f"no row appending portctl's folder to the system PATH: {environment}")
    return faults


def main():
    if not shutil.which("msiinfo"):
        print("SKIPPED: msiinfo (msitools) is not installed")
        return SKIPPED
    with open(os.path.join(ROOT, "CMakeLists.txt")) as cmake:
        version = re.search(r"project\(portopt VERSION ([0-9.]+)", cmake.read()).group(1)
    package_dir = os.environ.get("PACKAGE_DIR", os.path.join(ROOT, "build", "package"))
    faults = []
    for arch in ARCHES:
        msi = os.path.join(package_dir, f"portopt-{version}-{arch}.msi")
        if not os.path.isfile(msi):
            print(f"SKIPPED: no portopt-{version}-{arch}.msi in {package_dir}: scripts/msi.sh builds it")
            return SKIPPED
        faults += [f"{os.path.basename(msi)}: {fault}" for fault in faults_of(msi, arch, version, package_dir)]
    return check_package.report(faults, f"the MSIs in {package_dir}")


if __name__ == "__main__":
    sys.exit(main())
