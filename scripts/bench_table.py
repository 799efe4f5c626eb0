#!/usr/bin/env python3
"""The table of make bench: the native benchmarks (Google Benchmark's JSON) and the
rows of the Wine harness (tab-separated), side by side, with their targets.

    bench_table.py MACHINE.txt NATIVE.json WINE.tsv [--smoke]

Native figures are the CPU time of one iteration, as the median and the 25th to 75th
percentiles over the repetitions; the harness's are wall-clock times over its samples.
Exits 1 when a benchmark failed to run (an error, or no figures at all). With --smoke
(a few iterations of each) the figures only show that everything ran: no verdicts."""
import json
import sys

# Names of the native benchmarks as the table shows them, with their targets (in us).
NATIVE = {
    "BM_TextsOfUserRowAnd99SlotRows": ("texts of the user's row and 99 occupied slot rows", 30),
    "BM_CompareRowsSort100/2": ("CompareRows: merge sort of 100 rows by Dist", None),
    "BM_CompareRowsSort100/1": ("CompareRows: merge sort of 100 rows by ID", None),
    "BM_CompareRowsSort100/5": ("CompareRows: merge sort of 100 rows by Lat", None),
    "BM_CompareRowsSort100/15": ("CompareRows: merge sort of 100 rows by Ref", None),
    "BM_BuildRequestBlock/0": ("BuildRequestBlock, Airborne", None),
    "BM_BuildRequestBlock/1": ("BuildRequestBlock, Ground", None),
    "BM_ServeRequest/0": ("simhost's ServeRequest, one request", None),
    "BM_ServeRequest/1": ("simhost's ServeRequest, one request, with its log", 100),
}

UNITS = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}


def quantile(values, q):
    values = sorted(values)
    if not values:
        return 0.0
    at = q * (len(values) - 1)
    i = int(at)
    if i + 1 >= len(values):
        return values[-1]
    return values[i] + (values[i + 1] - values[i]) * (at - i)


def number(value):
    if abs(value) >= 100:
        return "%.0f" % value
    if abs(value) >= 10:
        return "%.1f" % value
    return "%.2f" % value


def verdict(median, target):
    """'ok' or 'MISSED' against a target text like '<= 2000' or '< 0.2'."""
    if not target:
        return ""
    target = target.strip()
    for op in ("<=", "<", "="):
        if target.startswith(op):
            rest = target[len(op):].strip()
            try:
                limit = float(rest)
            except ValueError:
                return ""
            good = median <= limit if op == "<=" else median < limit if op == "<" else median == limit
            return "ok" if good else "MISSED"
    return ""


def main():
    machine, native_path, wine_path = sys.argv[1:4]
    smoke = "--smoke" in sys.argv[4:]
    rows = []
    failed = False

    with open(native_path) as f:
        report = json.load(f)
    runs = {}
    for b in report.get("benchmarks", []):
        if b.get("run_type") != "iteration":
            continue
        if b.get("error_occurred"):
            failed = True
            print("bench: %s: %s" % (b["name"], b.get("error_message", "error")), file=sys.stderr)
            continue
        name = b.get("run_name", b["name"])
        runs.setdefault(name, []).append(b["cpu_time"] * UNITS[b.get("time_unit", "ns")])
    for name, (what, target) in NATIVE.items():
        if name not in runs:
            failed = True
            print("bench: no figures for %s" % name, file=sys.stderr)
            continue
        v = runs[name]
        rows.append(("native (CPU)", what, quantile(v, 0.5), quantile(v, 0.25), quantile(v, 0.75),
                     "us", "<= %g" % target if target else "", len(v)))

    wine_rows = 0
    with open(wine_path) as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if fields[0] != "row" or len(fields) < 9:
                continue
            _, group, what, median, p25, p75, unit, target, n = fields[:9]
            rows.append((group, what, float(median), float(p25), float(p75), unit, target, int(n)))
            wine_rows += 1
    if wine_rows == 0:
        failed = True
        print("bench: the Wine harness gave no figures", file=sys.stderr)

    with open(machine) as f:
        for line in f:
            print(line.rstrip("\n"))
    if smoke:
        print("# smoke run: a few iterations of each, the figures only show that all of it ran")
    header = ("group", "what", "median", "p25-p75", "unit", "target", "", "n")
    table = [header]
    for group, what, median, p25, p75, unit, target, n in rows:
        spread = "" if n == 1 else "%s-%s" % (number(p25), number(p75))
        mark = "" if smoke else verdict(median, target)
        table.append((group, what, number(median), spread, unit, target, mark, str(n)))
    widths = [max(len(r[i]) for r in table) for i in range(len(header))]
    for i, r in enumerate(table):
        print("  ".join(c.rjust(widths[j]) if j in (2, 3, 7) else c.ljust(widths[j])
                        for j, c in enumerate(r)).rstrip())
        if i == 0:
            print("  ".join("-" * w for w in widths))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
