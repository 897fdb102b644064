#!/usr/bin/env python3
"""bench_table.py RESULTS: the table of scripts/bench.sh, from the files its
programs wrote into RESULTS (archive_bench.json, peak_memory.txt,
timed-native.txt, timed-wine.txt). Every time taken is the fastest
repetition (min): on a shared machine the other load only ever adds."""
import json
import os
import re
import sys

results = sys.argv[1]
rows = []
wine_rows = []


# A figure of the issue without a goal of its own reads "none set"; the
# parts of a figure (indented) carry none.
def row(figure, measured, ratio, goal=None, met=None, into=rows):
    into.append((figure, measured, "—" if ratio is None else f"{ratio:.2f}",
                 goal or ("—" if figure.startswith(" ") else "none set"),
                 "—" if met is None else ("yes" if met else "**no**")))


def ms(v):
    return f"{v:.3f} ms" if v < 1 else f"{v:.2f} ms" if v < 100 else f"{v:.0f} ms"


# Google Benchmark: name -> (ms, counters); the min aggregate when there are
# repetitions, else the single run.
times, records = {}, {}
with open(os.path.join(results, "archive_bench.json")) as f:
    for b in json.load(f)["benchmarks"]:
        if b.get("error_occurred"):
            sys.exit(f"bench_table: {b['name']} failed: {b.get('error_message')}")
        base = re.sub(r"/repeats:\d+|/real_time|/iterations:\d+", "", b["run_name"])
        if b.get("aggregate_name") == "median" and "ratio" in b:
            times[base + ":ratio"] = b["ratio"]  # the paired figure: median of medians
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "min":
            continue
        if b.get("run_type") != "aggregate" and base in times:
            continue
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        times[base] = b["real_time"] * scale
        if "records" in b:
            records[base] = b["records"]
        for c in ("pak_ms", "fread_ms", "ratio"):
            if c in b and base + ":" + c not in times:
                times[base + ":" + c] = b[c]

counts = sorted({int(k.split("/")[1]) for k in times if k.startswith("pak_open_read/")})
t = times.get

for n in counts:
    total, zlib = t(f"pak_open_read/{n}"), t(f"zlib_inflates/{n}")
    goal = "≤ 1.3" if n == 10000 else "set at 10000"
    row(f"open + read of a 1 MiB compressed entry, {n} entries, vs zlib alone "
        "(directory + entry inflate)", f"{ms(total)} vs {ms(zlib)}", total / zlib, goal,
        total / zlib <= 1.3 if n == 10000 else None)
    z4 = t(f"zlib_inflates_4k/{n}")
    if z4:
        row("  the same, vs zlib alone fed 4096-byte pieces as Inflate reads them",
            f"{ms(total)} vs {ms(z4)}", total / z4)
    d, zd = t(f"directory_inflate/{n}"), t(f"zlib_directory/{n}")
    rec = t(f"record_decoding/{n}")
    e, ze = t(f"entry_inflate/{n}"), t(f"zlib_entry/{n}")
    per = rec * 1e6 / records[f"record_decoding/{n}"]
    row("  of it: directory inflate, vs zlib", f"{ms(d)} vs {ms(zd)}", d / zd)
    row("  of it: record decoding (version 3, 30-byte names)",
        f"{ms(rec)} = {per:.0f} ns/record", None, "≤ 100 ns/record", per <= 100)
    row("  of it: entry inflate, vs zlib", f"{ms(e)} vs {ms(ze)}", e / ze)
    ze4 = t(f"zlib_entry_4k/{n}")
    if ze4:
        row("  of it: entry inflate, vs zlib fed 4096-byte pieces", f"{ms(e)} vs {ms(ze4)}",
            e / ze4)
    row("  of it: the rest, by difference (file search, opens, entry buffer)",
        ms(total - d - rec - e), None)

# The paired figure: the median over the repetitions of the median of each
# repetition's per-turn ratios; the times are the fastest turns.
for key in [k for k in times if k.startswith("stored_read_and_fread/") and ":" not in k]:
    size = key.split("/")[1]
    s, fr, r = t(key + ":pak_ms"), t(key + ":fread_ms"), t(key + ":ratio")
    row(f"stored entry of {size} read whole (Open + Read), vs fopen + fread, taking turns "
        "(median of the turns' ratios; fastest times)", f"{ms(s)} vs {ms(fr)}", r, "≤ 1.05",
        r <= 1.05)

prof = [k for k in times if k.startswith("profile_lookups/")]
for key in prof:
    n = key.split("/")[1]
    p, z5 = t(key), t(f"directory_inflates_x5/{n}")
    row(f"the five update.ini lookups of an update run, {n} entries, vs five inflates of "
        "the directory", f"{ms(p)} vs {ms(z5)}", p / z5)

for n in counts:
    ph = t(f"physfs_mount_read/{n}")
    if ph is None:
        continue
    total = t(f"pak_open_read/{n}")
    row(f"Open + Read from a pak vs PhysFS mount + read of a zip, cold, {n} entries",
        f"{ms(total)} vs {ms(ph)}", total / ph, "≤ 1.0", total / ph <= 1.0)

look = [(n, t(f"lookup/{n}"), records.get(f"lookup/{n}")) for n in counts if t(f"lookup/{n}")]
if len(look) >= 2:
    (n0, t0, _), (n1, t1, _) = look[0], look[-1]
    growth = t1 / t0
    row(f"lookup time as the entries grow, {n0} to {n1} (the last record)",
        " → ".join(ms(x) for _, x, _ in look), growth, f"≤ {n1 / n0:.0f} (linear)",
        growth <= n1 / n0)
if len(look) >= 3:
    # The slope between the sizes, beside that of zlib alone on the same
    # directories: a larger directory leaves the caches, for zlib as well.
    (na, ta, ra), (nb, tb, rb), (nc, tc, rc) = look[0], look[1], look[2]
    low, high = (tb - ta) / (rb - ra), (tc - tb) / (rc - rb)
    za, zb, zc = (t(f"zlib_directory/{n}") for n in (na, nb, nc))
    zlow, zhigh = (zb - za) / (rb - ra), (zc - zb) / (rc - rb)
    row(f"  cost per added record, {nb}-{nc} vs {na}-{nb}",
        f"{high * 1e6:.0f} vs {low * 1e6:.0f} ns/record (zlib alone on the directory: "
        f"{zhigh * 1e6:.0f} vs {zlow * 1e6:.0f}, ratio {zhigh / zlow:.2f})", high / low)

with open(os.path.join(results, "peak_memory.txt")) as f:
    peak = dict(kv.split("=") for kv in f.read().split())
rise, entry, directory = (int(peak[k]) for k in ("peak_rise_bytes", "entry_bytes", "directory_bytes"))
budget = entry + directory + (1 << 20)
row(f"peak memory of reading a {entry >> 20} MiB compressed entry, vs entry + directory + 1 MiB",
    f"{rise / 2**20:.1f} MiB vs {budget / 2**20:.1f} MiB", rise / budget, "≤ 1.0", rise <= budget)


def timed(name):
    out = {}
    with open(os.path.join(results, name)) as f:
        for line in f:
            parts = line.split("\t")
            if len(parts) == 3:  # name, fastest, median (ns); the fastest round counts
                value = float(parts[1]) / 1e6
                out[parts[0]] = min(value, out.get(parts[0], value))
    return out


native, wine = timed("timed-native.txt"), timed("timed-wine.txt")
labels = {
    "zlib_inflates": "zlib alone, directory + entry (the compilers' share)",
    "pak_open_read": "open + read of the 1 MiB compressed entry",
    "lookup": "lookup of update.ini (the last record)",
    "volume_test": "  of a lookup: the volume test of the folder",
    "pak_search": "  of a lookup: the search for *.pak",
    "zlib_directory": "  zlib alone, the directory",
    "directory_inflate": "  of a lookup: the directory into a virtual memory block",
    "entry_inflate": "  of a read: the entry into a buffer of its own",
    "zlib_entry": "  zlib alone, the entry",
    "stored_read": "stored entry read whole",
    "fread": "fread of the same bytes",
}
for name, value in native.items():
    if name in wine:
        kind, _, size = name.partition("/")
        label = labels.get(kind, kind) + (f", {size}" if size else "")
        row(label, f"{ms(wine[name])} vs {ms(value)}", wine[name] / value, into=wine_rows)


def table(header, lines):
    print(header)
    print("|---|---|---|---|---|")
    for r in lines:
        print(("| " + " | ".join(r) + " |").replace("|   ", "| &nbsp;&nbsp;"))


table("| figure | measured | ratio | goal | met |", rows)
print()
table("| Windows build (x86_64 MinGW) under Wine vs native | Wine vs native | ratio | goal | met |",
      wine_rows)
