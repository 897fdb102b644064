#!/usr/bin/env bash
# bench.sh [--smoke]: builds the benchmarks (presets bench and
# bench-windows64), runs them all and prints one table: each figure as a
# ratio to what it is measured against in the same run, with its goal.
#
#   archive_bench      Google Benchmark: the archive layer beside zlib alone,
#                      fread and PhysFS, at 1 000, 10 000 and 100 000 entries
#   bench_peak_memory  the peak resident size of reading a 256 MiB entry
#   bench_timed        the entry-read and lookup figures timed by the program
#                      itself, native and as a Windows program under Wine
#
# --smoke: small archives and one repetition (a check that it all still
# builds and runs, not figures to keep). Results: build/bench/results/.
# Another build may share the machine: run it on a quiet one for figures.
set -euo pipefail
cd "$(dirname "$0")/.."

smoke=()
[ "${1:-}" = --smoke ] && smoke=(--smoke)

bash scripts/install-deps.sh

cmake --preset bench >/dev/null
cmake --build --preset bench
cmake --preset bench-windows64 >/dev/null
cmake --build --preset bench-windows64

results=$PWD/build/bench/results
rm -rf "$results"
mkdir -p "$results"
# The benchmarks write their archives below the folder they run in.
cd build/bench

echo "bench.sh: archive_bench" >&2
# Repetitions in random order: a burst of other load falls on both sides of a
# ratio alike, and the fastest repetition of each is kept.
bin/archive_bench "${smoke[@]}" --work=work --benchmark_enable_random_interleaving=true \
    --benchmark_out="$results/archive_bench.json" --benchmark_out_format=json

echo "bench.sh: bench_peak_memory" >&2
bin/bench_peak_memory "${smoke[@]}" --work=work | tee "$results/peak_memory.txt"

echo "bench.sh: bench_timed, native and under Wine, taking turns" >&2
# Two rounds each, in turns, so that a burst of other load does not fall on
# one side only; the table keeps each figure's fastest round.
for _ in 1 2; do
    bin/bench_timed "${smoke[@]}" --work=work/timed-native | tee -a "$results/timed-native.txt"
    # Wine's own diagnostics (a volume label it cannot read on Z:) go to a
    # file; its server and services end with the program, not minutes later
    # in the middle of the next measurement.
    WINEPREFIX=$PWD/wine64 WINE_PERSIST=0 bash ../../cmake/wine-run.sh \
        ../bench-windows64/bin/bench_timed.exe "${smoke[@]}" --work=work/timed-wine \
        2>> "$results/timed-wine.stderr" | tr -d '\r' | tee -a "$results/timed-wine.txt"
done

{
    echo "Machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p' | head -n1), $(uname -sr)"
    echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC')${smoke:+ (smoke run: not figures to keep)}"
    echo
    python3 ../../tests/bench/bench_table.py "$results"
} | tee "$results/table.md"
