"""Writes the WiX source of one MSI from the release tree of its bitness
(scripts/release-tree.sh) and the PowerShell module's folder
(scripts/psmodule.sh), for wixl:

    make_wxs.py x86|x64 VERSION TREE MODULE OUT_DIR

It writes OUT_DIR/portopt.wxs, and the tables wixl cannot make as IDT
files for msibuild: Environment.idt, whose row appends portctl's folder to
the system PATH ("=-*": set on install, that part taken away on
uninstall; "[~];": after what is there).

The MSI installs the tree as the ZIP lays it out into Program Files\\portopt
(Program Files (x86) for x86): bin\\ (portctl.exe and the DLLs) and the
README in the feature Main, include\\ and lib\\ (headers, import libraries,
CMake package) in the feature SDK, which is off by default; and the module
into Program Files\\WindowsPowerShell\\Modules\\Portopt, in Main.  Every
file is a component of its own whose GUID wixl derives from its place, so
an upgrade keeps what did not move.  The product code follows from the
version and bitness; the upgrade code is fixed per bitness, so each
bitness upgrades itself and the two install side by side.
"""
import hashlib
import os
import sys
import uuid
from xml.sax.saxutils import quoteattr

UPGRADE_CODES = {
    "x86": "3F1C6A52-9B0E-4D7A-8E21-5C4B7A9D0E11",
    "x64": "3F1C6A52-9B0E-4D7A-8E21-5C4B7A9D0E64",
}
PRODUCT_NAMESPACE = uuid.UUID("8A0D3E5C-61F4-4B2B-9C7E-2F5D4A1B6C30")
FOLDER_NAMESPACE = uuid.UUID("8A0D3E5C-61F4-4B2B-9C7E-2F5D4A1B6C31")
MANUFACTURER = "The portopt authors"
# Folders of the tree that go to the SDK feature; the rest is Main.
SDK_FOLDERS = ("include", "lib")
MODULE_FOLDER = "WindowsPowerShell/Modules/Portopt"


def identifier(prefix, path):
    """A WiX identifier for a path: readable, unique, at most 72 characters."""
    digest = hashlib.sha1(path.encode()).hexdigest()[:10]
    readable = "".join(c if c.isalnum() else "_" for c in path)[-50:]
    return f"{prefix}{digest}_{readable}"


def files_under(root):
    for folder, _, names in sorted(os.walk(root)):
        for name in sorted(names):
            path = os.path.join(folder, name)
            # wixl takes sources relative to the folder it runs in.
            yield os.path.relpath(path, root).replace(os.sep, "/"), os.path.relpath(path)


class Tree:
    """The Directory elements below Program Files and the components in
    them.  A folder holding no file of its own (portopt, share, doc,
    WindowsPowerShell, ...) gets a component that only creates it, in Main
    where a file of Main lies below it: Windows Installer takes away, when
    empty, only the folders of components."""

    def __init__(self, root_id, names, win64):
        self.root_id = root_id
        self.names = names  # relative folder -> fixed Directory Id
        self.win64 = win64
        self.folders = {"": []}  # relative folder -> its components
        self.components = []  # in order: (folder, id, feature, element, GUID)

    def folder_id(self, folder):
        if folder == "":
            return self.root_id
        return self.names.get(folder) or identifier("d", folder)

    def add(self, relative, source, feature):
        folder = os.path.dirname(relative)
        parts = folder.split("/")
        for depth in range(len(parts) + 1):
            self.folders.setdefault("/".join(parts[:depth]), [])
        component = identifier("c", relative)
        element = (f'<File Id="{identifier("f", relative)}" Name={quoteattr(os.path.basename(relative))} '
                   f'Source={quoteattr(source)} KeyPath="yes" />')
        return self.add_component(folder, component, feature, element, "*")

    def add_component(self, folder, component, feature, element, guid):
        entry = (folder, component, feature, element, guid)
        self.folders[folder].append(entry)
        self.components.append(entry)
        return component

    def add_folder_components(self):
        for folder, own in list(self.folders.items()):
            if folder == "" or own:
                continue
            below = [c[2] for c in self.components if c[0].startswith(folder + "/")]
            # Each bitness's folder is a resource of its own.
            guid = str(uuid.uuid5(FOLDER_NAMESPACE, f"{self.root_id}/{folder}")).upper()
            self.add_component(folder, identifier("c", folder + "/"), "Main" if "Main" in below else below[0],
                               "<CreateFolder />", guid)

    def xml(self, folder=""):
        win64 = ' Win64="yes"' if self.win64 else ""
        inner = [f'<Component Id="{c}" Guid="{guid}"{win64}>{element}</Component>'
                 for _, c, _, element, guid in self.folders[folder]]
        children = sorted(f for f in self.folders if f and os.path.dirname(f) == folder)
        for child in children:
            inner.append(f'<Directory Id="{self.folder_id(child)}" Name={quoteattr(os.path.basename(child))}>'
                         f'{self.xml(child)}</Directory>')
        return "".join(inner)

    def features(self):
        features = {}
        for _, component, feature, _, _ in self.components:
            features.setdefault(feature, []).append(component)
        return features


def main(argv):
    arch, version, tree_root, module_root, out_dir = argv[1:6]
    win64 = arch == "x64"
    program_files = "ProgramFiles64Folder" if win64 else "ProgramFilesFolder"
    product_code = str(uuid.uuid5(PRODUCT_NAMESPACE, f"portopt {version} {arch}")).upper()
    tree = Tree(program_files, {"portopt": "INSTALLDIR", MODULE_FOLDER: "MODULEDIR"}, win64)
    portctl = None
    for relative, source in files_under(tree_root):
        feature = "SDK" if relative.split("/")[0] in SDK_FOLDERS else "Main"
        component = tree.add("portopt/" + relative, source, feature)
        if relative == "bin/portctl.exe":
            portctl = component
    for relative, source in files_under(module_root):
        tree.add(f"{MODULE_FOLDER}/{relative}", source, "Main")
    if portctl is None:
        sys.exit(f"make_wxs: no bin/portctl.exe in {tree_root}")
    tree.add_folder_components()
    components = tree.features()
    features = "".join(
        f'<Feature Id="{name}" Title="{title}" Level="{level}"{extra}>'
        + "".join(f'<ComponentRef Id="{c}" />' for c in components.get(name, [])) + "</Feature>"
        for name, title, level, extra in (
            ("Main", "portctl, the DLLs and the PowerShell module", 1, ' Absent="disallow"'),
            ("SDK", "Headers, import libraries and CMake package", 1000, "")))
    bits = "64-bit" if win64 else "32-bit"
    wxs = f"""<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
<Product Id="{product_code}" Name="portopt ({bits})" Language="1033" Version="{version}"
         Manufacturer="{MANUFACTURER}" UpgradeCode="{UPGRADE_CODES[arch]}">
<Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
         Description="portopt {version}: portctl, the portopt and comlist DLLs, the PowerShell module ({bits})"
         Manufacturer="{MANUFACTURER}" />
<MajorUpgrade DowngradeErrorMessage="A newer version of portopt is already installed." />
<Media Id="1" Cabinet="portopt.cab" EmbedCab="yes" />
<Directory Id="TARGETDIR" Name="SourceDir">
<Directory Id="{program_files}">{tree.xml()}</Directory>
</Directory>
{features}
</Product>
</Wix>
"""
    with open(os.path.join(out_dir, "portopt.wxs"), "w") as target:
        target.write(wxs)
    write_table(out_dir, "Environment", ("s72", "l255", "L255", "s72"), ("Environment", "Name", "Value", "Component_"),
                [("PortctlPath", "=-*Path", f"[~];[{tree.folder_id('portopt/bin')}]", portctl)])


def write_table(out_dir, name, types, columns, rows):
    """An IDT file: column names, their types, the table and its key, the rows."""
    lines = ["\t".join(columns), "\t".join(types), f"{name}\t{columns[0]}"] + ["\t".join(row) for row in rows]
    with open(os.path.join(out_dir, f"{name}.idt"), "w") as table:
        table.write("\r\n".join(lines) + "\r\n")


if __name__ == "__main__":
    main(sys.argv)
