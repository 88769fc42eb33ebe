# Sourced by the scripts that package .NET assemblies with the Windows DLLs
# (nupkg.sh, psmodule.sh), from the repository's root, with what they make
# as $1: sets JOBS, WINDOWS_BUILD_DIR, WINDOWS64_BUILD_DIR and PACKAGE_DIR
# (by default 2, build/windows, build/windows64 and build/package), says
# so and ends the script where dotnet is missing, configures the windows
# and windows64 presets when needed and builds their DLLs, and sets up
# dotnet's environment (dotnet/dotnet-env.sh).
JOBS=${JOBS:-2}
WINDOWS_BUILD_DIR=${WINDOWS_BUILD_DIR:-$PWD/build/windows}
WINDOWS64_BUILD_DIR=${WINDOWS64_BUILD_DIR:-$PWD/build/windows64}
PACKAGE_DIR=${PACKAGE_DIR:-$PWD/build/package}

if ! command -v dotnet >/dev/null 2>&1; then
    echo "SKIPPED: $1: dotnet is not installed"
    exit 0
fi
scripts/install-deps.sh --wine  # the MinGW toolchains, when missing

for build in "windows $WINDOWS_BUILD_DIR" "windows64 $WINDOWS64_BUILD_DIR"; do
    set -- $build
    [[ -f "$2/CMakeCache.txt" ]] || cmake --preset "$1" -B "$2" >/dev/null
    cmake --build "$2" --target portopt comlist portprofile -j "$JOBS" >/dev/null
done

source dotnet/dotnet-env.sh
