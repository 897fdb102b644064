#!/usr/bin/env bash
# pak_check_test.sh: pak check on update folders made here: update.ini loose
# and in archives of every version, stored and compressed; shadowed copies;
# every item status; every warning; the exit statuses; the JSON members.
#
# usage: pak_check_test.sh [--runner CMD | --emulator CMD] [--ascii] PAK FIXTURE
# (the options are cli_common.sh's)
# Exit code 0 when every check passed.
set -u

source "$(dirname "$0")/cli_common.sh" pak_check "$@"

# The tool under Wine prints code page 932 and CR LF; natively UTF-8.
to_utf8() { if [ "$wine" = 1 ]; then iconv -f CP932 -t UTF-8 | tr -d '\r'; else cat; fi; }

# check CASE EXPECTED_STATUS ARGS...: runs pak check ARGS in folder CASE;
# the report (as UTF-8) lands in CASE.out, standard error in CASE.err.
check() {
  local name=$1 expected=$2; shift 2
  (cd "$name" && "${runner[@]}" "$PAK" check "$@") >"$name.raw" 2>"$name.err"
  local status=$?
  to_utf8 <"$name.raw" >"$name.out"
  if [ "$status" -ne "$expected" ]; then
    fail "$name: pak check $*: status $status, expected $expected: $(head -c 400 "$name.err") $(head -c 600 "$name.out")"
  fi
}

# has CASE TEXT...: each TEXT occurs in the report of CASE.
has() {
  local name=$1; shift
  local t
  for t in "$@"; do
    grep -qF -- "$t" "$name.out" || fail "$name: report lacks '$t': $(cat "$name.out")"
  done
}
lacks() {
  local name=$1; shift
  local t
  for t in "$@"; do
    ! grep -qF -- "$t" "$name.out" || fail "$name: report should not hold '$t'"
  done
}

# profile FOLDER LINES...: writes FOLDER/update.ini in code page 932, CR LF.
profile() {
  local dir=$1; shift
  mkdir -p "$dir"
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932 >"$dir/update.ini"
}

# pak_create FOLDER ARCHIVE ARGS... PATHS: runs pak create inside FOLDER.
pak_create() {
  local dir=$1; shift
  (cd "$dir" && "${runner[@]}" "$PAK" create "$@") >/dev/null 2>&1 || fail "$dir: pak create $*"
}

# json_check CASE PYTHON: the JSON report of CASE, parsed, checked by the
# Python expression (d is the object).
json_check() {
  local name=$1 expr=$2
  python3 - "$name.raw" "$expr" <<'EOF' || fail "$name: JSON check failed: $expr: $(head -c 800 "$name.raw")"
import json, sys
raw = open(sys.argv[1], 'rb').read()
d = json.loads(raw.decode('utf-8'))
members = list(d.keys())[:6]
assert members == ['source', 'shadowed', 'settings', 'items', 'warnings', 'ok'], members
assert list(d['settings'].keys()) == ['GUID', 'SubDir', 'Title', 'Version', 'file']
assert eval(sys.argv[2]), sys.argv[2]
EOF
}

# --- every item status, from a loose profile: a file, a folder (its size is
# the sum of its files), a missing item, a wildcard, an absolute path, a
# path too long for the shell's copy, and blanks that belong to an item.
long=$(printf 'x%.0s' $(seq 1 250))
mkdir -p items/data/sub
printf 'hello' >items/readme.txt
printf '12345' >items/data/a.bin
printf 'xy' >items/data/sub/b.bin
profile items '[update]' 'GUID=Example' 'Title=製品' 'Version=2.0' 'SubDir=Data' \
  "file=data;readme.txt;;missing.txt;*.txt;C:\\Shared\\common.dat;$long; readme.txt"
check items 1
has items "update.ini: the loose file" "GUID     Example" "Title    製品" "Version  2.0" \
  "SubDir   Data" "folder    data  (2 files, 7 bytes)" "file      readme.txt  (5 bytes)" \
  "missing   missing.txt" "wildcard  *.txt" 'absolute  C:\Shared\common.dat' "too-long  $long" \
  "missing    readme.txt" "not ok: 4 errors"
lacks items "(default)"
check items 1 --json
json_check items "d['source'] == {'kind': 'loose', 'archive': None, 'entry': None} and d['shadowed'] == [] \
  and d['ok'] is False and [i['status'] for i in d['items']] == \
  ['folder', 'file', 'missing', 'wildcard', 'absolute', 'too-long', 'missing'] \
  and d['items'][0]['bytes'] == 7 and d['items'][1]['bytes'] == 5 and d['items'][2]['bytes'] is None \
  and d['items'][6]['item'] == ' readme.txt' and d['settings']['Title'] == {'value': '製品', 'default': False}"

# --- everything delivered: status 0; defaults are marked as such.
mkdir -p good
printf 'x' >good/a.txt
profile good '[UPDATE]' 'guid=Product' 'file=a.txt'
check good 0
has good "ok: 0 errors, 0 warnings" "Title    アップデート  (default)" "Version  1.01  (default)" \
  "SubDir     (default)" "GUID     Product"
lacks good "GUID     Product  (default)"
check good 0 --strict
check good 0 --json
json_check good "d['ok'] is True and d['settings']['Version'] == {'value': '1.01', 'default': True} \
  and d['settings']['Title']['value'] == 'アップデート' and d['warnings'] == []"
# The folder as an argument instead of the current folder.
check . 0 good
(cd good && "${runner[@]}" "$PAK" check --json . >../dot.raw 2>/dev/null) || fail "check --json . failed"
json_check dot "d['ok'] is True"

# --- update.ini inside archives of every version, stored and compressed,
# with a shadowed copy in an archive that sorts later and another entry
# whose name begins with update.ini in the same archive.
for v in 0 1 2 3; do
  for c in stored compressed; do
    [ $v -eq 0 ] && [ $c = compressed ] && continue
    name=v$v-$c
    mkdir -p "$name/src" "$name/old"
    printf 'x' >"$name/payload.bin"
    profile "$name/src" '[update]' "GUID=V$v" 'file=payload.bin'
    cp "$name/src/update.ini" "$name/src/update.ini.bak"
    profile "$name/old" '[update]' 'GUID=Old' 'file=gone.bin'
    flags=(--version $v)
    [ $c = compressed ] && flags+=(--compress)
    pak_create "$name/src" "${flags[@]}" ../a.pak update.ini update.ini.bak
    pak_create "$name/old" "${flags[@]}" ../b.pak update.ini
    rm -rf "$name/src" "$name/old"
    check "$name" 0
    has "$name" "update.ini: entry update.ini of a.pak" "also (not read): entry update.ini.bak of a.pak" \
      "also (not read): entry update.ini of b.pak" "GUID     V$v" "file      payload.bin  (1 bytes)"
    check "$name" 0 --json
    json_check "$name" "d['source'] == {'kind': 'archive', 'archive': 'a.pak', 'entry': 'update.ini'} \
      and d['shadowed'] == [{'archive': 'a.pak', 'entry': 'update.ini.bak'}, {'archive': 'b.pak', 'entry': 'update.ini'}] \
      and d['settings']['GUID']['value'] == 'V$v'"
  done
done

# --- a loose update.ini shadows every archived one.
mkdir -p loose-wins/src
printf 'x' >loose-wins/a.txt
profile loose-wins/src '[update]' 'GUID=Archived' 'file=a.txt'
pak_create loose-wins/src ../data.pak update.ini
rm -rf loose-wins/src
profile loose-wins '[update]' 'GUID=Loose' 'file=a.txt'
check loose-wins 0
has loose-wins "update.ini: the loose file" "also (not read): entry update.ini of data.pak" "GUID     Loose"

# --- the archives in Windows' order: a_1.pak before a1.pak, a.pak before
# a-b.pak (a byte order would take the other one).
for pair in "a_1 a1" "a a-b"; do
  set -- $pair
  dir=order-$1
  mkdir -p "$dir/s1" "$dir/s2"
  printf 'x' >"$dir/f.txt"
  profile "$dir/s1" '[update]' "GUID=$1" 'file=f.txt'
  profile "$dir/s2" '[update]' "GUID=$2" 'file=f.txt'
  pak_create "$dir/s1" "../$1.pak" update.ini
  pak_create "$dir/s2" "../$2.pak" update.ini
  rm -rf "$dir/s1" "$dir/s2"
  check "$dir" 0
  has "$dir" "update.ini: entry update.ini of $1.pak" "GUID     $1" "also (not read): entry update.ini of $2.pak"
done

# --- every warning the profile can earn, one folder each: the text it
# must hold and the status with and without --strict.
warn_case() {
  local name=$1 expect=$2; shift 2
  mkdir -p "$name"
  printf 'x' >"$name/a.txt"
  profile "$name" "$@"
  check "$name" 0
  has "$name" "$expect"
  check "$name" 1 --strict
  check "$name" 0 --json
  json_check "$name" "d['ok'] is True and any('$expect' in w for w in d['warnings'])"
  check "$name" 1 --json --strict
  json_check "$name" "d['ok'] is False"
}
warn_case w-space-before 'the key is "GUID " with its blanks' '[update]' 'GUID =x' 'GUID=y' 'file=a.txt'
warn_case w-space-around 'the key is " Title " with its blanks' '[update]' 'GUID=x' ' Title = t' 'file=a.txt'
warn_case w-indented-header 'a section header must begin the line' ' [update]' 'GUID=x' 'file=a.txt'
warn_case w-above 'GUID stands above every section header' 'GUID=top' '[update]' 'GUID=x' 'file=a.txt'
warn_case w-outside 'GUID is in section [other], which the updater never reads' \
  '[update]' 'GUID=x' 'file=a.txt' '[other]' 'GUID=y'
warn_case w-empty 'the empty value is passed over, it clears nothing: SubDir keeps' \
  '[update]' 'GUID=x' 'SubDir=' 'file=a.txt'
# \t stands for a TAB, which ends a key as "=" does: GUID\t=x gives GUID.
warn_case w-escaped-tab 'GUID was given on line 2; the reader takes that one' \
  '[update]' 'GUID\t=x' 'GUID=y' 'file=a.txt'
warn_case w-twice 'GUID was given on line 2; the reader takes that one' \
  '[update]' 'GUID=x' 'GUID=y' 'file=a.txt'
warn_case w-no-section 'the profile has no [update] section header' 'GUID=x' 'file=a.txt'
warn_case w-no-guid 'GUID is not set' '[update]' 'file=a.txt'
warn_case w-absolute 'lies outside the update folder' \
  '[update]' 'GUID=x' 'file=a.txt;C:\Shared\x.dat'
# The setting shown is the one the updater reads.
check w-space-before 0
has w-space-before "GUID     y"
check w-above 0
has w-above "GUID     top"
# A header without "]" hides the whole section: nothing is delivered.
mkdir -p w-no-bracket
printf 'x' >w-no-bracket/a.txt
profile w-no-bracket '[update' 'GUID=x' 'file=a.txt'
check w-no-bracket 1
has w-no-bracket 'a section header without "]" names [updat], not [update]' \
  'GUID is in section [updat], which the updater never reads' "GUID     guid  (default)" \
  "error: the file list is empty"

# A file that is no archive is passed over by the updater: a warning.
mkdir -p w-not-pak
printf 'x' >w-not-pak/a.txt
printf 'not an archive at all' >w-not-pak/junk.pak
profile w-not-pak '[update]' 'GUID=x' 'file=a.txt'
check w-not-pak 0
has w-not-pak "warning: archive junk.pak cannot be read"
check w-not-pak 1 --strict

# Two archives whose order Windows may see otherwise (a character the order
# table does not hold) both holding update.ini.
mkdir -p w-order/s
printf 'x' >w-order/a.txt
profile w-order/s '[update]' 'GUID=x' 'file=a.txt'
pak_create w-order/s ../one.pak update.ini
cp w-order/one.pak "w-order/ゞ.pak"
rm -rf w-order/s
check w-order 0
has w-order "may be tried in the other order on Windows"
check w-order 1 --strict

# --- status 1 without any item: an empty file list.
mkdir -p no-files
profile no-files '[update]' 'GUID=x'
check no-files 1
has no-files "error: the file list is empty"

# --- status 2: no update.ini at all, one that cannot be read, no such
# folder; bad usage is status 1, as for every command.
mkdir -p none
printf 'x' >none/a.txt
check none 2
grep -q "no update.ini" none.err || fail "none: $(cat none.err)"
mkdir -p broken
"${runner[@]}" "$FIXTURE" name-length-lies broken/x.pak >/dev/null 2>&1 || fail "fixture name-length-lies"
check broken 2
grep -q "update.ini cannot be read" broken.err || fail "broken: $(cat broken.err)"
check good 1 --no-such-option
check good 1 a b
check . 2 missing-folder
check good 0 --help

echo "pak_check_test: $failures failures"
[ $failures -eq 0 ]
