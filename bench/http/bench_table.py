#!/usr/bin/env python3
"""Turns interleaved benchmark runs into a markdown table.

stdin: one run a line, "<path> <seconds> [<peak bytes above idle>]", in the
order they ran; the k-th run of every path belongs to round k. Every path is
compared with the path "bare": as the ratio of the medians, and as the median
(and range) of the per-round ratios, which pair runs made close together and
so cancel slow drifts of the machine's load.

  bench_table.py <title> <MiB> <rounds>   (title: download | hash)
"""
import statistics
import sys


def main():
    title, mib, rounds = sys.argv[1], float(sys.argv[2]), int(sys.argv[3])
    runs = {}
    peaks = []
    for line in sys.stdin:
        fields = line.split()
        if len(fields) < 2:
            continue
        runs.setdefault(fields[0], []).append(float(fields[1]))
        if len(fields) > 2 and fields[0] == "verified":
            peaks.append(int(fields[2]))
    if "bare" not in runs:
        sys.exit("bench_table: no run of the path bare")
    bare = runs["bare"]
    base = statistics.median(bare)
    print(f"{title}, {mib:g} MiB, {rounds} rounds (median, min – max):\n")
    print("| path | time | MiB/s | ÷ bare, medians | ÷ bare, per round |")
    print("|---|---|---|---|---|")
    for path, times in runs.items():
        median = statistics.median(times)
        paired = [t / b for t, b in zip(times, bare)]
        if path == "bare":
            per_round = "—"
        else:
            per_round = (f"{statistics.median(paired):.3f} "
                         f"({min(paired):.3f} – {max(paired):.3f})")
        print(f"| {path} | {median:.2f} s ({min(times):.2f} – {max(times):.2f}) "
              f"| {mib / median:.0f} | {median / base:.3f} | {per_round} |")
    for path in ("bare-write",):
        if path in runs and "verified" in runs:
            paired = [v / w for v, w in zip(runs["verified"], runs[path])]
            print(f"\nverified ÷ {path}, per round: {statistics.median(paired):.3f} "
                  f"({min(paired):.3f} – {max(paired):.3f})")
    if peaks:
        print(f"\npeak working set above idle, verified download: "
              f"median {statistics.median(peaks) / 1048576:.1f} MiB, "
              f"max {max(peaks) / 1048576:.1f} MiB")


if __name__ == "__main__":
    main()
