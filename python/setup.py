"""The package version is the project's: the one in the top-level
CMakeLists.txt, beside this folder.  The built package carries a copy of
the library's public header, include/portopt.h, from which it reads the
COM numbers the calls take.  Everything else is in pyproject.toml."""
import re
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py

ROOT = Path(__file__).resolve().parent.parent


class BuildWithHeader(build_py):
    """The package's modules and the public header beside them."""

    def run(self) -> None:
        super().run()
        header = ROOT / "include" / "portopt.h"
        if not header.is_file():
            raise SystemExit(f"no {header}: the package is built from the project's source tree")
        self.copy_file(str(header), str(Path(self.build_lib) / "portopt" / "portopt.h"))


def project_version() -> str:
    cmake_lists = ROOT / "CMakeLists.txt"
    found = re.search(r"project\(\s*portopt\s+VERSION\s+([0-9.]+)", cmake_lists.read_text())
    if found is None:
        raise SystemExit(f"no project(portopt VERSION ...) in {cmake_lists}")
    return found.group(1)


setup(version=project_version(), cmdclass={"build_py": BuildWithHeader})
