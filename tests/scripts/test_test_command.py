"""scripts/test.sh as a user runs it, with its steps on a small ctest project
instead of the real builds: the copy of the repository's test.sh,
wine-tests.sh, wine-run.sh and summary script runs with stand-ins for
cmake, for the repository's other scripts, and for ctest, which runs
the small project's tests in place of each preset's.  Its last line must
name every skipped test with its reason, per ctest run, count none of them
as passed, and its exit status must stay that of the first failure."""
import os
import re
import shutil
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
COPIED = ["scripts/test.sh", "scripts/wine-tests.sh", "scripts/test-summary.py", "cmake/wine-run.sh"]
RUNS = ["windows", "windows64", "pe-check", "host", "asan", "tsan"]

# Tests as the project's suites behave: skipped by exit status 77 or by
# the printed reason, passed with skipped cases inside, failed on demand.
SUITES = r"""
cmake_minimum_required(VERSION 3.25)
project(suites NONE)
enable_testing()
add_test(NAME unit COMMAND sh -c "echo '[  PASSED  ] 40 tests.'")
add_test(NAME wine32_prefix COMMAND sh -c "echo 'wine-run: SKIPPED: 32-bit Wine cannot start here (exit status 126: Exec format error, twice)' >&2; exit 77")
add_test(NAME dotnet.bindings COMMAND sh -c "echo 'SKIPPED: dotnet is not installed'; exit 77")
add_test(NAME python.wheels COMMAND sh -c "echo 'SKIPPED [2] python/tests/test_wheels.py:47: no wheels in /w'; echo '2 skipped'")
add_test(NAME python.ports COMMAND sh -c "seq 1 500; echo 'SKIPPED [1] python/tests/test_ports.py:9: needs a wheel'; echo '9 passed, 1 skipped'")
add_test(NAME flaky COMMAND sh -c "test -z \"$FAIL_TEST\"")
set_tests_properties(wine32_prefix dotnet.bindings PROPERTIES SKIP_RETURN_CODE 77)
set_tests_properties(python.wheels PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED.*no wheels in")
"""

STANDINS = {
    "bin/cmake": 'echo "cmake $*" >>"$LOG"',
    # Drops the preset or build directory it was given, runs the small project.
    "bin/ctest": """
args=""
while [ $# -gt 0 ]; do
  case $1 in --preset|--test-dir) shift ;; *) args="$args '$1'" ;; esac
  shift
done
echo "ctest$args" >>"$LOG"
eval "exec \\"\\$REAL_CTEST\\" --test-dir \\"\\$SUITES_BUILD\\" $args" """,
    "scripts/fuzz.sh": 'echo "fuzz $*" >>"$LOG"; exit ${FAIL_FUZZ:-0}',
}
# Every other script of the repository that the scripts under test may call
# (installing, building packages) stands in as one that logs its call.
for script in sorted((ROOT / "scripts").glob("*.sh")):
    name = f"scripts/{script.name}"
    if name not in COPIED and name not in STANDINS:
        STANDINS[name] = f'echo "{script.stem} $*" >>"$LOG"'


@pytest.fixture(scope="module")
def suites(tmp_path_factory):
    source = tmp_path_factory.mktemp("suites")
    (source / "CMakeLists.txt").write_text(SUITES)
    subprocess.run(["cmake", "-S", source, "-B", source / "build"], check=True, capture_output=True)
    return source / "build"


CASES = [
    pytest.param({}, 0, r"PASSED: 18 passed, 18 skipped in 6 ctest runs \(" + ", ".join(RUNS) + r"\)", RUNS, id="passes"),
    pytest.param({"FAIL_TEST": "1"}, 1, r"FAILED \(exit status 1\): 6 passed, 9 skipped, 3 failed in 3 ctest runs "
                 r"\(windows, windows64, pe-check\)\. Failed: windows, windows64, pe-check: flaky\.",
                 RUNS[:3], id="suite-fails"),
    pytest.param({"FAIL_FUZZ": "3"}, 3, r"FAILED \(exit status 3\): 18 passed, 18 skipped in 6 ctest runs", RUNS,
                 id="fuzzing-fails"),
]


@pytest.mark.parametrize("env, status, head, runs", CASES)
def test_test_command_ends_with_every_skip_and_its_reason(tmp_path, suites, env, status, head, runs):
    repo = tmp_path / "repo"
    for name in COPIED:
        (repo / name).parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(ROOT / name, repo / name)
    for name, body in STANDINS.items():
        path = (tmp_path if name.startswith("bin/") else repo) / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(f"#!/bin/sh\n{body}\n")
        path.chmod(0o755)
    environment = {**os.environ, **env, "PATH": f"{tmp_path / 'bin'}:{os.environ['PATH']}",
                   "LOG": str(tmp_path / "log"), "REAL_CTEST": shutil.which("ctest"),
                   "SUITES_BUILD": str(suites), "WINE32_LOADER": str(tmp_path / "no-wine")}
    environment.pop("TEST_RESULTS_DIR", None)
    run = subprocess.run(["bash", str(repo / "scripts/test.sh")], env=environment, cwd=tmp_path,
                         capture_output=True, text=True, timeout=120)
    said = run.stdout + run.stderr
    last = run.stdout.rstrip("\n").split("\n")[-1]

    assert run.returncode == status, said
    assert re.match(r"test summary: " + head, last), last
    assert f"ctest runs ({', '.join(runs)})" in last, last
    for name, why in [("wine32_prefix", "32-bit Wine cannot start here (exit status 126: Exec format error, twice)"),
                      ("dotnet.bindings", "dotnet is not installed"),
                      ("python.wheels", "no wheels in /w")]:
        assert f"{', '.join(runs)}: {name} ({why})" in last, (name, last)
    assert f"Partly skipped: {', '.join(runs)}: python.ports (needs a wheel)" in last, last
