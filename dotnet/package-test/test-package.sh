#!/usr/bin/env bash
# The NuGet package of scripts/nupkg.sh, as a user gets it:
#   1. its contents, metadata and native DLLs (check_package.py);
#   2. a consumer project (consumer/) that adds the package from the
#      package folder with `dotnet add package`, built for net8.0 and
#      net472: the net472 build must carry both bitnesses' DLLs in x86/
#      and x64/, the net8.0 build its runtimes/ folders;
#   3. the same consumer built for net472 with a runtime identifier, whose
#      output folder holds the native DLLs beside the managed assembly;
#   4. each build took the package's assembly of its framework (net8.0,
#      and netstandard2.0 for net472).
# Exits 77 (skipped) where dotnet or the package is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
PACKAGE_DIR=${PACKAGE_DIR:-$root/build/package}
RELEASE_DIR=${RELEASE_DIR:-$root/build/release}

if ! command -v dotnet >/dev/null 2>&1; then
    echo "SKIPPED: dotnet is not installed; the package test needs the .NET SDK"
    exit 77
fi
version=$(sed -n 's/^project(portopt VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
package=$PACKAGE_DIR/Portopt.$version.nupkg
if [[ ! -f $package ]]; then
    echo "SKIPPED: no Portopt.$version.nupkg in $PACKAGE_DIR: scripts/nupkg.sh builds it"
    exit 77
fi
source "$root/dotnet/dotnet-env.sh"
export PYTHONDONTWRITEBYTECODE=1

echo "== contents"
"${PYTHON:-/usr/bin/python3}" "$here/check_package.py" "$package" "$version" \
    "$RELEASE_DIR/portopt-$version-win32/bin" "$RELEASE_DIR/portopt-$version-win64/bin"

echo "== consumer: dotnet add package, build for net8.0 and net472"
# The consumer's own package folder: a package rebuilt under the same
# version must not be taken from a cache.
work=$root/build/dotnet/consumer
rm -rf "$work/project" "$work/packages/portopt"
mkdir -p "$work/project"
cp "$here/consumer/Consumer.csproj" "$here/consumer/Program.cs" "$work/project/"
cat >"$work/project/nuget.config" <<CONFIG
<?xml version="1.0" encoding="utf-8"?>
<configuration>
  <config><add key="globalPackagesFolder" value="$work/packages" /></config>
  <packageSources><add key="local" value="$PACKAGE_DIR" /></packageSources>
</configuration>
CONFIG
cd "$work/project"
dotnet add package Portopt --version "$version" >add.log 2>&1 || { cat add.log; exit 1; }
dotnet build -c Release --disable-build-servers --nologo -v quiet

missing=()
for file in net472/x86/portopt.dll net472/x86/comlist.dll net472/x64/portopt.dll net472/x64/comlist.dll \
    net472/x86/portprofile.dll net472/x64/portprofile.dll net8.0/runtimes/win-x64/native/portprofile.dll \
    net472/Portopt.Net.dll net8.0/Portopt.Net.dll \
    net8.0/runtimes/win-x86/native/portopt.dll net8.0/runtimes/win-x64/native/comlist.dll; do
    [[ -f bin/Release/$file ]] || missing+=("$file")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "FAILED: the consumer's build lacks ${missing[*]}" >&2
    exit 1
fi

echo "== consumer with a runtime identifier: the native DLLs beside the assembly"
# Such a build copies its platform's DLLs into the program's folder, where
# two names that differ only in case would be one file on Windows.
rm -rf "$work/rid"
dotnet build -c Release -f net472 -r win-x86 --disable-build-servers --nologo -v quiet -o "$work/rid"
clashes=$(ls "$work/rid" | tr '[:upper:]' '[:lower:]' | sort | uniq -d)
if [[ -n $clashes ]] || [[ ! -f $work/rid/portopt.dll ]] || [[ ! -f $work/rid/comlist.dll ]] ||
    [[ ! -f $work/rid/portprofile.dll ]]; then
    echo "FAILED: the build with a runtime identifier holds $(ls "$work/rid" | tr '\n' ' ')" >&2
    exit 1
fi

# The package's assemblies are for Windows alone (the wine64_dotnet suite
# runs them on Windows' own .NET under Wine): each build takes the one of
# its framework.
for framework in net8.0 net472; do
    asset=lib/$([[ $framework == net8.0 ]] && echo net8.0 || echo netstandard2.0)/Portopt.Net.dll
    if ! "${PYTHON:-/usr/bin/python3}" -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))' \
        "$package" "$asset" | cmp -s - "bin/Release/$framework/Portopt.Net.dll"; then
        echo "FAILED: the $framework consumer's Portopt.Net.dll is not the package's $asset" >&2
        exit 1
    fi
done
echo "package test: passed"
