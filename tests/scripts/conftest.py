"""A program the kernel refuses to start (Exec format error), as a 32-bit
program is refused where the kernel has no 32-bit support: a minimal ELF
whose machine is ARM, on the x86 machines these scripts serve."""
from pathlib import Path

import pytest

# ELF header, one loadable segment, and code that is never run.
FOREIGN_ELF = bytes.fromhex(
    "7f454c46010101000000000000000000" "02002800010000005480040834000000"
    "00000000000000003400200001000000" "00000000010000000000000000800408"
    "00800408600000006000000005000000" "00100000b801000000bb2a000000cd80")


@pytest.fixture
def refused_program(tmp_path: Path) -> Path:
    path = tmp_path / "refused" / "exec32-probe"
    path.parent.mkdir()
    path.write_bytes(FOREIGN_ELF)
    path.chmod(0o755)
    return path
