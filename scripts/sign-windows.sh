#!/usr/bin/env bash
# Signs Windows programs in place with osslsigncode (Authenticode, SHA-256), when a
# certificate is given; without one it leaves them as they are.
#   MSRCONFIG_SIGN_CERT  the certificate (PEM, or a PKCS#12 file ending in .p12 or .pfx)
#   MSRCONFIG_SIGN_KEY   its private key (PEM; not needed with PKCS#12)
#   MSRCONFIG_SIGN_PASS  the key's or the PKCS#12 file's password, if it has one
#   MSRCONFIG_SIGN_TIME  a timestamp server's URL, so that signatures outlive the certificate
# Usage: scripts/sign-windows.sh FILE...
set -euo pipefail
[ -n "${MSRCONFIG_SIGN_CERT:-}" ] || exit 0
for file in "$@"; do
  options=(-h sha256 -n "ZYN KVR MSR Configuration Utility")
  case $MSRCONFIG_SIGN_CERT in
    *.p12 | *.pfx) options+=(-pkcs12 "$MSRCONFIG_SIGN_CERT") ;;
    *) options+=(-certs "$MSRCONFIG_SIGN_CERT" -key "$MSRCONFIG_SIGN_KEY") ;;
  esac
  [ -z "${MSRCONFIG_SIGN_PASS:-}" ] || options+=(-pass "$MSRCONFIG_SIGN_PASS")
  [ -z "${MSRCONFIG_SIGN_TIME:-}" ] || options+=(-ts "$MSRCONFIG_SIGN_TIME")
  osslsigncode sign "${options[@]}" -in "$file" -out "$file.signed" >/dev/null
  mv "$file.signed" "$file"
done
