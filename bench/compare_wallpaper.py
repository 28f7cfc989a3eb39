#!/usr/bin/env python3
"""The wallpaper from a 24-megapixel JPEG on a 1920x1080 screen, Scenaria beside independent
tools in one run, whole processes, best of several runs taken in turn:

 1. decode, fit to the screen and write the bitmap: `scenarix-tool wallpaper --dry-run`
    (stretched, and proportional) beside ImageMagick's convert-im6.q16 with -sample (nearest
    pixel, as ours) and -resize (its default filter) writing a BMP;
 2. end to end on a bare X server (an Xvfb of 1920x1080x24 started here): scenarix-tool
    wallpaper installing the root pixmap, beside `feh --bg-scale` and `feh --bg-max`.

    bench/compare_wallpaper.py [path/to/build/bin]
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BIN = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build", "bin")
PICTURE = os.environ.get("SCENARIA_BENCH_JPEG", "/tmp/scenaria-bench-6000x4000.jpg")
RUNS = int(os.environ.get("SCENARIA_BENCH_RUNS", "5"))


def need(name, package):
    path = shutil.which(name)
    if not path:
        sys.exit(f"{name} ({package}) is not installed")
    return path


def run(command, env=None):
    start = time.perf_counter()
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    elapsed = (time.perf_counter() - start) * 1000.0
    if result.returncode != 0:
        sys.exit(f"{' '.join(command)} failed: {result.stderr.decode(errors='replace')}")
    return elapsed


def best_of(commands, env=None):
    best = {name: None for name in commands}
    for _ in range(RUNS):
        for name, command in commands.items():
            ms = run(command, env)
            best[name] = ms if best[name] is None else min(best[name], ms)
    return best


def report(title, best, ours):
    print(f"{title:44} {'time':>9} {'their time / ours':>18}")
    for name, ms in best.items():
        print(f"{name:44} {ms:7.0f}ms {ms / best[ours]:18.2f}")


def start_xvfb():
    xvfb = need("Xvfb", "xvfb")
    for number in range(90, 140):
        if os.path.exists(f"/tmp/.X{number}-lock"):
            continue
        server = subprocess.Popen([xvfb, f":{number}", "-screen", "0", "1920x1080x24", "-noreset",
                                   "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        for _ in range(100):
            if subprocess.run([need("xdpyinfo", "x11-utils"), "-display", f":{number}"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
                return server, f":{number}"
            time.sleep(0.05)
        server.kill()
    sys.exit("could not start Xvfb")


def main():
    tool = os.path.join(BIN, "scenarix-tool")
    for program in ("scenarix-tool", "bench_jpeg", "bench_wallpaper"):
        if not os.access(os.path.join(BIN, program), os.X_OK):
            sys.exit(f"{program} is not built")
    im = need("convert-im6.q16", "imagemagick-6.q16")
    feh = need("feh", "feh")
    if not os.path.exists(PICTURE):
        subprocess.run([os.path.join(BIN, "bench_jpeg"), "--benchmark_filter=BM_JpegLoad/1",
                        "--benchmark_min_time=0.01"], check=True, stdout=subprocess.DEVNULL)

    out = subprocess.run([os.path.join(BIN, "bench_wallpaper"), "--benchmark_format=json",
                          "--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true"],
                         check=True, capture_output=True).stdout
    inprocess = {b["run_name"]: b["real_time"] for b in json.loads(out)["benchmarks"]
                 if b.get("aggregate_name") == "median"}

    with tempfile.TemporaryDirectory() as work:
        home = os.path.join(work, "home")
        os.makedirs(home)
        env = {k: v for k, v in os.environ.items()
               if k not in ("XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "WAYLAND_DISPLAY", "SWAYSOCK")}
        env["HOME"] = home

        def ini(name, proportional):
            path = os.path.join(work, name)
            with open(path, "w") as f:
                f.write(f"[Diduzavizo]\nSave Folder={work}\nTile=1\nStretch=1\n"
                        f"Proportional={proportional}\n")
            return path

        stretch, fit = ini("stretch.ini", 0), ini("fit.ini", 1)
        compose = {
            "scenarix-tool wallpaper (stretch)": [tool, "wallpaper", PICTURE, "--ini", stretch,
                                                  "--screen", "1920x1080", "--depth", "24",
                                                  "--dry-run"],
            "scenarix-tool wallpaper (proportional)": [tool, "wallpaper", PICTURE, "--ini", fit,
                                                       "--screen", "1920x1080", "--depth", "24",
                                                       "--dry-run"],
            "convert -sample 1920x1080! (nearest)": [im, PICTURE, "-sample", "1920x1080!",
                                                     os.path.join(work, "a.bmp")],
            "convert -sample 1920x1080 (proportional)": [im, PICTURE, "-sample", "1920x1080",
                                                         os.path.join(work, "b.bmp")],
            "convert -resize 1920x1080! (filtered)": [im, PICTURE, "-resize", "1920x1080!",
                                                      os.path.join(work, "c.bmp")],
        }
        print(f"picture {PICTURE}, screen 1920x1080x24, best of {RUNS} runs")
        report("decode, fit, write a BMP", best_of(compose, env), "scenarix-tool wallpaper (stretch)")

        server, display = start_xvfb()
        try:
            xenv = dict(env, DISPLAY=display)
            desktop = {
                "scenarix-tool wallpaper (stretch)": [tool, "wallpaper", PICTURE, "--ini", stretch],
                "scenarix-tool wallpaper (proportional)": [tool, "wallpaper", PICTURE, "--ini", fit],
                "feh --bg-scale": [feh, "--no-fehbg", "--bg-scale", PICTURE],
                "feh --bg-max": [feh, "--no-fehbg", "--bg-max", PICTURE],
            }
            report("end to end on bare X11 (root pixmap)", best_of(desktop, xenv),
                   "scenarix-tool wallpaper (stretch)")
        finally:
            server.send_signal(signal.SIGTERM)
            server.wait()

    print("in-process SetWallpaper (bench_wallpaper, median):")
    for key, label in [("BM_SetWallpaper/proportional:0/real_time", "stretched"),
                       ("BM_SetWallpaper/proportional:1/real_time", "proportional")]:
        if key in inprocess:
            print(f"  {label:14} {inprocess[key]:7.0f}ms")


if __name__ == "__main__":
    main()
