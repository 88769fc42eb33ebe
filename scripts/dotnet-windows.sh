# Sourced by the scripts that package .NET assemblies with the Windows DLLs
# (nupkg.sh, psmodule.sh), from the repository's root, with what they make
# as $1: sets JOBS, WINDOWS_BUILD_DIR, WINDOWS64_BUILD_DIR, RELEASE_DIR and
# PACKAGE_DIR (by default 2, build/windows, build/windows64, build/release
# and build/package), says so and ends the script where dotnet is missing,
# lays out the release tree (scripts/release-tree.sh: the stripped, and
# when a certificate is given signed, DLLs) unless the caller has
# (PORTOPT_RELEASE_TREE_READY set), sets NATIVE_X86_DIR and NATIVE_X64_DIR
# to its two bin/ folders, and sets up dotnet's environment
# (dotnet/dotnet-env.sh).
export JOBS=${JOBS:-2}
export WINDOWS_BUILD_DIR=${WINDOWS_BUILD_DIR:-$PWD/build/windows}
export WINDOWS64_BUILD_DIR=${WINDOWS64_BUILD_DIR:-$PWD/build/windows64}
export RELEASE_DIR=${RELEASE_DIR:-$PWD/build/release}
PACKAGE_DIR=${PACKAGE_DIR:-$PWD/build/package}

if ! command -v dotnet >/dev/null 2>&1; then
    echo "SKIPPED: $1: dotnet is not installed"
    exit 0
fi
scripts/install-deps.sh --wine  # the MinGW toolchains, when missing

[[ -n ${PORTOPT_RELEASE_TREE_READY:-} ]] || scripts/release-tree.sh
release_version=$(sed -n 's/^project(portopt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
NATIVE_X86_DIR=$RELEASE_DIR/portopt-$release_version-win32/bin
NATIVE_X64_DIR=$RELEASE_DIR/portopt-$release_version-win64/bin

source dotnet/dotnet-env.sh
