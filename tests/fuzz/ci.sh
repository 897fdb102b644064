#!/usr/bin/env bash
# Builds the fuzz preset, writes the seed corpora anew, replays every target
# over its corpus and then fuzzes each for a while (60 s by default,
# KV_FUZZ_SECONDS to change). Any finding (crash, sanitizer report, broken
# rule, hang over 2 s, memory over 512 MiB) fails the run; what was found is
# kept under build/fuzz/findings/<target>/.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${KV_FUZZ_SECONDS:-60}"
out=build/fuzz/run
limits=(-timeout=2 -rss_limit_mb=512 -malloc_limit_mb=512)

# clang with its libFuzzer runtime; a fresh CI machine may lack them.
if ! command -v clang++ > /dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a \
    > /dev/null 2>&1; then
  apt-get install -y --no-install-recommends clang libclang-rt-dev zlib1g-dev
fi

cmake --preset fuzz
cmake --build --preset fuzz

rm -rf "$out/seeds"
mkdir -p "$out"
build/fuzz/bin/fuzz_seeds "$out/seeds"

declare -A corpus=([fuzz_kvstring]=kvstring [fuzz_pak]=pak [fuzz_pakmem]=pakmem [fuzz_profile]=profile)
declare -A dict=([fuzz_pak]=tests/fuzz/pak.dict [fuzz_pakmem]=tests/fuzz/pak.dict)

failed=0
for target in fuzz_kvstring fuzz_pak fuzz_pakmem fuzz_profile; do
  seeds="$out/seeds/${corpus[$target]}"
  work="$out/corpus/$target"
  findings="build/fuzz/findings/$target"
  mkdir -p "$work" "$findings"
  args=("${limits[@]}" -artifact_prefix="$findings/")
  [[ -n "${dict[$target]:-}" ]] && args+=(-dict="${dict[$target]}")

  echo "== $target: replaying $(ls "$seeds" | wc -l) seeds"
  if ! build/fuzz/bin/$target "${args[@]}" -runs=0 "$seeds" > "$out/$target.replay.log" 2>&1; then
    echo "FAIL $target on its seeds; see $out/$target.replay.log and $findings"
    tail -n 30 "$out/$target.replay.log"
    failed=1
    continue
  fi
  echo "== $target: fuzzing for ${seconds} s"
  if ! build/fuzz/bin/$target "${args[@]}" -max_total_time="$seconds" -print_final_stats=1 \
      "$work" "$seeds" > "$out/$target.log" 2>&1; then
    echo "FAIL $target; see $out/$target.log and $findings"
    grep -E 'ERROR|SUMMARY|check failed|Test unit written' "$out/$target.log" | head -n 20 || true
    failed=1
    continue
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$out/$target.log" || true
done
exit "$failed"
