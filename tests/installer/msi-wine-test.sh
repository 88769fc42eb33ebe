#!/usr/bin/env bash
# The MSI of one bitness under Wine, as an administrator's deployment
# runs it, in a prefix of its own:
#   msi-wine-test.sh x64|x86 WORK_DIR
# 1. an MSI of the same files at an older version (0.9.0, with a README of
#    its own and a file the new one no longer has) installs silently;
# 2. the project's MSI upgrades it: one entry in Add/Remove Programs, with
#    the new version and publisher, and the new files only;
# 3. portctl.exe lists the ports from the install folder and, by name,
#    from the system PATH, each in a new process;
# 4. the module's files stand where its manifest and library expect them;
# 5. /x removes every file and folder the install added, the PATH entry,
#    and every registry key naming the product.
# Takes the MSIs from $PACKAGE_DIR (build/package) and the release tree
# from $RELEASE_DIR (build/release).  Exits 77 (skipped) where the MSIs,
# wixl or Wine for this bitness are missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
arch=$1 work=$2
PACKAGE_DIR=${PACKAGE_DIR:-$root/build/package}
RELEASE_DIR=${RELEASE_DIR:-$root/build/release}
version=$(sed -n 's/^project(portopt VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
case $arch in
    x64) machine=x86_64 zip_arch=win64 program_files="Program Files" ;;
    x86) machine=i686 zip_arch=win32 program_files="Program Files" ;;
    *) echo "usage: $0 x64|x86 WORK_DIR" >&2; exit 2 ;;
esac
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }

msi=$PACKAGE_DIR/portopt-$version-$arch.msi
[[ -f $msi ]] || skip "no portopt-$version-$arch.msi in $PACKAGE_DIR: scripts/msi.sh builds it"
command -v wixl >/dev/null && command -v msibuild >/dev/null || skip "wixl or msibuild (msitools) is not installed"
prefix=$work/wineprefix
# Skips, with its reason, where Wine cannot run this bitness's programs.
"$root/cmake/wine-run.sh" --prefix "$prefix" --check "$machine" >/dev/null || exit $?
# A 32-bit prefix (wine-run.sh's choice for i686) has no "Program Files (x86)".
rm -rf "$work"
mkdir -p "$work"
"$root/cmake/wine-run.sh" --prefix "$prefix" --boot "$machine" >/dev/null
# wine-run.sh --check has exported nothing to us: the same settings here.
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [[ $machine == i686 ]]; then wine=${WINE32_LOADER:-/usr/lib/wine/wine}; export WINEARCH=win32
else wine=${WINE64_LOADER:-/usr/lib/wine/wine64}; export WINEARCH=win64; fi
export WINELOADER=$wine
drive=$prefix/drive_c
install_dir=$drive/$program_files/portopt
module_dir=$drive/$program_files/WindowsPowerShell/Modules/Portopt
winpath() { echo "Z:${1//\//\\}"; }
msiexec() { "$wine" msiexec "$@" /qn || fail "msiexec $* exited $?"; "${wine%/*}/wineserver" -w; }
files() { (cd "$drive" && find . -path ./windows -prune -o -print | sort); }
registry() { cat "$prefix/system.reg" "$prefix/user.reg"; }
system_path() { "$wine" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v Path | tr -d '\r' | sed -n 's/.*REG_EXPAND_SZ *//p'; }

files_before=$(files)
path_before=$(system_path)

echo "== 1. an older version installs silently"
old=$work/old
mkdir -p "$old/release"
cp -r "$RELEASE_DIR/portopt-$version-win32" "$RELEASE_DIR/portopt-$version-win64" "$RELEASE_DIR/psmodule" "$old/release/"
tree=$old/release/portopt-$version-$zip_arch
echo "the older version's README" >"$tree/share/doc/portopt/README.md"
echo "only in the older version" >"$tree/share/doc/portopt/RETIRED.txt"
RELEASE_DIR=$old/release PACKAGE_DIR=$old "$root/scripts/msi.sh" 0.9.0 >/dev/null 2>"$old/msi.log" ||
    { cat "$old/msi.log" >&2; fail "the older MSI does not build"; }
msiexec /i "$(winpath "$old/portopt-0.9.0-$arch.msi")"
[[ -f $install_dir/share/doc/portopt/RETIRED.txt ]] || fail "the older MSI did not install its files"

echo "== 2. the project's MSI replaces it"
msiexec /i "$(winpath "$msi")"
entries=$("$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | tr -d '\r' |
    grep -c "DisplayName.*REG_SZ *portopt " || true)
[[ $entries -eq 1 ]] || fail "$entries entries named portopt in Add/Remove Programs, expected 1"
uninstall=$("$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | tr -d '\r')
grep -q "DisplayVersion *REG_SZ *$version\$" <<<"$uninstall" || fail "Add/Remove Programs does not show version $version"
grep -q "Publisher *REG_SZ *The portopt authors" <<<"$uninstall" || fail "Add/Remove Programs shows no publisher"
[[ ! -e $install_dir/share/doc/portopt/RETIRED.txt ]] || fail "the older version's RETIRED.txt is still there"
cmp -s "$install_dir/share/doc/portopt/README.md" "$RELEASE_DIR/portopt-$version-$zip_arch/share/doc/portopt/README.md" ||
    fail "the README is not the new version's"
for file in "$RELEASE_DIR/portopt-$version-$zip_arch"/bin/*; do
    cmp -s "$file" "$install_dir/bin/${file##*/}" || fail "bin/${file##*/} is not the one shipped"
done
[[ ! -e $install_dir/include ]] || fail "the SDK feature, off by default, was installed"

echo "== 3. portctl lists the ports, from its folder and from PATH"
listed=$(cd "$work" && "$wine" "C:\\$program_files\\portopt\\bin\\portctl.exe" list) || fail "portctl.exe list from the install folder exited $?"
[[ $listed == PORT* ]] || fail "portctl.exe list printed: $listed"
# A bare name: Wine looks in the current folder, then the PATH of the registry.
listed=$(cd "$work" && "$wine" portctl.exe list) || fail "portctl.exe list from PATH exited $?"
[[ $listed == PORT* ]] || fail "portctl.exe list from PATH printed: $listed"

echo "== 4. the module's files where its manifest expects them"
manifest=$module_dir/Portopt.psd1
[[ -f $manifest ]] || fail "no Portopt.psd1 in $module_dir"
expected=(Portopt.Net.dll)
for key in RootModule FormatsToProcess; do
    mapfile -t -O ${#expected[@]} expected < <(tr -d '\r' <"$manifest" | sed -n "s/^ *$key = //p" | grep -o "'[^']*'" | tr -d "'")
done
root_module=$(tr -d '\r' <"$manifest" | sed -n "s/^ *RootModule = '\(.*\)'/\1/p")
expected+=("en-US/$root_module-Help.xml")
for bits in x86:win32 x64:win64; do
    for dll in "$RELEASE_DIR/portopt-$version-${bits#*:}"/bin/*.dll; do expected+=("${bits%%:*}/${dll##*/}"); done
done
for file in "${expected[@]}"; do
    [[ -f $module_dir/$file ]] || fail "the module lacks $file"
done
grep -q "ModuleVersion = '$version'" "$manifest" || fail "the installed manifest is not version $version"

echo "== 5. /x leaves nothing behind"
msiexec /x "$(winpath "$msi")"
diff <(echo "$files_before") <(files) >"$work/files.diff" || { cat "$work/files.diff" >&2; fail "the files above differ from before the install"; }
# Wine keeps the separator before each removed part of a value: the PATH's
# entries, without empty ones, are compared.
entries() { tr ';' '\n' <<<"$1" | sed '/^$/d'; }
[[ $(entries "$(system_path)") == "$(entries "$path_before")" ]] ||
    fail "the system PATH is $(system_path), was $path_before"
if registry | grep -i -n -E 'portopt|portctl' >"$work/registry.left"; then
    cat "$work/registry.left" >&2
    fail "the registry still names the product"
fi
(cd "$work" && "$wine" portctl.exe list >/dev/null 2>&1) && fail "portctl.exe still runs from PATH"
echo "msi under Wine ($arch): passed"
