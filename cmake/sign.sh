#!/usr/bin/env bash
# sign.sh PKCS12 TIMESTAMP_URL DESCRIPTION FILE: signs FILE in place
# (Authenticode, SHA-256) with the certificate and key of PKCS12. The
# password comes from the environment variable KV_SIGN_PASSWORD (empty when
# unset) and reaches osslsigncode through a file only this user can read,
# never through a command line that other users can see. TIMESTAMP_URL may
# be empty (no time stamp).
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: sign.sh PKCS12 TIMESTAMP_URL DESCRIPTION FILE" >&2; exit 2; }
p12=$1 url=$2 description=$3 file=$4
osslsigncode=${KV_OSSLSIGNCODE:-osslsigncode}

umask 077
work=$(mktemp -d "${TMPDIR:-/tmp}/kv-sign.XXXXXX")
trap 'rm -rf "$work"' EXIT
# printf is the shell's own: the password is on no process's command line.
printf '%s' "${KV_SIGN_PASSWORD:-}" > "$work/password"

args=(sign -pkcs12 "$p12" -readpass "$work/password" -h sha256 -n "$description")
[ -n "$url" ] && args+=(-ts "$url")
"$osslsigncode" "${args[@]}" -in "$file" -out "$work/signed" >"$work/log" 2>&1 || {
  cat "$work/log" >&2
  echo "sign.sh: signing $file failed" >&2
  exit 1
}
# Replace the program only once it is signed whole.
cp "$work/signed" "$file.signing" && mv -f "$file.signing" "$file"
echo "sign.sh: signed $file"
