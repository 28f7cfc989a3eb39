#!/usr/bin/env python3
"""The catalogue of 100 000 files in 1 000 folders (75 000 pictures), whole processes in one
run, best of several runs taken in turn: `scenarix-tool catalogue` (which builds the catalogue
as the program does and prints it) beside find(1) listing the same names. Both write their
lists into files, which must then hold the same names.

The tree is the one bench_catalogue makes (run it once first, or let this script run it):
$SCENARIA_BENCH_TREE, default /tmp/scenaria-bench-tree.

    bench/compare_catalogue.py [path/to/build/bin]
"""
import os
import resource
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BIN = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build", "bin")
TREE = os.environ.get("SCENARIA_BENCH_TREE", "/tmp/scenaria-bench-tree")
RUNS = int(os.environ.get("SCENARIA_BENCH_RUNS", "7"))
LIMIT = 1.5  # the catalogue may take at most this many times find's time


def cpu_of_children():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run(command, output):
    """Wall-clock and processor milliseconds of one run; the processor time tells more on a
    machine that other work keeps busy."""
    with open(output, "wb") as out:
        cpu = cpu_of_children()
        start = time.perf_counter()
        result = subprocess.run(command, stdout=out, stderr=subprocess.PIPE)
        elapsed = (time.perf_counter() - start) * 1000.0
        cpu = (cpu_of_children() - cpu) * 1000.0
    if result.returncode != 0:
        sys.exit(f"{' '.join(command)} failed: {result.stderr.decode(errors='replace')}")
    return elapsed, cpu


def main():
    if not os.path.exists(os.path.join(TREE, ".complete")):
        # bench_catalogue makes the tree on its first run.
        subprocess.run([os.path.join(BIN, "bench_catalogue"), "--benchmark_filter=Rebuild"],
                       check=True, env=dict(os.environ, SCENARIA_BENCH_TREE=TREE),
                       stdout=subprocess.DEVNULL)
    with tempfile.TemporaryDirectory() as work:
        ini = os.path.join(work, "scenarix.INI")
        with open(ini, "w") as f:
            f.write(f"[Diduzavizo]\nDirectory={TREE}\nSubfolders=1\nFilesType=0\n")
        ours_out = os.path.join(work, "ours.txt")
        find_out = os.path.join(work, "find.txt")
        commands = {
            "scenarix-tool catalogue": (
                [os.path.join(BIN, "scenarix-tool"), "catalogue", "--ini", ini], ours_out),
            "find (the same names)": (
                ["find", TREE, "-name", ".*", "-prune", "-o", "-type", "f", "(",
                 "-iname", "*.jpg", "-o", "-iname", "*.png", "-o", "-iname", "*.bmp", ")",
                 "-print"], find_out),
            "find (every name)": (["find", TREE], os.path.join(work, "all.txt")),
        }
        best = {name: None for name in commands}
        best_cpu = {name: None for name in commands}
        for _ in range(RUNS):
            for name, (command, output) in commands.items():
                ms, cpu = run(command, output)
                best[name] = ms if best[name] is None else min(best[name], ms)
                best_cpu[name] = cpu if best_cpu[name] is None else min(best_cpu[name], cpu)
        with open(ours_out) as f:
            ours = f.read().splitlines()
        with open(find_out) as f:
            theirs = f.read().splitlines()
        if sorted(ours) != sorted(theirs) or len(ours) != 75000:
            sys.exit(f"the lists differ: {len(ours)} pictures beside find's {len(theirs)}")

    print(f"tree {TREE}, best of {RUNS} runs, whole processes")
    ours_ms = best["scenarix-tool catalogue"]
    ours_cpu = best_cpu["scenarix-tool catalogue"]
    print(f"{'':28} {'time':>9} {'ours / theirs':>14} {'processor':>10} {'ours / theirs':>14}")
    for name, ms in best.items():
        cpu = best_cpu[name]
        print(f"{name:28} {ms:7.0f}ms {ours_ms / ms:14.2f} {cpu:8.0f}ms {ours_cpu / cpu:14.2f}")
    ratio = ours_ms / best["find (the same names)"]
    if ratio > LIMIT:
        sys.exit(f"the catalogue takes {ratio:.2f} x find's time (at most {LIMIT} allowed)")


if __name__ == "__main__":
    main()
