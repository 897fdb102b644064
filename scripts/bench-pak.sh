#!/usr/bin/env bash
# bench-pak.sh: times pak against zip/unzip and tar on the same data, side by
# side in one run, and prints the table of the goals (figure, pak, peer,
# ratio, goal, met). Not a test: the times are wall-clock, so run it on a
# quiet machine (the load average is printed with the table).
#
# usage: scripts/bench-pak.sh [--files N] [--large-mib M] [--repeat R]
#   --files N      files copied from /usr/share and /usr/include (default 20000)
#   --large-mib M  size of each of the four large files (default 256)
#   --repeat R     runs of each command; the fastest counts (default 3)
# The data and results go to build/bench/pak/; the table also to
# build/bench/pak/table.md.
set -euo pipefail

files=20000
large=256
repeat=3
while [ $# -gt 0 ]; do
  case "$1" in
    --files) files=$2; shift 2 ;;
    --large-mib) large=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    *) echo "usage: $0 [--files N] [--large-mib M] [--repeat R]" >&2; exit 2 ;;
  esac
done

LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/bench/pak
mkdir -p "$work"
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target pak >/dev/null
PAK=$root/build/bench/bin/pak
for tool in zip unzip tar /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench-pak: $tool is needed" >&2; exit 2; }
done
cd "$work"

# --- the data: real files nobody here wrote, with names an archive for
# Windows can hold (no two differing only in case in one folder, no
# characters or device names Windows refuses).
if [ ! -f tree.done ] || [ "$(cat tree.done)" != "$files" ]; then
  rm -rf tree && mkdir tree
  (cd / && find usr/include usr/share -type f -size -4M 2>/dev/null |
    LC_ALL=C grep -E '^[A-Za-z0-9_./+-]+$' | LC_ALL=C grep -v -E '(^|/)(con|prn|aux|nul|com[1-9]|lpt[1-9])(\.|/|$)|[. ]$|\.(/|$)' -i |
    awk '{ k = tolower($0); if (!(k in seen)) { seen[k] = 1; print } }' |
    awk -F/ '{ p = ""; bad = 0; for (i = 1; i < NF; i++) { p = p tolower($i) "/"; if (p in files) bad = 1; dirs[p] = 1 }
               k = tolower($0); if (k "/" in dirs) bad = 1; files[k "/"] = 1; if (!bad) print }') >tree.all
  # (head alone would cut the pipe short, a failure under pipefail)
  head -n "$files" tree.all >tree.list
  [ "$(wc -l <tree.list)" -eq "$files" ] || { echo "bench-pak: only $(wc -l <tree.list) usable files under /usr" >&2; exit 2; }
  tar -C / -cf - -T tree.list | tar -C tree -xf -
  echo "$files" >tree.done
fi
if [ ! -f flat.done ]; then
  rm -rf flat && mkdir -p flat/many
  (cd flat/many && for i in $(seq 1 16000); do echo "file $i of one folder" >"f$i.txt"; done)
  touch flat.done
fi
if [ ! -f large.done ] || [ "$(cat large.done)" != "$large" ]; then
  rm -rf large && mkdir large
  # Half text (the tree's files again and again), half random bytes.
  find tree -type f -name '*.h' -print0 | sort -z | xargs -0 cat >headers.txt
  for i in 1 2; do
    : >large/text$i.bin
    while [ "$(stat -c %s large/text$i.bin)" -lt $((large * 1048576)) ]; do
      cat headers.txt >>large/text$i.bin
    done
    truncate -s $((large * 1048576)) large/text$i.bin
    head -c $((large * 1048576)) /dev/urandom >large/random$i.bin
  done
  rm -f headers.txt
  echo "$large" >large.done
fi
tree_files=$(find tree -type f | wc -l)
tree_bytes=$(du -sb tree | cut -f1)
large_bytes=$(du -sb large | cut -f1)

# stash FOLDER: moves FOLDER out of the way, into trash/ (removed at the
# end). Extracts are timed into a new folder each run without deleting
# anything just before: a file system that has just freed thousands of
# inodes makes the next thousands of new files slow (ext4 passes over
# recently deleted inodes), whoever creates them.
mkdir -p trash
stash() {
  if [ -e "$1" ]; then mv "$1" "trash/$1.$(date +%s%N)"; fi
}

# best SECONDS_VAR KB_VAR -- COMMAND...: the fastest of $repeat runs, and the
# peak resident size of that run in KiB.
best() {
  local -n secs=$1 kib=$2
  shift 3
  secs=""
  kib=""
  for _ in $(seq 1 "$repeat"); do
    [ -n "${PREP:-}" ] && eval "$PREP"
    /usr/bin/time -f '%e %M' -o time.txt "$@" >/dev/null 2>err.txt || { echo "bench-pak: failed: $* ($(head -c 300 err.txt))" >&2; exit 1; }
    read -r s k <time.txt
    if [ -z "$secs" ] || awk -v a="$s" -v b="$secs" 'BEGIN { exit !(a < b) }'; then secs=$s; kib=$k; fi
  done
}

rows=()
# row FIGURE PAK PEER GOAL(max ratio) UNIT
row() {
  local ratio met
  if [ "$4" = - ]; then
    rows+=("| $1 | $2 $5 | $3 $5 | $(awk -v a="$2" -v b="$3" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }') | none set | — |")
    return
  fi
  ratio=$(awk -v a="$2" -v b="$3" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  met=$(awk -v r="$ratio" -v g="$4" 'BEGIN { print (r <= g ? "yes" : "**no**") }')
  rows+=("| $1 | $2 $5 | $3 $5 | $ratio | ≤ $4 | $met |")
}

# create, compressed, the tree
PREP='rm -f t.pak t.zip' best pak_s pak_k -- "$PAK" create --quiet --compress t.pak tree
PREP='rm -f t.pak t.zip' best zip_s zip_k -- zip -q -r -6 t.zip tree
"$PAK" create --quiet --compress t.pak tree
zip -q -r -6 t.zip tree
row "create --compress, $tree_files files ($((tree_bytes / 1048576)) MiB), vs zip -r -6" "$pak_s" "$zip_s" 0.7 s
row "&nbsp;&nbsp;archive size, vs zip's" "$(stat -c %s t.pak)" "$(stat -c %s t.zip)" 1.0 bytes
row "&nbsp;&nbsp;peak memory, vs zip's" "$pak_k" "$zip_k" - KiB

# create, stored, large files
PREP='rm -f l.pak l.tar' best pak_s pak_k -- "$PAK" create --quiet l.pak large
PREP='rm -f l.pak l.tar' best tar_s tar_k -- tar -cf l.tar large
row "create (stored), 4 files of $large MiB, vs tar -cf" "$pak_s" "$tar_s" 2 s
row "&nbsp;&nbsp;peak memory (goal: 64 MiB + directory)" "$pak_k" 65536 1.0 KiB

# extract the tree
PREP='stash out' best pak_s pak_k -- "$PAK" extract --quiet t.pak out
PREP='stash out' best unzip_s unzip_k -- unzip -q t.zip -d out
row "extract, $tree_files files, vs unzip -q" "$pak_s" "$unzip_s" 1.2 s

# extract 16 000 files of one folder
"$PAK" create --quiet --compress f.pak flat
rm -f f.zip && zip -q -r -6 f.zip flat
PREP='stash out' best pak_s pak_k -- "$PAK" extract --quiet f.pak out
PREP='stash out' best unzip_s unzip_k -- unzip -q f.zip -d out
row "extract, 16000 files in one folder, vs unzip -q" "$pak_s" "$unzip_s" 2 s
stash out

# list the tree
PREP='' best pak_s pak_k -- "$PAK" list t.pak
PREP='' best unzip_s unzip_k -- unzip -l t.zip
row "list, $tree_files entries, vs unzip -l" "$pak_s" "$unzip_s" 1.2 s

# One file of 1 GiB (the large text files again and again): memory stays
# bounded in create, stored and compressed, and in extract.
if [ ! -f gib.done ]; then
  rm -rf gib && mkdir gib && : >gib/one.bin
  while [ "$(stat -c %s gib/one.bin)" -lt 1073741824 ]; do cat large/text1.bin large/text2.bin >>gib/one.bin; done
  truncate -s 1073741824 gib/one.bin
  touch gib.done
fi
repeat_all=$repeat
repeat=1
PREP='rm -f g.pak' best pak_s pak_k -- "$PAK" create --quiet --compress g.pak gib
row "create --compress of one 1 GiB file ($pak_s s), peak memory (goal: 64 MiB + directory)" "$pak_k" 65536 1.0 KiB
PREP='stash out' best pak_s pak_k -- "$PAK" extract --quiet g.pak out
cmp -s out/gib/one.bin gib/one.bin || { echo "bench-pak: the 1 GiB file came back different" >&2; exit 1; }
row "extract of it, one 1 GiB compressed entry ($pak_s s), peak memory (goal: 64 MiB + directory)" "$pak_k" 65536 1.0 KiB
rm -f g.pak
PREP='rm -f g.pak' best pak_s pak_k -- "$PAK" create --quiet g.pak gib
row "create (stored) of one 1 GiB file ($pak_s s), peak memory (goal: 64 MiB + directory)" "$pak_k" 65536 1.0 KiB
rm -f g.pak
repeat=$repeat_all
stash out
rm -rf trash

{
  echo "scripts/bench-pak.sh on $(date -u '+%Y-%m-%d at %H:%M UTC'); machine: nproc $(nproc), $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(uname -sr), load average before and after: $LOAD_BEFORE / $(cut -d' ' -f1-3 /proc/loadavg); zip $(zip -v | sed -n 's/^This is Zip \([^ ]*\).*/\1/p'), $(tar --version | head -1), fastest of $repeat runs."
  echo
  echo "| figure | pak | peer | ratio | goal | met |"
  echo "|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
} >table.md
cat table.md
