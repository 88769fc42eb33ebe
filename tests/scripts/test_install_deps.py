"""scripts/install-deps.sh --wine against stand-ins for apt-get, dpkg,
dpkg-query, sudo, id and sleep, first on PATH: a mirror in mid-sync, 32-bit
Wine that cannot be installed or would downgrade a package, a machine that
cannot execute 32-bit programs, and a required package that does not exist.
The stand-ins record every call; no run may remove or downgrade a package.
Where 32-bit Wine stays out, cmake/wine-run.sh must skip the 32-bit suites
with the reason the install step gave."""
import os
import re
import shutil
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
INSTALL_DEPS = ROOT / "scripts" / "install-deps.sh"
WINE_RUN = ROOT / "cmake" / "wine-run.sh"

MIRROR_SYNC = (
    "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/"
    "Packages.xz  File has unexpected size (51304 != 51568). Mirror sync in progress? [IP: 151.101.2.132 80]"
)

# Each stand-in appends "name args..." to $STATE/log.  Packages in
# $STATE/absent are not installed; apt-get install takes them out of it.
STANDINS = {
    "sudo": 'exec "$@"',
    "id": 'echo 1000',
    "sleep": ':',
    "dpkg-query": """
for p; do :; done
grep -qxF -- "$p" "$STATE/absent" && { echo "dpkg-query: no packages found matching $p" >&2; exit 1; }
case $2 in *Version*) version=$(sed -n "s/^$p=//p" "$STATE/versions" 2>/dev/null); [ -n "$version" ] && { printf '%s' "$version"; exit 0; } ;; esac
printf 'install ok installed'""",
    "dpkg": """
case $1 in
  --print-foreign-architectures) cat "$STATE/arch" ;;
  --add-architecture) echo "$2" >>"$STATE/arch" ;;
  --remove-architecture) grep -vxF -- "$2" "$STATE/arch" >"$STATE/arch.new"; mv "$STATE/arch.new" "$STATE/arch" ;;
  --compare-versions) exec /usr/bin/dpkg "$@" ;;
  *) echo "dpkg stand-in: unexpected $*" >&2; exit 2 ;;
esac""",
    "apt-get": f"""
if [ "$1" = update ]; then
  echo "Hit:1 http://deb.debian.org/debian bookworm InRelease"
  [ "$APT_UPDATE" = fail ] || exit 0
  echo '{MIRROR_SYNC}'
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
  exit 100
fi
simulate=; pkgs=; skip=
for a; do
  if [ -n "$skip" ]; then skip=; continue; fi
  case $a in
    -o) skip=1 ;;
    -s) simulate=1 ;;
    -*|install) ;;
    *) pkgs="$pkgs $a" ;;
  esac
done
echo "Reading package lists..."
for p in $pkgs; do
  case " $APT_UNKNOWN " in *" $p "*) echo "E: Unable to locate package $p"; exit 100 ;; esac
  case " $APT_UNMET " in *" $p "*)
    echo "The following packages have unmet dependencies:"
    echo " $p : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed"
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100 ;;
  esac
done
if [ -n "$simulate" ]; then
  for p in $pkgs; do echo "Inst $p (8.0~repack-4 Debian:12.5/stable [i386])"; done
  [ -z "$APT_DOWNGRADE" ] || echo "Inst $APT_DOWNGRADE Debian:12.5/stable [amd64])"
  exit 0
fi
for p in $pkgs; do grep -vxF -- "$p" "$STATE/absent" >"$STATE/absent.new"; mv "$STATE/absent.new" "$STATE/absent"; done""",
}


CASES = [
    # id, absent packages, foreign architectures, environment,
    # exit status, output pattern, reason left for wine-run.sh, absent after
    pytest.param(["cmake", "wine32:i386"], [], {"APT_UPDATE": "fail"},
                 0, r"could not be updated after 3 tries \(E: Failed to fetch .* Mirror sync in progress\?",
                 None, [], id="lists-fail-to-update"),
    pytest.param(["wine32:i386"], [], {"APT_UNMET": "wine32:i386"},
                 0, r"32-bit Wine not installed.*: apt-get: wine32:i386 : Depends: libwine:i386 .* not going to be installed",
                 r"wine32:i386 : Depends: libwine:i386", ["wine32:i386"], id="i386-unmet-dependencies"),
    pytest.param(["wine32:i386"], ["i386"], {"APT_DOWNGRADE": "libgnutls30 [3.7.9-2+deb12u3] (3.7.9-2"},
                 0, r"32-bit Wine not installed.*libgnutls30 3\.7\.9-2\+deb12u3 -> 3\.7\.9-2 \(downgraded\)",
                 r"libgnutls30 .*downgraded", ["wine32:i386"], id="i386-would-downgrade"),
    pytest.param(["wine32:i386"], [], {"PROBE": "refused"},
                 0, r"32-bit Wine not installed.*cannot execute 32-bit programs .*Exec format error",
                 r"cannot execute 32-bit programs .*exit status 126: cannot execute binary file: Exec format error",
                 ["wine32:i386"], id="no-32-bit-execution"),
    pytest.param(["cmake", "libcli11-dev", "wine32:i386"], [], {"APT_UPDATE": "fail", "APT_UNKNOWN": "libcli11-dev"},
                 1, r"E: Unable to locate package libcli11-dev[\s\S]*FAILED: cannot install the required packages",
                 None, ["cmake", "libcli11-dev", "wine32:i386"], id="required-package-missing"),
]

# A call that would remove a package (also apt's "package-") or allow apt to
# downgrade or remove one.
HARMFUL = re.compile(r"(?<![\w-])(remove|purge|autoremove|-r|-P|--remove|--purge)(?![\w-])"
                     r"|--allow-(downgrades|remove-essential|change-held-packages)|--force|\s[\w.:+]+-(\s|$)")


def write_standins(bin_dir: Path) -> None:
    bin_dir.mkdir()
    for name, body in {**STANDINS, "exec32-probe": "exit 42"}.items():
        log = "" if name == "exec32-probe" else f'echo "{name} $*" >>"$STATE/log"\n'
        path = bin_dir / name
        path.write_text(f"#!/bin/sh\n{log}{body}\n")
        path.chmod(0o755)


@pytest.mark.parametrize("absent, arch, env, status, output, reason, absent_after", CASES)
def test_install_step(tmp_path, refused_program, absent, arch, env, status, output, reason, absent_after):
    state, bin_dir, reason_file = tmp_path / "state", tmp_path / "bin", tmp_path / "wine32-skip-reason"
    state.mkdir()
    (state / "absent").write_text("".join(f"{p}\n" for p in absent))
    (state / "arch").write_text("".join(f"{a}\n" for a in arch))
    (state / "log").write_text("")
    write_standins(bin_dir)
    # A probe that exits 42, or one the kernel refuses.
    probe = refused_program if env.get("PROBE") == "refused" else bin_dir / "exec32-probe"
    environment = {
        "PATH": f"{bin_dir}:{os.environ['PATH']}", "STATE": str(state), "HOME": str(tmp_path),
        "WINE32_SKIP_REASON_FILE": str(reason_file), "INSTALL_DEPS_EXEC32_PROBE": str(probe),
        "APT_UPDATE": "ok", "APT_UNKNOWN": "", "APT_UNMET": "", "APT_DOWNGRADE": "", **env,
    }
    run = subprocess.run(["bash", str(INSTALL_DEPS), "--wine"], env=environment, capture_output=True, text=True, timeout=60)
    said = run.stdout + run.stderr
    calls = (state / "log").read_text().splitlines()

    assert run.returncode == status, said
    assert re.search(output, said), said
    assert not [c for c in calls if HARMFUL.search(c)], calls
    installs = [c for c in calls if c.startswith("apt-get") and " install " in f"{c} "]
    assert all("--no-remove" in c for c in installs), installs
    assert (state / "absent").read_text().split() == absent_after
    # The machine keeps its architectures unless 32-bit Wine went in.
    expected_arch = arch + ["i386"] if "wine32:i386" in absent and "wine32:i386" not in absent_after else arch
    assert (state / "arch").read_text().split() == expected_arch, calls
    if env.get("APT_UPDATE") == "fail":
        # Three tries each time the lists are needed, with a growing pause.
        tries = [c for c in calls if c == "apt-get update" or c.startswith("sleep ")]
        assert tries and tries == ["apt-get update", "sleep 10", "apt-get update", "sleep 20", "apt-get update"] * (len(tries) // 5), calls
    if env.get("PROBE") == "refused" or status != 0:
        assert not [c for c in calls if "i386" in c and not c.startswith("dpkg-query")], calls

    if reason is None:
        assert not reason_file.exists()
        return
    assert len(re.findall("32-bit Wine not installed", said)) == 1, said
    # The 32-bit suites are skipped with the same reason.
    check = subprocess.run(
        ["sh", str(WINE_RUN), "--prefix", str(tmp_path / "wineprefix"), "--check", "i686"],
        env={**environment, "WINE32_LOADER": str(tmp_path / "no-wine")}, capture_output=True, text=True, timeout=60)
    assert check.returncode == 77, check.stderr
    assert re.search(r"SKIPPED: 32-bit Wine could not be installed: .*" + reason, check.stderr), check.stderr


def test_signing_tool_from_backports(tmp_path):
    """An osslsigncode too old to sign PowerShell files is replaced by
    bookworm-backports' through a source of its own, without removing
    anything; a new enough one is left alone."""
    state, bin_dir, sources = tmp_path / "state", tmp_path / "bin", tmp_path / "sources"
    state.mkdir()
    sources.mkdir()
    for name, text in {"absent": "", "arch": "", "log": ""}.items():
        (state / name).write_text(text)
    write_standins(bin_dir)
    environment = {
        "PATH": f"{bin_dir}:{os.environ['PATH']}", "STATE": str(state), "HOME": str(tmp_path),
        "WINE32_SKIP_REASON_FILE": str(tmp_path / "reason"), "INSTALL_DEPS_EXEC32_PROBE": str(bin_dir / "exec32-probe"),
        "INSTALL_DEPS_SOURCES_DIR": str(sources), "APT_UPDATE": "ok", "APT_UNKNOWN": "", "APT_UNMET": "", "APT_DOWNGRADE": "",
    }
    for version, backported in (("2.9-1~bpo12+1", False), ("2.5-4", True)):
        (state / "versions").write_text(f"osslsigncode={version}\n")
        (state / "log").write_text("")
        run = subprocess.run(["bash", str(INSTALL_DEPS), "--wine"], env=environment, capture_output=True, text=True, timeout=60)
        calls = (state / "log").read_text().splitlines()
        assert run.returncode == 0, run.stdout + run.stderr
        installs = [c for c in calls if c.startswith("apt-get") and "osslsigncode/bookworm-backports" in c]
        assert len(installs) == int(backported), calls
        assert all("--no-remove" in c for c in installs) and not [c for c in calls if HARMFUL.search(c)], calls
        added = sources / "bookworm-backports.sources"
        assert added.exists() == backported
    assert "Suites: bookworm-backports" in added.read_text()
    assert "installing it from bookworm-backports" in run.stdout
