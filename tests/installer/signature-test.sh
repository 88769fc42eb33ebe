#!/usr/bin/env bash
# The release packages signed with a throwaway certificate:
#   signature-test.sh WORK_DIR
# makes a CA and a code-signing certificate issued by it with openssl (in
# WORK_DIR, removed at the end; nothing is kept), runs scripts/package.sh
# with them into WORK_DIR, and checks against that CA, with osslsigncode,
# every PE file, MSI and module file in every package: the ZIPs' binaries,
# the NuGet package's assemblies (and its own signature, with openssl),
# the module's assemblies, DLLs, manifest and formats, the MSIs and every
# such file inside them.  The check itself must refuse a file without a
# signature and one signed by another CA.  The password never appears in
# what the script printed.  Exits 77 (skipped) where openssl, osslsigncode
# 2.8 or later, msitools or dotnet is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$1
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }

for tool in openssl osslsigncode msiextract dotnet wixl; do
    command -v $tool >/dev/null || skip "$tool is not installed"
done
have=$(osslsigncode --version 2>&1 | sed -n '1s/^osslsigncode \([0-9.]*\).*/\1/p')
dpkg --compare-versions "${have:-0}" ge 2.8 || skip "osslsigncode $have cannot sign PowerShell files (2.8 or later can)"
for build in "${WINDOWS_BUILD_DIR:-$root/build/windows}" "${WINDOWS64_BUILD_DIR:-$root/build/windows64}"; do
    [[ -f $build/CMakeCache.txt ]] || skip "no Windows build in $build: scripts/wine-tests.sh or scripts/package.sh makes it"
done
version=$(sed -n 's/^project(portopt VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

rm -rf "$work"
mkdir -p "$work/keys"
trap 'rm -rf "$work/keys"' EXIT
keys=$work/keys
cat >"$keys/extensions.cnf" <<'CNF'
[req]
distinguished_name = dn
[dn]
[ca]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF
password=$(openssl rand -hex 16)
# make_signer NAME: NAME-ca.pem and NAME.pfx, a code-signing certificate it issued.
make_signer() {
    local name=$1
    openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=$name test CA" -keyout "$keys/$name-ca.key" \
        -out "$keys/$name-ca.pem" -config "$keys/extensions.cnf" -extensions ca 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -subj "/CN=$name test signer" -keyout "$keys/$name.key" \
        -out "$keys/$name.csr" -config "$keys/extensions.cnf" 2>/dev/null
    openssl x509 -req -days 1 -in "$keys/$name.csr" -CA "$keys/$name-ca.pem" -CAkey "$keys/$name-ca.key" \
        -CAcreateserial -out "$keys/$name.pem" -extfile "$keys/extensions.cnf" -extensions signer 2>/dev/null
    openssl pkcs12 -export -out "$keys/$name.pfx" -inkey "$keys/$name.key" -in "$keys/$name.pem" \
        -certfile "$keys/$name-ca.pem" -passout "pass:$password"
}
make_signer release
make_signer stranger
ca=$keys/release-ca.pem

# .NET builds the NuGet signer's chain from its stores: the CA goes into
# the CA store of a home of the test's own, which keeps the user's NuGet
# packages.
export NUGET_PACKAGES=${NUGET_PACKAGES:-$HOME/.nuget/packages}
export HOME=$work/home
store=$HOME/.dotnet/corefx/cryptography/x509stores/ca
mkdir -p "$store"
thumbprint=$(openssl x509 -in "$ca" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
openssl pkcs12 -export -nokeys -in "$ca" -out "$store/$thumbprint.pfx" -passout pass:

echo "== scripts/package.sh with the certificate"
packages=$work/package
if ! PORTOPT_SIGN_PFX=$keys/release.pfx PORTOPT_SIGN_PASSWORD=$password INSTALL_DEPS_DONE=1 \
    RELEASE_DIR=$work/release PACKAGE_DIR=$packages "$root/scripts/package.sh" >"$work/package.log" 2>&1; then
    cat "$work/package.log" >&2
    fail "scripts/package.sh failed"
fi
grep -q "^signing: with the certificate" "$work/package.log" || fail "scripts/package.sh did not say it signs"
! grep -qF "$password" "$work/package.log" || fail "scripts/package.sh printed the password"

# signed_by_ca FILE: an Authenticode signature that chains to the test CA.
signed_by_ca() { osslsigncode verify -CAfile "$ca" -in "$1" >"$work/verify.log" 2>&1; }

echo "== the check refuses an unsigned file and one signed by another CA"
sample_dll=$work/release/portopt-$version-win64/bin/portopt.dll
sample_psd1=$work/release/psmodule/Portopt/Portopt.psd1
osslsigncode remove-signature -in "$sample_dll" -out "$work/unsigned.dll" >/dev/null
sed '/^# SIG # Begin signature block/,$d' "$sample_psd1" >"$work/unsigned.psd1"
for kind in dll psd1; do
    osslsigncode sign -pkcs12 "$keys/stranger.pfx" -readpass <(printf '%s' "$password") -h sha256 \
        -in "$work/unsigned.$kind" -out "$work/stranger.$kind" >/dev/null
    for file in "unsigned.$kind" "stranger.$kind"; do
        ! signed_by_ca "$work/$file" || fail "the check accepts $file"
    done
done

verified=0
faults=()
verify() {
    if signed_by_ca "$1"; then verified=$((verified + 1)); else faults+=("$2"); fi
}
# verify_tree DIR LABEL: every PE, MSI and PowerShell file below DIR (the
# module's help is XML, which Authenticode does not sign; the module's
# System.Text.Json and the packages it needs keep their publisher's
# signature).
verify_tree() {
    local file
    while IFS= read -r file; do
        verify "$file" "$2/${file#"$1"/}"
    done < <(find "$1" -type f \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.msi' \
        -o -iname '*.psd1' -o -iname '*.psm1' -o -iname '*.ps1' -o -iname '*.ps1xml' \) \
        ! -iname 'System.*.dll' ! -iname 'Microsoft.Bcl.*.dll' | sort)
}
echo "== every package's files"
unpacked=$work/unpacked
for package in "portopt-$version-win32.zip" "portopt-$version-win64.zip" "Portopt.$version.nupkg" \
    "portopt-$version-powershell.zip" "portopt-$version-x86.msi" "portopt-$version-x64.msi"; do
    [[ -f $packages/$package ]] || { faults+=("$package: missing"); continue; }
    mkdir -p "$unpacked/$package"
    before=$verified
    case $package in
        *.msi)
            verify "$packages/$package" "$package"
            (cd "$unpacked/$package" && msiextract "$packages/$package" >/dev/null) ;;
        *) (cd "$unpacked/$package" && cmake -E tar xf "$packages/$package") ;;
    esac
    verify_tree "$unpacked/$package" "$package"
    [[ $verified -gt $before ]] || faults+=("$package: nothing in it verified")
done

echo "== the NuGet package's own signature"
signature=$unpacked/Portopt.$version.nupkg/.signature.p7s
if [[ ! -f $signature ]] ||
    ! openssl cms -verify -inform DER -in "$signature" -CAfile "$ca" -purpose any -out /dev/null 2>"$work/cms.log"; then
    faults+=("Portopt.$version.nupkg: no author signature by the test CA")
fi

if [[ ${#faults[@]} -gt 0 ]]; then
    printf 'FAILED: not signed by the test CA: %s\n' "${faults[@]}" >&2
    exit 1
fi
echo "signatures: $verified files in 6 packages verified against the test CA"
