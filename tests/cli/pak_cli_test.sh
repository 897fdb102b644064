#!/usr/bin/env bash
# pak_cli_test.sh: the pak tool as publishers use it: create, list, extract
# and cat for every version, stored and compressed; determinism; refused
# names; broken archives; bad usage.
#
# usage: pak_cli_test.sh [--runner CMD | --emulator CMD] [--ascii] PAK FIXTURE
# (the options are cli_common.sh's)
# Exit code 0 when every check passed.
set -u

source "$(dirname "$0")/cli_common.sh" pak_cli "$@"

# The tool under Wine speaks code page 932; natively UTF-8.
to_utf8() { if [ "$wine" = 1 ]; then iconv -f CP932 -t UTF-8; else cat; fi; }

# run EXPECTED_STATUS ARGS...: runs pak, keeps stdout in out.txt and stderr
# in err.txt; any status above 1 (a crash, a signal) is always a failure.
run() {
  local expected=$1; shift
  local attempt status
  for attempt in 1 2; do
    "${runner[@]}" "$PAK" "$@" >out.txt 2>err.txt
    status=$?
    cp err.txt err.raw
    # Wine's own diagnostics (a volume it cannot query) are not the tool's.
    tr -d '\r' <err.txt | { if [ "$wine" = 1 ]; then grep -a -v '^wine: ' || true; else cat; fi; } \
      >err.clean && mv err.clean err.txt
    # A Wine start that fails on a loaded machine ends with a failure status
    # and not a word from the tool (which always says why it failed): run it
    # once more, and say so.
    if [ "$wine" = 1 ] && [ "$attempt" = 1 ] && [ "$status" -ne 0 ] && [ ! -s err.txt ] &&
       [ ! -s out.txt ]; then
      echo "note: pak $* ended with status $status and no output under Wine" \
           "(Wine said: $(head -c 300 err.raw | tr '\n' ' ')); run again" >&2
      continue
    fi
    break
  done
  # What the tool said, else what Wine said.
  local said=err.txt
  [ -s err.txt ] || said=err.raw
  if [ "$status" -gt 1 ]; then
    fail "pak $* crashed or failed badly (status $status): $(head -c 300 "$said")"
  elif [ "$status" -ne "$expected" ]; then
    fail "pak $*: status $status, expected $expected: $(head -c 300 "$said")"
  fi
  return $status
}

# one_line_error ARGS...: status 1 and exactly one line on standard error.
one_line_error() {
  run 1 "$@"
  local lines
  lines=$(wc -l <err.txt)
  [ "$lines" -eq 1 ] || fail "pak $*: $lines lines on stderr, expected 1"
}

fixture() { "${runner[@]}" "$FIXTURE" "$1" "$2" >/dev/null 2>&1 || fail "fixture $1"; }

# --- the tree to store: Japanese names (ソ and 表 end in the byte 0x5C in
# code page 932), a nested folder, an empty file, files under and of 16
# bytes, a 1 MiB file, and names that differ only in case from a prefix.
mkdir -p src/data/表/深い src/data/case
printf 'ソースの中身\n' >src/data/ソース.txt
printf 'tiny-marker' >src/data/small.txt          # 11 bytes: the tail rule
printf '0123456789abcdef' >src/data/sixteen.txt   # exactly 16
: >src/data/empty.txt
head -c 1048576 /dev/urandom >src/data/表/big.bin
printf '深いところ' >src/data/表/深い/ネスト.txt
printf 'lower ab' >src/data/case/ab
printf 'upper AB.txt' >src/data/case/AB.txt

# The listing we expect: name, size, kind; names relative to src/.
expected_listing() {
  (cd src && find data -type f | while read -r f; do
    printf '%s\t%s\t%s\n' "${f//\//\\}" "$(stat -c %s "$f")" "$1"
  done) | LC_ALL=C sort
}

# Names to cat: ASCII only when the command line is ANSI.
cat_names() {
  (cd src && find data -type f) | while read -r f; do
    if [ $ascii -eq 1 ] && printf '%s' "$f" | LC_ALL=C grep -q '[^ -~]'; then continue; fi
    printf '%s\n' "$f"
  done
}

for version in 0 1 2 3; do
  for mode in stored compressed; do
    [ $version -eq 0 ] && [ $mode = compressed ] && continue
    flags=(--version $version)
    [ $mode = compressed ] && flags+=(--compress)
    tag="v$version-$mode"
    mkdir -p "$tag/only"
    (cd src && "${runner[@]}" "$PAK" create "${flags[@]}" "../$tag/a.pak" data) 2>err.txt ||
      { fail "$tag: create: $(cat err.txt)"; continue; }

    run 0 list "$tag/a.pak"
    tr -d '\r' <out.txt | to_utf8 >"$tag/listing"
    LC_ALL=C sort "$tag/listing" >"$tag/listing.sorted"
    expected_listing $mode >"$tag/expected"
    diff "$tag/expected" "$tag/listing.sorted" >/dev/null ||
      fail "$tag: listing differs: $(diff "$tag/expected" "$tag/listing.sorted" | head -5)"
    # A name comes before every longer name that begins with it, in any case.
    ab=$(grep -n 'case\\ab	' "$tag/listing" | cut -d: -f1)
    AB=$(grep -n 'case\\AB.txt	' "$tag/listing" | cut -d: -f1)
    [ -n "$ab" ] && [ -n "$AB" ] && [ "$ab" -lt "$AB" ] || fail "$tag: case\\ab is not listed before case\\AB.txt"

    run 0 extract "$tag/a.pak" "$tag/out"
    diff -r src/data "$tag/out/data" >/dev/null || fail "$tag: extracted tree differs"

    # cat in a folder holding only the archive: exactly as the updater reads.
    cp "$tag/a.pak" "$tag/only/"
    while read -r f; do
      status=0
      (cd "$tag/only" && "${runner[@]}" "$PAK" cat "${f//\//\\}" >../cat.out 2>../cat.err) || status=$?
      cmp -s "$tag/cat.out" "src/$f" ||
        fail "$tag: cat $f differs (status $status, $(wc -c <"$tag/cat.out") bytes: $(head -c 60 "$tag/cat.out" | od -An -c | head -2 | tr -s ' ')): $(head -c 200 "$tag/cat.err")"
    done < <(cat_names)

    # Same inputs, same bytes.
    (cd src && "${runner[@]}" "$PAK" create "${flags[@]}" "../$tag/b.pak" data) 2>/dev/null
    cmp -s "$tag/a.pak" "$tag/b.pak" || fail "$tag: two creates differ"
  done
done

# Version 3 is scrambled by default; version 1 holds the same bytes plainly.
grep -q tiny-marker v1-stored/a.pak || fail "v1: the small entry is not held plain"
grep -q tiny-marker v3-stored/a.pak && fail "v3: the small entry's first 16 bytes are held plain"

# Key material given on the command line lands in the header.
(cd src && "${runner[@]}" "$PAK" create --key-block abc --directory-key 0x1234 ../keyed.pak data) ||
  fail "create with key material"
[ "$(od -An -tx1 -j4 -N4 keyed.pak | tr -d ' ')" = "61626300" ] || fail "key block not at offset 4"
[ "$(od -An -tx1 -j260 -N4 keyed.pak | tr -d ' ')" = "34120000" ] || fail "directory key not at 260"
run 0 extract keyed.pak keyed-out
diff -r src/data keyed-out/data >/dev/null || fail "keyed archive does not extract"
(cd src && "${runner[@]}" "$PAK" create --key-block "" ../nokey.pak data) || fail "empty key block"
run 0 extract nokey.pak nokey-out
diff -r src/data nokey-out/data >/dev/null || fail "archive with K = 0 does not extract"

# A file path is stored under its own name; "." stores a folder's contents.
(cd src/data && "${runner[@]}" "$PAK" create ../../single.pak small.txt) || fail "create from a file"
run 0 list single.pak
[ "$(tr -d '\r' <out.txt)" = "small.txt	11	stored" ] || fail "file path: $(cat out.txt)"
(cd src/data/表 && "${runner[@]}" "$PAK" create ../../../dot.pak .) || fail "create from ."
run 0 list dot.pak
tr -d '\r' <out.txt | to_utf8 | cut -f1 | LC_ALL=C sort | tr '\n' ' ' >dot.names
[ "$(cat dot.names)" = "big.bin 深い\\ネスト.txt " ] || fail "create from .: $(cat dot.names)"

# An archive written inside its own input folder does not take itself in.
mkdir self && printf x >self/x.txt
"${runner[@]}" "$PAK" create self/self.pak self 2>/dev/null
"${runner[@]}" "$PAK" create self/self.pak self 2>/dev/null
run 0 list self/self.pak
[ "$(tr -d '\r' <out.txt | cut -f1)" = 'self\x.txt' ] || fail "archive took itself in: $(cat out.txt)"

# --- refused names: nothing lands outside the target folder, the sound
# entries are still extracted, and the status is 1.
for v in 0 1 2 3; do
  mkdir -p "jail$v"
  fixture "evil-v$v" "jail$v/evil.pak"
  run 1 extract "jail$v/evil.pak" "jail$v/out"
  refused=$(grep -c '^pak: refused entry' err.txt)
  [ "$refused" -eq 13 ] || fail "evil-v$v: $refused refusals, expected 13: $(head -3 err.txt)"
  [ "$(cat "jail$v/out/ok.txt" 2>/dev/null)" = ok ] || fail "evil-v$v: ok.txt not extracted"
  [ "$(cat "jail$v/out/ok/inner.txt" 2>/dev/null)" = inner ] || fail "evil-v$v: ok\\inner.txt not extracted"
  found=$(cd "jail$v" && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' ')
  [ "$found" = "./evil.pak ./out ./out/ok ./out/ok.txt ./out/ok/inner.txt " ] ||
    fail "evil-v$v: files outside what was allowed: $found"
done
find / -xdev -maxdepth 1 -name 'evil*' 2>/dev/null | grep -q . && fail "an entry was written to /"

# --- broken and foreign archives: status 1, one line, never a crash.
while read -r kind; do
  case "$kind" in evil-*) continue ;; esac
  mkdir -p "broken/$kind"
  fixture "$kind" "broken/$kind/x.pak"
  case "$kind" in
    entry-*)
      # The directory holds together: the listing works, the bad entry
      # fails, and the sound entry a.txt is still extracted.
      run 0 list "broken/$kind/x.pak"
      run 1 extract "broken/$kind/x.pak" "broken/$kind/out"
      [ "$(cat "broken/$kind/out/a.txt" 2>/dev/null)" = fine ] || fail "$kind: a.txt not extracted"
      ;;
    *)
      one_line_error list "broken/$kind/x.pak"
      one_line_error extract "broken/$kind/x.pak" "broken/$kind/out"
      [ -z "$(ls -A "broken/$kind/out" 2>/dev/null)" ] || fail "$kind: extract wrote files"
      ;;
  esac
  # cat of a name inside a folder that holds only the broken archive.
  (cd "broken/$kind" && "${runner[@]}" "$PAK" cat a.txt >/dev/null 2>../../cat.err)
  status=$?
  [ $status -le 1 ] || fail "$kind: cat crashed (status $status): $(head -c 200 cat.err)"
done < <("${runner[@]}" "$FIXTURE" list | tr -d '\r')

# --- declared sizes are trusted no further than the file: a 1 MB archive
# claiming 1 GiB of directory and 43 million entries is reported broken in
# little memory (natively; the peak of the program run under Wine is Wine's).
if [ ${#runner[@]} -eq 0 ]; then
  fixture directory-claims-1gib claims.pak
  peak_mib=$(python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024)' "$PAK" list claims.pak)
  [ "$peak_mib" -lt 512 ] || fail "pak list of a 1 MB archive claiming 1 GiB took $peak_mib MiB"
fi

# --- bad usage and names not found: status 1, one line on stderr, and no
# archive (or temporary file) left behind.
mkdir usage && cp -r src/data usage/data
cd usage
one_line_error
one_line_error frobnicate
one_line_error create
one_line_error create x.pak
one_line_error create --version 4 x.pak data
one_line_error create --version x.pak data
one_line_error create --version -1 x.pak data
one_line_error create --version 0 --compress x.pak data
one_line_error create --version 1 --key-block abc x.pak data
one_line_error create --directory-key 0x100000000 x.pak data
one_line_error create --key-block "$(printf 'k%.0s' $(seq 257))" x.pak data
one_line_error create --bogus x.pak data
one_line_error create x.pak missing-folder
run 1 create x.pak data data
[ "$(grep -c 'the same name twice' err.txt)" -eq 8 ] || fail "create data data: each duplicate not reported: $(head -3 err.txt)"
one_line_error list
one_line_error list a.pak b.pak
one_line_error list missing.pak
one_line_error list data
one_line_error extract
one_line_error extract a b c
one_line_error extract missing.pak
one_line_error cat
one_line_error cat missing.txt
one_line_error cat a b
[ -z "$(ls x.pak* 2>/dev/null)" ] || fail "a failed create left $(ls x.pak*)"
# Duplicates, also in another case or between a file and a folder.
mkdir -p d1 d2 d3/same.txt && printf 1 >d1/same.txt && printf 2 >d2/same.txt && printf 3 >d2/SAME.TXT
printf 4 >d3/same.txt/inner
one_line_error create x.pak d1/same.txt d2/same.txt
one_line_error create x.pak d1/same.txt d2/SAME.TXT
one_line_error create x.pak d1/same.txt d3/same.txt
# A failed create leaves an existing archive as it was.
"${runner[@]}" "$PAK" create keep.pak data 2>/dev/null && cp keep.pak keep.orig
one_line_error create keep.pak data missing-folder
cmp -s keep.pak keep.orig || fail "a failed create changed the existing archive"
[ -z "$(ls ./*.pak-new 2>/dev/null)" ] || fail "a temporary file was left behind"
if [ $ascii -eq 0 ]; then
  # A name without a code page 932 form is an error, not a replacement.
  mkdir emoji && printf x >"emoji/smile-😀.txt"
  one_line_error create x.pak emoji
  one_line_error cat "😀"
  [ -z "$(ls x.pak* 2>/dev/null)" ] || fail "create of a name without code page 932 form left an archive"
fi
cd ..

# --- the command line as people know it from other archivers.
mkdir conv && cp -r src/data conv/data
cd conv
# An unknown option is an error, with one dash too: nothing is written, no
# archive named after the option.
one_line_error create -c x.pak data
one_line_error create --level=x x.pak data
one_line_error list -l a.pak
one_line_error extract -x a.pak
one_line_error --bogus
[ -z "$(ls -- -c x.pak* 2>/dev/null)" ] || fail "an unknown option wrote $(ls -- -c x.pak* 2>/dev/null)"
run 0 --version
grep -q '^pak [0-9]' out.txt || fail "--version: $(cat out.txt)"
for command in create list test extract cat; do
  run 0 help $command
  cp out.txt help.txt
  grep -q "usage: pak $command" help.txt || fail "help $command: no usage line"
  grep -q -- '--quiet' help.txt || fail "help $command: --quiet not described"
  run 0 $command --help
  cmp -s out.txt help.txt || fail "$command --help differs from help $command"
done
run 0 help create
for option in --version --compress --level --key-block --directory-key --force; do
  grep -q -- "^  $option .*[a-z]" out.txt || fail "help create: $option not described"
done
run 0 --help
for command in create list test extract cat; do
  grep -q "pak $command" out.txt || fail "--help: $command missing"
done
one_line_error help frobnicate
# "--" ends the options: an archive may be named like an option.
run 0 create --quiet -- -c.pak data
[ -f ./-c.pak ] || fail "create -- -c.pak did not write -c.pak"
# A summary line at the end; --quiet gives none.
run 0 create plain.pak data
tr -d '\r' <out.txt | grep -q '^created plain.pak: [0-9]* files, .* in, .* out, .* s$' || fail "create summary: $(cat out.txt)"
run 0 create --quiet plain.pak data
[ ! -s out.txt ] || fail "create --quiet printed: $(cat out.txt)"
run 0 extract --quiet plain.pak quiet-out
[ ! -s out.txt ] || fail "extract --quiet printed: $(cat out.txt)"
run 0 extract plain.pak summary-out
grep -q '^extracted plain.pak to summary-out: 8 files' out.txt || fail "extract summary: $(cat out.txt)"

# An existing file that is no archive is never replaced, unless --force.
printf '[update]\nGUID=x\n' >update.ini && cp update.ini update.orig
one_line_error create update.ini data
cmp -s update.ini update.orig || fail "create replaced a file that is no archive"
grep -q -- '--force' err.txt || fail "refusal does not name --force: $(cat err.txt)"
run 0 create --force --quiet update.ini data
cmp -s update.ini update.orig && fail "create --force left the file as it was"
cp plain.pak again.pak && run 0 create --quiet again.pak data/small.txt
run 0 list again.pak
[ "$(tr -d '\r' <out.txt | cut -f1)" = small.txt ] || fail "an existing archive was not replaced"
mkdir adir && one_line_error create adir data

# pak test: every entry read through the archive layer, each reported.
run 0 create --compress --quiet packed.pak data
run 0 test packed.pak
[ "$(grep -c '	ok	compressed, zlib checksum matches' out.txt)" -eq 8 ] || fail "test: $(head -3 out.txt)"
run 0 test plain.pak
[ "$(grep -c '	ok	stored.*no checksum' out.txt)" -eq 8 ] || fail "test of stored entries: $(head -3 out.txt)"
for kind in entry-stream-corrupt entry-past-end-v1 entry-size-bomb; do
  fixture "$kind" "$kind.pak"
  run 1 test "$kind.pak"
  grep -q '^pak: entry .* failed: ' err.txt || fail "test $kind: no failing entry named: $(cat err.txt)"
  grep -q '^a.txt	ok' out.txt || fail "test $kind: the sound entry a.txt not reported ok: $(cat out.txt)"
done
fixture version-4 notpak.pak
one_line_error test notpak.pak

# extract ARCHIVE DIR NAME...: only the entries (or folders) named.
run 0 extract plain.pak chosen 'data/small.txt' 'DATA\CASE'
found=$(cd chosen && find . -type f | LC_ALL=C sort | tr '\n' ' ')
[ "$found" = "./data/case/AB.txt ./data/case/ab ./data/small.txt " ] || fail "extract NAME...: $found"
run 1 extract plain.pak chosen2 data/small.txt data/nothere
grep -q 'not in the archive: data/nothere' err.txt || fail "extract of a missing name: $(cat err.txt)"
[ -f chosen2/data/small.txt ] || fail "extract with a missing name skipped the others"

# A folder that exists in another case is gone into, as on Windows.
mkdir -p names && printf a >names/a.txt && printf b >names/b.txt
run 0 create --quiet names.pak names
mkdir -p caseq/NAMES
run 0 extract --quiet names.pak caseq
found=$(cd caseq && find . | LC_ALL=C sort | tr '\n' ' ')
[ "$found" = ". ./NAMES ./NAMES/a.txt ./NAMES/b.txt " ] || fail "extract into a folder in another case: $found"

# Many files in one folder, extracted whole and none left under a
# temporary name.
mkdir -p flat/many && (cd flat/many && for i in $(seq 1 400); do printf "$i" >"f$i.txt"; done)
run 0 create --quiet --compress flat.pak flat
run 0 extract --quiet flat.pak flat-out
diff -r flat flat-out/flat >/dev/null || fail "extract of 400 files in one folder differs"
[ -z "$(find flat-out -name '*.pak-part*')" ] || fail "extract left temporary files"
cd ..

# An interrupted extract (SIGTERM, or SIGINT as Ctrl-C sends it) leaves no
# cut-short file under an entry's name and no temporary file (signals reach
# only the native program).
if [ ${#runner[@]} -eq 0 ]; then
  mkdir -p intr/src && truncate -s 128M intr/src/zeros.bin && printf x >intr/src/zz-last.txt
  (cd intr/src && "$PAK" create --quiet --compress --version 1 ../big.pak zeros.bin zz-last.txt) || fail "create of the big archive"
  rm -f intr/src/zeros.bin
  for signal in TERM INT; do
    rm -rf intr/out
    "$PAK" extract --quiet intr/big.pak intr/out 2>intr/err.txt &
    pid=$!
    for _ in $(seq 1 500); do
      [ -s intr/out/zeros.bin ] || [ -n "$(find intr/out -name 'zeros.bin.pak-part*' -size +0 2>/dev/null)" ] && break
      sleep 0.01
    done
    kill -$signal $pid 2>/dev/null
    wait $pid
    status=$?
    if [ -e intr/out/zeros.bin ] && [ "$(stat -c %s intr/out/zeros.bin)" -ne 134217728 ]; then
      fail "an extract stopped by SIG$signal left zeros.bin cut short at $(stat -c %s intr/out/zeros.bin) bytes"
    fi
    [ -z "$(find intr/out -name '*.pak-part*' 2>/dev/null)" ] || fail "an extract stopped by SIG$signal left $(find intr/out -name '*.pak-part*')"
    [ -e intr/out/zz-last.txt ] && [ $status -ne 0 ] && fail "extract went on after SIG$signal"
    [ $status -eq 130 ] || [ $status -eq 0 ] || fail "extract stopped by SIG$signal: status $status: $(cat intr/err.txt)"
  done
  rm -rf intr
fi


# --- create: every refused input in one run, nothing written.
mkdir -p refuse/d/sub && cd refuse
printf 1 >d/ok.txt && printf 2 >'d/nul.txt' && printf 3 >'d/trail.' && printf 4 >d/sub/Same.txt && printf 5 >d/sub/same.TXT
if [ $ascii -eq 0 ]; then printf 6 >'d/wave〜dash.txt'; fi
run 1 create x.pak d missing
[ -z "$(ls x.pak* 2>/dev/null)" ] || fail "a refused create wrote $(ls x.pak*)"
grep -q 'nul.txt.*device name' err.txt || fail "refusals: nul.txt not reported: $(cat err.txt)"
grep -q 'trail\..*dot' err.txt || fail "refusals: trail. not reported: $(cat err.txt)"
grep -q 'missing' err.txt || fail "refusals: the missing input not reported: $(cat err.txt)"
grep -i 'same.txt.*same.txt' err.txt | grep -q 'Same.txt' || fail "refusals: the case clash does not name both: $(cat err.txt)"
grep -i 'same.txt.*same.txt' err.txt | grep -q 'same.TXT' || fail "refusals: the case clash does not name both: $(cat err.txt)"
if [ $ascii -eq 0 ]; then
  grep -q 'wave〜dash.txt in folder d: the character 〜 (U+301C)' err.txt || fail "refusals: U+301C not named with its folder: $(cat err.txt)"
fi
tail -1 err.txt | grep -q 'inputs refused; nothing written' || fail "refusals: no closing line: $(tail -1 err.txt)"

# An archive that would pass the format's limit is refused before any
# content is read, naming the inputs that put it over.
mkdir -p huge && truncate -s 2G huge/big.bin && printf x >small.txt
one_line_error create x.pak huge small.txt
grep -q 'limit.*huge 2.15 GB' err.txt || fail "over the limit: $(cat err.txt)"
[ -z "$(ls x.pak* 2>/dev/null)" ] || fail "an archive over the limit was written"
rm -rf huge

# --level: the zlib level of --compress; same bytes on every run.
mkdir -p lv && head -c 300000 /dev/urandom | od -An -tx1 >lv/text.txt
run 0 create --quiet --compress lv6.pak lv
run 0 create --quiet --compress --level 1 lv1.pak lv
run 0 create --quiet --compress --level 9 lv9.pak lv
run 0 create --quiet --compress --level 9 lv9b.pak lv
cmp -s lv9.pak lv9b.pak || fail "--level 9 twice gives different bytes"
[ "$(stat -c %s lv1.pak)" -gt "$(stat -c %s lv9.pak)" ] || fail "--level 1 is not larger than --level 9"
run 0 extract --quiet lv1.pak lv-out && diff -r lv lv-out/lv >/dev/null || fail "--level 1 archive does not extract"
one_line_error create --level 3 x.pak lv
one_line_error create --compress --level 10 x.pak lv

# A temporary file of ours, left by a killed run, is never taken in.
mkdir -p self2 && printf x >self2/x.txt && printf junk >self2/self.pak.pak-new && printf junk >self2/self.pak.pak-spool
run 0 create --quiet --compress self2/self.pak self2
run 0 list self2/self.pak
[ "$(tr -d '\r' <out.txt | cut -f1 | tr '\n' ' ')" = 'self2\x.txt ' ] || fail "a temporary file was taken in: $(cat out.txt)"
cd ..

# An interrupted create (SIGTERM, or SIGINT as Ctrl-C sends it) leaves
# neither the archive nor a temporary file, stored or compressed.
if [ ${#runner[@]} -eq 0 ]; then
  mkdir -p cintr && head -c 64M /dev/urandom >cintr/random.bin
  for signal in TERM INT; do
    for how in "--compress --level 9" ""; do
      # shellcheck disable=SC2086 # $how is a list of options
      "$PAK" create --quiet $how cintr/x.pak cintr/random.bin 2>cintr/err.txt &
      pid=$!
      for _ in $(seq 1 500); do
        [ -n "$(find cintr -name 'x.pak.pak-*' -size +0 2>/dev/null)" ] && break
        sleep 0.01
      done
      kill -$signal $pid 2>/dev/null
      wait $pid
      status=$?
      # 64 MiB at level 9 takes seconds: that one is always caught running.
      [ $status -eq 130 ] || { [ -z "$how" ] && [ $status -eq 0 ]; } || fail "create ${how:-stored} stopped by SIG$signal: status $status: $(cat cintr/err.txt)"
      left=$(cd cintr && ls x.pak.* 2>/dev/null)
      [ -z "$left" ] || fail "create ${how:-stored} stopped by SIG$signal left $left"
      [ $status -eq 0 ] || [ ! -e cintr/x.pak ] || fail "create ${how:-stored} stopped by SIG$signal left the archive"
      rm -f cintr/x.pak
    done
  done
  rm -rf cintr
fi

echo "pak_cli_test: $failures failures"
[ $failures -eq 0 ]
