#!/usr/bin/env bash
# The PowerShell module's tests (tests/Portopt.Tests.ps1, with Pester) in
# PowerShell 7 on the host build's libraries and the simulated Windows:
# installs PowerShell 7.6.10 (the .NET tool) into build/powershell/pwsh
# and Pester into the NuGet package folder once, builds the module into
# build/powershell/artifacts, and runs the tests.  ctest names the host
# build's pieces in the environment; run by hand, they are taken from
# build/host.  Exits 77 (skipped) where dotnet is missing or PowerShell or
# Pester cannot be installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
host=$root/build/host
work=$root/build/powershell
export PORTOPT_LIBRARY_PATH=${PORTOPT_LIBRARY_PATH:-$host/source/dll:$host/comlist}
export SIMWIN_LIBRARY=${SIMWIN_LIBRARY:-$host/sim/libsimwin.so}
export PORTCTL=${PORTCTL:-$host/tools/portctl/portctl}
powershell_version=7.6.10
pester_version=5.7.1

if ! command -v dotnet >/dev/null 2>&1; then
    echo "SKIPPED: dotnet is not installed; the module's tests need the .NET SDK"
    exit 77
fi
source "$root/dotnet/dotnet-env.sh"
mkdir -p "$work"

pwsh=$work/pwsh/pwsh
if [[ ! -x $pwsh ]] || [[ $("$pwsh" -NoProfile -Command '$PSVersionTable.PSVersion.ToString()') != "$powershell_version" ]]; then
    rm -rf "$work/pwsh"
    if ! dotnet tool install PowerShell --version "$powershell_version" --tool-path "$work/pwsh" >"$work/install.log" 2>&1; then
        echo "SKIPPED: PowerShell $powershell_version (the .NET tool PowerShell) cannot be installed: $(tail -n 1 "$work/install.log")"
        exit 77
    fi
fi
if ! dotnet restore "$here/tests/Pester.csproj" -p:ArtifactsPath="$work/artifacts" -v quiet >"$work/install.log" 2>&1; then
    echo "SKIPPED: Pester $pester_version cannot be installed: $(tail -n 1 "$work/install.log")"
    exit 77
fi
packages=$(dotnet nuget locals global-packages --list | sed 's/^global-packages: //')
export PESTER_MODULE=$packages/pester/$pester_version/tools/Pester.psd1

if ! dotnet build "$here/Portopt.PowerShell" -c Release --disable-build-servers --nologo -v quiet \
    -p:ArtifactsPath="$work/artifacts" >"$work/build.log" 2>&1; then
    cat "$work/build.log"
    exit 1
fi
export PORTOPT_MODULE=$work/artifacts/module/Portopt/Portopt.psd1 PWSH=$pwsh
"$pwsh" -NoProfile -NonInteractive -File "$here/tests/run.ps1"
