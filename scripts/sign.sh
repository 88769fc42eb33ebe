# Authenticode and NuGet signing for the release scripts, sourced from the
# repository's root.  A certificate is given by the environment:
#   PORTOPT_SIGN_PFX            the PKCS#12 file with the key and its chain
#   PORTOPT_SIGN_PASSWORD       its password
#   PORTOPT_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping server (optional)
# Without the first two every function here does nothing and the packages
# stay unsigned.  The password reaches osslsigncode through a pipe, never
# its command line, and nothing here prints it.

signing_enabled() { [[ -n ${PORTOPT_SIGN_PFX:-} && -n ${PORTOPT_SIGN_PASSWORD+set} ]]; }

# One line on what the packages will be.
signing_say() {
    if signing_enabled; then
        echo "signing: with the certificate in $PORTOPT_SIGN_PFX${PORTOPT_SIGN_TIMESTAMP_URL:+, time-stamped by $PORTOPT_SIGN_TIMESTAMP_URL}"
    else
        echo "signing: no certificate given (PORTOPT_SIGN_PFX, PORTOPT_SIGN_PASSWORD): the packages are unsigned"
    fi
}

# sign_files FILE...: signs each PE file, MSI or PowerShell file in place
# (osslsigncode tells them apart by their content and name).
sign_files() {
    signing_enabled || return 0
    local file timestamp=()
    [[ -n ${PORTOPT_SIGN_TIMESTAMP_URL:-} ]] && timestamp=(-ts "$PORTOPT_SIGN_TIMESTAMP_URL")
    for file in "$@"; do
        rm -f "$file.signed"
        if ! osslsigncode sign -pkcs12 "$PORTOPT_SIGN_PFX" -readpass <(printf '%s' "$PORTOPT_SIGN_PASSWORD") \
            -h sha256 -n portopt "${timestamp[@]}" -in "$file" -out "$file.signed" >"$file.sign-log" 2>&1; then
            cat "$file.sign-log" >&2
            rm -f "$file.signed" "$file.sign-log"
            echo "signing: FAILED: $file" >&2
            return 1
        fi
        rm -f "$file.sign-log"
        chmod --reference="$file" "$file.signed"
        mv "$file.signed" "$file"
    done
}

# sign_nupkg PACKAGE: the NuGet package's author signature.  The issuing CA
# must be one .NET finds on this machine (its system or the user's CA
# store); a root it does not trust is accepted with a warning.
sign_nupkg() {
    signing_enabled || return 0
    local timestamp=() log
    [[ -n ${PORTOPT_SIGN_TIMESTAMP_URL:-} ]] && timestamp=(--timestamper "$PORTOPT_SIGN_TIMESTAMP_URL")
    log=$(mktemp)
    # dotnet nuget sign takes the password only as an argument.
    if ! dotnet nuget sign "$1" --certificate-path "$PORTOPT_SIGN_PFX" \
        --certificate-password "$PORTOPT_SIGN_PASSWORD" --allow-untrusted-root --overwrite \
        "${timestamp[@]}" >"$log" 2>&1; then
        grep -E 'error|NU[0-9]' "$log" >&2
        rm -f "$log"
        echo "signing: FAILED: $1" >&2
        return 1
    fi
    rm -f "$log"
}
