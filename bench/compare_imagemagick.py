#!/usr/bin/env python3
"""Runs bench_imaging and the nearest ImageMagick commands on the same 6000 x 4000 picture in
one run and prints how many times faster Scenaria's library is (ratio > 1: Scenaria faster).

    bench/compare_imagemagick.py [path/to/bench_imaging]

ImageMagick's times are whole commands (start, read the PPM, work, write nothing); the
"less reading" column subtracts the time ImageMagick needs to read the picture alone, which
is the fairer match for the in-process library calls. When scenarix-tool has a "convert"
command, its whole-process times are printed too.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BENCH = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build", "bin", "bench_imaging")
PICTURE = os.environ.get("SCENARIA_BENCH_PICTURE", "/tmp/scenaria-bench-6000x4000.ppm")
RUNS = int(os.environ.get("SCENARIA_BENCH_RUNS", "3"))


def best_of(command, runs=RUNS):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        elapsed = time.perf_counter() - start
        if result.returncode != 0:
            raise RuntimeError(f"{' '.join(command)} failed: {result.stderr.decode(errors='replace')}")
        best = elapsed if best is None else min(best, elapsed)
    return best * 1000.0


def scenaria_times():
    env = dict(os.environ, SCENARIA_BENCH_PICTURE=PICTURE)
    out = subprocess.run([BENCH, "--benchmark_format=json",
                          f"--benchmark_repetitions={RUNS}",
                          "--benchmark_report_aggregates_only=true"],
                         check=True, capture_output=True, env=env).stdout
    times = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            times[b["run_name"]] = b["real_time"]  # milliseconds
    return times


def main():
    im = shutil.which("convert-im6.q16")
    if not im:
        sys.exit("convert-im6.q16 (Debian's imagemagick-6.q16) is not installed")
    if not os.access(BENCH, os.X_OK):
        sys.exit(f"{BENCH} is not built")
    ours = scenaria_times()  # also writes the picture
    if not os.path.exists(PICTURE):
        sys.exit(f"bench_imaging did not write {PICTURE}")

    read_only = best_of([im, PICTURE, "null:"])
    rows = [
        ("CopyRect smFast", "BM_CopyRect/0/real_time", ["-sample", "1920x1080!"]),
        ("CopyRect smMedium (interpolation)", "BM_CopyRect/1/real_time",
         ["-filter", "Triangle", "-resize", "1920x1080!"]),
        ("CopyRect smPrecise (area averaging)", "BM_CopyRect/2/real_time", ["-scale", "1920x1080!"]),
        ("MakeOptimizedPalette(232) + dithered CopyFrom", "BM_OptimizedPaletteAndDither/real_time",
         ["-dither", "FloydSteinberg", "-colors", "232"]),
    ]
    print(f"picture {PICTURE}, best of {RUNS}; ImageMagick reads it in {read_only:.0f} ms")
    print(f"{'operation':48} {'Scenaria':>9} {'IM':>9} {'IM less reading':>16} {'ratio':>6} {'ratio less reading':>19}")
    for name, key, args in rows:
        if key not in ours:
            sys.exit(f"bench_imaging reported no {key}")
        ms = ours[key]
        theirs = best_of([im, PICTURE] + args + ["null:"])
        net = max(theirs - read_only, 0.0)
        print(f"{name:48} {ms:8.0f}ms {theirs:8.0f}ms {net:15.0f}ms {theirs / ms:6.2f} {net / ms:19.2f}")

    tool = os.path.join(os.path.dirname(BENCH), "scenarix-tool")
    help_text = ""
    if os.access(tool, os.X_OK):
        help_text = subprocess.run([tool, "--help"], capture_output=True, text=True).stdout
    if "convert" not in help_text:
        print("scenarix-tool convert is not there yet: no whole-process figures for Scenaria")
        return
    with tempfile.TemporaryDirectory() as work:
        for name, args, im_args in [
            ("convert --resize 1920x1080", ["--resize", "1920x1080"], ["-scale", "1920x1080!"]),
            ("convert --colors 232", ["--colors", "232"], ["-dither", "FloydSteinberg", "-colors", "232"]),
        ]:
            out = os.path.join(work, "out.bmp")
            try:
                ms = best_of([tool, "convert"] + args + [PICTURE, out])
            except RuntimeError as e:
                print(f"scenarix-tool {name}: {e}")
                continue
            theirs = best_of([im, PICTURE] + im_args + [os.path.join(work, "im.bmp")])
            print(f"whole process {name:33} {ms:8.0f}ms {theirs:8.0f}ms ratio {theirs / ms:.2f}")


if __name__ == "__main__":
    main()
