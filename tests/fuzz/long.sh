#!/usr/bin/env bash
# Runs every fuzz target for longer, one after the other and niced (the
# machine is shared): 10 minutes each by default, or the minutes given as
# the first argument. Targets may be named after it. The corpus grows in
# build/fuzz/run/corpus/<target>, findings land in build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/../.."

minutes="${1:-10}"
shift || true
targets=("$@")
[[ ${#targets[@]} -eq 0 ]] && targets=(fuzz_kvstring fuzz_pak fuzz_pakmem fuzz_profile)

KV_FUZZ_SECONDS=1 bash tests/fuzz/ci.sh > /dev/null  # build, seeds, a replay

declare -A corpus=([fuzz_kvstring]=kvstring [fuzz_pak]=pak [fuzz_pakmem]=pakmem [fuzz_profile]=profile)
out=build/fuzz/run
failed=0
for target in "${targets[@]}"; do
  findings="build/fuzz/findings/$target"
  mkdir -p "$out/corpus/$target" "$findings"
  args=(-timeout=2 -rss_limit_mb=512 -malloc_limit_mb=512 -artifact_prefix="$findings/"
        -max_total_time=$((minutes * 60)) -print_final_stats=1)
  [[ $target == fuzz_pak || $target == fuzz_pakmem ]] && args+=(-dict=tests/fuzz/pak.dict)
  echo "== $target: $minutes min"
  if ! nice -n 10 build/fuzz/bin/$target "${args[@]}" "$out/corpus/$target" \
      "$out/seeds/${corpus[$target]}" > "$out/$target.long.log" 2>&1; then
    echo "FAIL $target; see $out/$target.long.log and $findings"
    failed=1
  fi
  grep -E '^Done|^stat::number_of_executed_units|^stat::peak_rss_mb' "$out/$target.long.log" || true
done
exit "$failed"
