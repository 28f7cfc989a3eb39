#!/usr/bin/env python3
"""Runs bench_gif, which decodes and encodes the same large GIFs with Scenaria's GIF codec and
with giflib (libgif) in one program, and prints how many times faster the codec is
(ratio > 1: the codec is faster).

    bench/compare_giflib.py [path/to/bench_gif]
"""
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
BENCH = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build", "bin", "bench_gif")
RUNS = int(os.environ.get("SCENARIA_BENCH_RUNS", "5"))

DECODE_INPUTS = ["photo encoded by giflib", "graphic encoded by giflib",
                 "photo encoded by the codec", "graphic encoded by the codec"]
ENCODE_INPUTS = ["photo", "graphic"]


def medians():
    out = subprocess.run([BENCH, "--benchmark_format=json", f"--benchmark_repetitions={RUNS}",
                          "--benchmark_report_aggregates_only=true"],
                         check=True, capture_output=True).stdout
    times = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("error_occurred"):
            sys.exit(f"{b['name']}: {b.get('error_message')}")
        if b.get("aggregate_name") == "median":
            # Processor time: both sides run single-threaded in the same process, and it is
            # what stays comparable on a machine that other work shares.
            times[b["run_name"]] = b["cpu_time"]  # milliseconds
    return times


def main():
    if not os.access(BENCH, os.X_OK):
        sys.exit(f"{BENCH} is not built")
    times = medians()
    print("4000 x 3000 pixels, median of", RUNS, "runs, milliseconds of processor time")
    print(f"{'':35} {'codec':>9} {'giflib':>9} {'ratio':>7}")
    for kind, inputs in (("Decode", DECODE_INPUTS), ("Encode", ENCODE_INPUTS)):
        for i, name in enumerate(inputs):
            ours = times[f"{kind}Codec/{i}"]
            theirs = times[f"{kind}Giflib/{i}"]
            print(f"{kind.lower()} {name:28} {ours:9.1f} {theirs:9.1f} {theirs / ours:7.2f}")


if __name__ == "__main__":
    main()
