#!/usr/bin/env python3
"""The smooth wallpaper change from a 24-megapixel JPEG on a 1920x1080 screen, against the goals
it was built to: whole processes, best of several runs taken in turn, all in one run.

  - end to end on bare X11 (an Xvfb started here), Smooth=1:
      stretched  <= 0.5 x `feh --bg-scale`,  proportional <= 0.5 x `feh --bg-max`;
  - the dry-run composition (decode, fit, write the BMP) <= 0.4 x ImageMagick's
    `convert -resize` to the same size, writing a BMP;
  - the peak resident memory of the change <= 0.5 x the decoded picture (6000 x 4000 x 3).

Also shows Smooth=0 (the nearest-pixel stretch) and each run's peak memory.

    bench/compare_smooth.py [path/to/build/bin] [--check]

With --check the exit status is 1 when a goal is missed.
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import compare_wallpaper as base  # noqa: E402  (its Xvfb and tool look-ups)

ARGS = [a for a in sys.argv[1:] if not a.startswith("--")]
CHECK = "--check" in sys.argv[1:]
BIN = ARGS[0] if ARGS else os.path.join(HERE, "..", "build", "bin")
PICTURE = base.PICTURE
RUNS = base.RUNS
DECODED_BYTES = 6000 * 4000 * 3


def run(command, env):
    """Milliseconds and peak resident kilobytes of one whole process."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = (time.perf_counter() - start) * 1000.0
    error = process.stderr.read().decode(errors="replace")
    process.stderr.close()
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"{' '.join(command)} failed: {error}")
    return elapsed, usage.ru_maxrss


def best_of(commands, env):
    best = {name: (None, 0) for name in commands}
    for _ in range(RUNS):
        for name, command in commands.items():
            ms, kb = run(command, env)
            old_ms, old_kb = best[name]
            best[name] = (ms if old_ms is None else min(old_ms, ms), max(old_kb, kb))
    return best


def table(title, best):
    print(f"{title:46} {'best time':>10} {'peak memory':>12}")
    for name, (ms, kb) in best.items():
        print(f"{name:46} {ms:8.0f}ms {kb / 1024:10.1f}MB")


def main():
    tool = os.path.join(BIN, "scenarix-tool")
    if not os.access(tool, os.X_OK):
        sys.exit("scenarix-tool is not built")
    im = base.need("convert-im6.q16", "imagemagick-6.q16")
    feh = base.need("feh", "feh")
    if not os.path.exists(PICTURE):
        subprocess.run([os.path.join(BIN, "bench_jpeg"), "--benchmark_filter=BM_JpegLoad/1",
                        "--benchmark_min_time=0.01"], check=True, stdout=subprocess.DEVNULL)
    goals = []

    with tempfile.TemporaryDirectory() as work:
        home = os.path.join(work, "home")
        os.makedirs(home)
        env = {k: v for k, v in os.environ.items()
               if k not in ("XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "WAYLAND_DISPLAY", "SWAYSOCK")}
        env["HOME"] = home

        def ini(name, proportional, smooth):
            path = os.path.join(work, name)
            with open(path, "w") as f:
                f.write(f"[Diduzavizo]\nSave Folder={work}\nTile=1\nStretch=1\n"
                        f"Proportional={proportional}\nSmooth={smooth}\n")
            return path

        stretch, fit = ini("stretch.ini", 0, 1), ini("fit.ini", 1, 1)
        nearest = ini("nearest.ini", 0, 0)
        dry = ["--screen", "1920x1080", "--depth", "24", "--dry-run"]
        compose = {
            "scenarix-tool (stretch, smooth)": [tool, "wallpaper", PICTURE, "--ini", stretch] + dry,
            "scenarix-tool (stretch, Smooth=0)": [tool, "wallpaper", PICTURE, "--ini", nearest]
            + dry,
            "convert -resize 1920x1080! (filtered)": [im, PICTURE, "-resize", "1920x1080!",
                                                      os.path.join(work, "c.bmp")],
        }
        print(f"picture {PICTURE}, screen 1920x1080x24, best of {RUNS} runs")
        made = best_of(compose, env)
        table("decode, fit, write a BMP", made)
        ratio = made["scenarix-tool (stretch, smooth)"][0] / made[
            "convert -resize 1920x1080! (filtered)"][0]
        goals.append(("dry run <= 0.4 x convert -resize", ratio, 0.4))

        server, display = base.start_xvfb()
        try:
            xenv = dict(env, DISPLAY=display)
            desktop = {
                "scenarix-tool (stretch, smooth)": [tool, "wallpaper", PICTURE, "--ini", stretch],
                "scenarix-tool (proportional, smooth)": [tool, "wallpaper", PICTURE, "--ini", fit],
                "scenarix-tool (stretch, Smooth=0)": [tool, "wallpaper", PICTURE, "--ini",
                                                      nearest],
                "feh --bg-scale": [feh, "--no-fehbg", "--bg-scale", PICTURE],
                "feh --bg-max": [feh, "--no-fehbg", "--bg-max", PICTURE],
            }
            shown = best_of(desktop, xenv)
            table("end to end on bare X11 (root pixmap)", shown)
        finally:
            server.send_signal(signal.SIGTERM)
            server.wait()
        goals.append(("stretched <= 0.5 x feh --bg-scale",
                      shown["scenarix-tool (stretch, smooth)"][0] / shown["feh --bg-scale"][0],
                      0.5))
        goals.append(("proportional <= 0.5 x feh --bg-max",
                      shown["scenarix-tool (proportional, smooth)"][0] / shown["feh --bg-max"][0],
                      0.5))
        peak = max(shown["scenarix-tool (stretch, smooth)"][1],
                   shown["scenarix-tool (proportional, smooth)"][1]) * 1024
        goals.append(("peak memory <= 0.5 x the decoded picture", peak / DECODED_BYTES, 0.5))

    print("goals:")
    missed = 0
    for name, value, limit in goals:
        met = value <= limit
        missed += not met
        print(f"  {name:44} {value:6.2f}  {'met' if met else 'MISSED'}")
    if CHECK and missed:
        sys.exit(1)


if __name__ == "__main__":
    main()
