"""The package version is the project's: the one in the top-level
CMakeLists.txt, beside this folder.  Everything else is in pyproject.toml."""
import re
from pathlib import Path

from setuptools import setup


def project_version() -> str:
    cmake_lists = Path(__file__).resolve().parent.parent / "CMakeLists.txt"
    found = re.search(r"project\(\s*portopt\s+VERSION\s+([0-9.]+)", cmake_lists.read_text())
    if found is None:
        raise SystemExit(f"no project(portopt VERSION ...) in {cmake_lists}")
    return found.group(1)


setup(version=project_version())
