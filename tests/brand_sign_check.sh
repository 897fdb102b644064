#!/usr/bin/env bash
# brand_sign_check.sh: a publisher's build of the shipped 32-bit programs,
# branded and signed as README describes: a throwaway self-signed
# certificate made with openssl, the brand's texts (Japanese ones included)
# given as cache variables, the password only in the environment. Then
# osslsigncode verifies both signatures and pe_check.py reads the brand back
# out of updater.exe's version resource. Builds in build/windows-signed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/windows-signed
work=$(mktemp -d "${TMPDIR:-/tmp}/kv-brand.XXXXXX")
trap 'rm -rf "$work"' EXIT

export KV_SIGN_PASSWORD="pass word \"quoted\" 1"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Example Publisher/O=Example" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" \
  -passout env:KV_SIGN_PASSWORD

product='サンプル製品'
description='サンプル製品 データ更新'
company='Example "Quoted" Co.'
copyright='Copyright (C) 2026 Example\Publisher'
version='2.10.0.345'
cmake --preset windows -B "$build" -DKV_TESTS=OFF \
  -DKV_PRODUCT_NAME="$product" -DKV_FILE_DESCRIPTION="$description" -DKV_COMPANY_NAME="$company" \
  -DKV_COPYRIGHT="$copyright" -DKV_FILE_VERSION="$version" -DKV_SIGN_PKCS12="$work/cert.p12" >/dev/null
cmake --build "$build" -j2 --target updater pak

fail=0
for exe in updater.exe pak.exe; do
  if osslsigncode verify -CAfile "$work/cert.pem" -in "$build/bin/$exe" >"$work/verify.log" 2>&1 &&
      grep -q 'Signature verification: ok' "$work/verify.log"; then
    echo "brand_sign_check: ok: $exe is signed and its signature verifies"
  else
    echo "brand_sign_check: FAIL: $exe: signature" >&2
    cat "$work/verify.log" >&2
    fail=1
  fi
done
python3 tests/pe_check.py version "$build/bin/updater.exe" \
  "ProductName=$product" "FileDescription=$description" "CompanyName=$company" \
  "LegalCopyright=$copyright" "FileVersion=$version" "ProductVersion=$version" \
  "FILEVERSION=$version" || fail=1
# The signed programs are still the programs we ship.
bash tests/pe_check.sh "$build/bin" >/dev/null || { echo "brand_sign_check: FAIL: pe_check" >&2; fail=1; }
# The password never reached the cache or a build command.
if grep -rqF "$KV_SIGN_PASSWORD" "$build/CMakeCache.txt" "$build/app" "$build/tools" 2>/dev/null; then
  echo "brand_sign_check: FAIL: the password is written in the build folder" >&2
  fail=1
fi
exit $fail
