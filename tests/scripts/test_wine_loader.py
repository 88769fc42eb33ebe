"""cmake/wine-run.sh --check i686, which decides whether the 32-bit suites
run: a loader that fails to start once (a busy machine) is tried again, and
one that cannot start is reported with what it said, as a skip."""
import re
import subprocess
from pathlib import Path

import pytest

WINE_RUN = Path(__file__).resolve().parents[2] / "cmake" / "wine-run.sh"

# Stand-in loaders: what `LOADER --version` does on each start; None, a
# program the kernel refuses.
LOADERS = {
    "fails-once": 'if [ -e "$0.started" ]; then echo wine-8.0; else : >"$0.started"; echo "wine: failed to start" >&2; exit 1; fi',
    "refused-by-kernel": None,
    "hangs": "exec sleep 30",
}


@pytest.mark.parametrize("loader, status, said", [
    ("fails-once", 0, r"runs i686 programs here"),
    ("refused-by-kernel", 77, r"SKIPPED: 32-bit Wine \(\S+\) cannot start here \(exit status 126: "
                              r"[^()]*cannot execute binary file: Exec format error, twice\)"),
    ("hangs", 77, r"SKIPPED: 32-bit Wine \(\S+\) cannot start here \(it did not answer within 1 s, twice\)"),
])
def test_check_gives_the_loaders_reason(tmp_path, refused_program, loader, status, said):
    path = refused_program
    if LOADERS[loader] is not None:
        path = tmp_path / "wine"
        path.write_text(f"#!/bin/sh\n{LOADERS[loader]}\n")
        path.chmod(0o755)
    environment = {"PATH": "/usr/bin:/bin", "WINE32_LOADER": str(path), "WINE_START_TIMEOUT": "1",
                   "WINE_START_RETRY_PAUSE": "0", "WINE32_SKIP_REASON_FILE": str(tmp_path / "none")}
    run = subprocess.run(["sh", str(WINE_RUN), "--prefix", str(tmp_path / "wineprefix"), "--check", "i686"],
                         env=environment, capture_output=True, text=True, timeout=60)
    assert run.returncode == status, run.stdout + run.stderr
    assert re.search(said, run.stdout + run.stderr), run.stdout + run.stderr
