#!/usr/bin/env bash
# Runs a managed suite on Windows' own .NET under Wine:
#   run-managed-suite.sh dotnet RUNTIME [--bench MS]
#                                             the .NET library's suite
#                                             (dotnet/wine), built from the
#                                             NuGet package of scripts/nupkg.sh
#   run-managed-suite.sh powershell RUNTIME [--bench MS]
#                                             the module's suite
#                                             (powershell/wine): PowerShell 7
#                                             hosted by a program, the module
#                                             from the ZIP of scripts/psmodule.sh
# RUNTIME is win-x64 or win-x86.  With --bench MS, the program times its
# face's listing beside the native calls instead (scripts/bench.sh).
# The suite is published as a self-contained program for RUNTIME (the runtime packs and the PowerShell SDK come from
# NuGet into its global package folder, where a later run finds them), the
# fixture DLL and the record-layout program of this Windows build are put
# beside it, and it runs under Wine in the build's test prefix.
#
# ctest gives WINE_RUN, WINE_PREFIX_DIR, WINE_MACHINE_DLL and
# RECORD_LAYOUT_EXE.  Exits 77 (skipped) where dotnet, the package or the
# Wine loader for RUNTIME is missing.
set -uo pipefail
suite=$1
runtime=$2
shift 2  # the rest goes to the program (--bench MS: time the listing instead)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
PACKAGE_DIR=${PACKAGE_DIR:-$root/build/package}
version=$(sed -n 's/^project(portopt VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
work=$root/build/wine-managed/$suite-$runtime

skip() { echo "SKIPPED: $*"; exit 77; }
# A host path as Wine's programs name it: the host's root is drive Z:.
winepath_of() { local path=${1//\//\\}; printf 'Z:%s' "$path"; }

case $runtime in
    win-x64) arch=x86_64 ;;
    win-x86) arch=i686 ;;
    *) echo "run-managed-suite: unknown runtime $runtime" >&2; exit 2 ;;
esac
case $suite in
    dotnet)
        project=$root/dotnet/wine
        program=Portopt.WineSuite.exe
        package=$PACKAGE_DIR/Portopt.$version.nupkg
        maker=scripts/nupkg.sh
        ;;
    powershell)
        project=$root/powershell/wine
        program=Portopt.PowerShellHost.exe
        package=$PACKAGE_DIR/portopt-$version-powershell.zip
        maker=scripts/psmodule.sh
        ;;
    *) echo "run-managed-suite: unknown suite $suite" >&2; exit 2 ;;
esac

command -v dotnet >/dev/null 2>&1 || skip "dotnet is not installed; the $suite suite under Wine needs the .NET SDK"
check=$("$WINE_RUN" --prefix "$WINE_PREFIX_DIR" --check "$arch" 2>&1)
case $? in
    0) ;;
    77) skip "${check#wine-run: SKIPPED: }" ;;
    *) echo "$check" >&2; exit 1 ;;
esac
[[ -f $package ]] || skip "no $(basename "$package") in $PACKAGE_DIR: $maker builds it"
source "$root/dotnet/dotnet-env.sh"

started=$(date +%s)
rm -rf "$work" && mkdir -p "$work"
if [[ $suite == dotnet ]]; then
    # The package under test, never an earlier build of the same version
    # from the global package folder (the runtime packs stay there).
    packages=$(dotnet nuget locals global-packages --list | sed 's/^global-packages: //')
    rm -rf "$packages/portopt/$version"
    sources=(--source "$PACKAGE_DIR" --source https://api.nuget.org/v3/index.json)
else
    sources=(--source https://api.nuget.org/v3/index.json)
    (cd "$work" && cmake -E tar xf "$package") || exit 1
fi
if ! dotnet publish "$project" -c Release -r "$runtime" --self-contained "${sources[@]}" \
    -o "$work/app" --disable-build-servers --nologo -v quiet -p:PortoptVersion="$version" >"$work/publish.log" 2>&1; then
    cat "$work/publish.log"
    exit 1
fi
cp "$WINE_MACHINE_DLL" "$RECORD_LAYOUT_EXE" "$work/app/"
published=$(date +%s)

# A large first GC generation keeps Wine 8 clear of an internal CLR error
# in the finalizer of PowerShell's dynamic methods.
export DOTNET_GCgen0size=0x20000000 WINE_RUN_DOTNET=1
arguments=()
[[ $suite == powershell ]] && arguments=("$(winepath_of "$work/Portopt")" "$(winepath_of "$root/examples/intune/module")")
cd "$work/app" && "$WINE_RUN" --prefix "$WINE_PREFIX_DIR" "$work/app/$program" "${arguments[@]}" "$@"
status=$?
echo "run-managed-suite: $suite on $runtime: published in $((published - started)) s, ran in $(($(date +%s) - published)) s"
exit $status
