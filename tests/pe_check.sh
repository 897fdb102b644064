#!/usr/bin/env bash
# pe_check.sh BIN_DIR: checks the shipped 32-bit programs without running
# them: 32-bit PE, the right subsystem, no DLLs but the system's (everything
# else, libssp of the stack guard included, is linked in), ASLR, DEP and the
# large-address flag (pe_check.py flags), and updater.exe's resources: dialog
# 102 field by field (pe_check.py dialog), the version resource in Japanese
# and code page 932 (pe_check.py version), icon group 105 with eight images,
# the manifest.
set -euo pipefail
bin=${1:?usage: pe_check.sh BIN_DIR}
here=$(cd "$(dirname "$0")" && pwd)
objdump=i686-w64-mingw32-objdump
windres=i686-w64-mingw32-windres
fail=0
check() { if ! eval "$2"; then echo "pe_check: FAIL: $1" >&2; fail=1; else echo "pe_check: ok: $1"; fi; }

system_dlls='^(KERNEL32|USER32|ADVAPI32|SHELL32|OLE32|COMCTL32|MSVCRT|GDI32)\.DLL$'
for exe in updater.exe pak.exe; do
  f=$bin/$exe
  check "$exe exists" "[ -f '$f' ]"
  [ -f "$f" ] || continue
  head=$($objdump -p "$f")
  check "$exe is a 32-bit PE" "grep -q 'file format pei-i386' <<< \"\$head\""
  others=$(grep 'DLL Name:' <<< "$head" | awk '{print toupper($3)}' | grep -Ev "$system_dlls" || true)
  check "$exe imports only system DLLs${others:+ (not: $others)}" "[ -z '$others' ]"
  python3 "$here/pe_check.py" flags "$f" || fail=1
done

if [ -f "$bin/updater.exe" ]; then
  head=$($objdump -p "$bin/updater.exe")
  check "updater.exe is a GUI program" "grep -q 'Subsystem.*(Windows GUI)' <<< \"\$head\""
  rc=$($windres -i "$bin/updater.exe" -J coff -O rc)
  python3 "$here/pe_check.py" dialog "$bin/updater.exe" || fail=1
  # The brand's texts are the publisher's; here only their place and language.
  python3 "$here/pe_check.py" version "$bin/updater.exe" || fail=1
  check "icon group 105 with eight images" "grep -A2 '^105 14' <<< \"\$rc\" | grep -q 'Has 8 elements'"
  check "a manifest" "grep -q '^1 24' <<< \"\$rc\""
fi
exit $fail
