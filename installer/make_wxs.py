"""Writes the WiX source of one MSI from the release tree of its bitness
(scripts/release-tree.sh) and the PowerShell module's folder
(scripts/psmodule.sh), for wixl:

    make_wxs.py x86|x64 VERSION TREE MODULE OUT.wxs

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
MANUFACTURER = "The portopt authors"
# Folders of the tree that go to the SDK feature; the rest is Main.
SDK_FOLDERS = ("include", "lib")


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
    """The Directory elements below one root, and the components in them."""

    def __init__(self, root_id, win64):
        self.root_id = root_id
        self.win64 = win64
        self.folders = {}  # relative folder -> {"children": set, "components": [...]}

    def folder_id(self, folder):
        return self.root_id if folder == "" else identifier("d", f"{self.root_id}/{folder}")

    def add(self, relative, source, feature, components):
        folder = os.path.dirname(relative)
        node = self.folders.setdefault(folder, {"components": []})
        parts = folder.split("/") if folder else []
        for depth in range(len(parts)):
            self.folders.setdefault("/".join(parts[:depth]), {"components": []})
        component = identifier("c", f"{self.root_id}/{relative}")
        win64 = ' Win64="yes"' if self.win64 else ""
        node["components"].append(
            f'<Component Id="{component}" Guid="*"{win64}>'
            f'<File Id="{identifier("f", f"{self.root_id}/{relative}")}" Name={quoteattr(os.path.basename(relative))} '
            f'Source={quoteattr(source)} KeyPath="yes" /></Component>')
        components.setdefault(feature, []).append(component)
        return component

    def xml(self, folder=""):
        node = self.folders[folder]
        inner = list(node["components"])
        children = sorted(f for f in self.folders if f and os.path.dirname(f) == folder)
        for child in children:
            inner.append(f'<Directory Id="{self.folder_id(child)}" Name={quoteattr(os.path.basename(child))}>'
                         f'{self.xml(child)}</Directory>')
        return "".join(inner)


def main(argv):
    arch, version, tree_root, module_root, out = argv[1:6]
    win64 = arch == "x64"
    program_files = "ProgramFiles64Folder" if win64 else "ProgramFilesFolder"
    product_code = str(uuid.uuid5(PRODUCT_NAMESPACE, f"portopt {version} {arch}")).upper()
    components = {}
    install = Tree("INSTALLDIR", win64)
    module = Tree("MODULEDIR", win64)
    portctl = None
    for relative, source in files_under(tree_root):
        feature = "SDK" if relative.split("/")[0] in SDK_FOLDERS else "Main"
        component = install.add(relative, source, feature, components)
        if relative == "bin/portctl.exe":
            portctl = component
    for relative, source in files_under(module_root):
        module.add(relative, source, "Main", components)
    if portctl is None:
        sys.exit(f"make_wxs: no bin/portctl.exe in {tree_root}")
    features = "".join(
        f'<Feature Id="{name}" Title="{title}" Level="{level}"{extra}>'
        + "".join(f'<ComponentRef Id="{c}" />' for c in components.get(name, [])) + "</Feature>"
        for name, title, level, extra in (
            ("Main", "portctl, the DLLs and the PowerShell module", 1, ' Absent="disallow"'),
            ("SDK", "Headers, import libraries and CMake package", 1000, "")))
    bits = "64-bit" if win64 else "32-bit"
    wxs = f"""<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
<Product Id="{product_code}" Name="portopt {version} ({bits})" Language="1033" Version="{version}"
         Manufacturer="{MANUFACTURER}" UpgradeCode="{UPGRADE_CODES[arch]}">
<Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
         Description="portopt {version}: portctl, the portopt and comlist DLLs, the PowerShell module ({bits})"
         Manufacturer="{MANUFACTURER}" />
<MajorUpgrade DowngradeErrorMessage="A newer version of portopt is already installed." />
<Media Id="1" Cabinet="portopt.cab" EmbedCab="yes" />
<Directory Id="TARGETDIR" Name="SourceDir">
<Directory Id="{program_files}">
<Directory Id="INSTALLDIR" Name="portopt">{install.xml()}</Directory>
<Directory Id="d_WindowsPowerShell" Name="WindowsPowerShell"><Directory Id="d_Modules" Name="Modules">
<Directory Id="MODULEDIR" Name="Portopt">{module.xml()}</Directory>
</Directory></Directory>
</Directory>
</Directory>
{features}
</Product>
</Wix>
"""
    with open(out, "w") as target:
        target.write(wxs)
    # scripts/msi.sh adds portctl's folder to the system PATH through this component.
    print(portctl + " " + install.folder_id("bin"))


if __name__ == "__main__":
    main(sys.argv)
