#!/usr/bin/env python3
"""Decodes the same 24-megapixel JPEG and writes it as a BMP three ways in one run and prints
the ratios: Scenaria's `scenarix-tool convert`, libjpeg-turbo's `djpeg -bmp` and ImageMagick's
`convert-im6.q16`. Each figure is the best of several whole-process runs (start, read, decode,
write the bitmap to a file), run in turn so that a busy machine slows them alike.

    bench/compare_jpeg.py [path/to/build/bin]

The picture comes from bench_jpeg (which writes it to $SCENARIA_BENCH_JPEG, default
/tmp/scenaria-bench-6000x4000.jpg, on its first run); bench_jpeg's own in-process figures
are printed too. Goal: within 10 % of djpeg and ahead of ImageMagick.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BIN = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build", "bin")
PICTURE = os.environ.get("SCENARIA_BENCH_JPEG", "/tmp/scenaria-bench-6000x4000.jpg")
RUNS = int(os.environ.get("SCENARIA_BENCH_RUNS", "5"))


def run(command):
    start = time.perf_counter()
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"{' '.join(command)} failed: {result.stderr.decode(errors='replace')}")
    return elapsed * 1000.0


def in_process_figures(bench):
    env = dict(os.environ, SCENARIA_BENCH_JPEG=PICTURE)
    out = subprocess.run([bench, "--benchmark_format=json", "--benchmark_repetitions=3",
                          "--benchmark_report_aggregates_only=true"],
                         check=True, capture_output=True, env=env).stdout
    return {b["run_name"]: b["real_time"] for b in json.loads(out)["benchmarks"]
            if b.get("aggregate_name") == "median"}


def main():
    tool = os.path.join(BIN, "scenarix-tool")
    bench = os.path.join(BIN, "bench_jpeg")
    for program in (tool, bench):
        if not os.access(program, os.X_OK):
            sys.exit(f"{program} is not built")
    djpeg = shutil.which("djpeg")
    im = shutil.which("convert-im6.q16")
    if not djpeg:
        sys.exit("djpeg (Debian's libjpeg-turbo-progs) is not installed")
    if not im:
        sys.exit("convert-im6.q16 (Debian's imagemagick-6.q16) is not installed")

    figures = in_process_figures(bench)  # also writes the picture
    if not os.path.exists(PICTURE):
        sys.exit(f"bench_jpeg did not write {PICTURE}")

    with tempfile.TemporaryDirectory() as work:
        commands = {
            "scenarix-tool convert": [tool, "convert", PICTURE, os.path.join(work, "s.bmp")],
            "djpeg -bmp": [djpeg, "-bmp", "-outfile", os.path.join(work, "d.bmp"), PICTURE],
            "ImageMagick convert": [im, PICTURE, os.path.join(work, "i.bmp")],
        }
        best = {name: None for name in commands}
        for _ in range(RUNS):
            for name, command in commands.items():
                ms = run(command)
                best[name] = ms if best[name] is None else min(best[name], ms)
        sizes = {name: os.path.getsize(command[-1] if name != "djpeg -bmp" else command[3])
                 for name, command in commands.items()}

    ours = best["scenarix-tool convert"]
    print(f"picture {PICTURE} ({os.path.getsize(PICTURE) / 1e6:.1f} MB), best of {RUNS} runs")
    print(f"{'JPEG to BMP, whole process':28} {'time':>9} {'BMP bytes':>11} {'their time / ours':>18}")
    for name in commands:
        print(f"{name:28} {best[name]:7.0f}ms {sizes[name]:11d} {best[name] / ours:18.2f}")
    print("in-process (bench_jpeg, median):")
    for key, label in [("BM_JpegLoad/0/real_time", "LoadFromFile, accurate integer DCT"),
                       ("BM_JpegLoad/1/real_time", "LoadFromFile, FastDecoding"),
                       ("BM_JpegToBmpFile/real_time", "LoadFromFile + SaveToFile .bmp"),
                       ("BM_JpegSave/real_time", "SaveToStreamAs jpg, quality 80")]:
        if key in figures:
            print(f"  {label:38} {figures[key]:7.0f}ms")
    goal_djpeg = best["djpeg -bmp"] / ours >= 1 / 1.10
    goal_im = best["ImageMagick convert"] / ours > 1
    print(f"within 10 % of djpeg: {'yes' if goal_djpeg else 'no'}; "
          f"ahead of ImageMagick: {'yes' if goal_im else 'no'}")


if __name__ == "__main__":
    main()
