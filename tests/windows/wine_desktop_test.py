#!/usr/bin/python3
"""scenarix-tool.exe sets the wallpaper of wine's virtual desktop, and the desktop shows it.

  tests/windows/wine_desktop_test.py WINDOWS_TOOL [--screenshots DIR] [--wine WINE]

On a display of its own (Xvfb, 1024 x 768), starts `wine explorer /desktop=scx,1024x768`, makes
that desktop the one wine's programs run on, and then, with "Tile=0" (tiled):
  1. a BMP of one solid colour: the tool installs its own path, tiled;
  2. a PNG of another colour: the tool installs the temporary bitmap it converted it to;
  3. a patterned BMP smaller than the screen: the desktop shows it repeated from the top left;
  4. the sample samples/tile.bmp, a picture of 256 colours, likewise.
After each step it reads back the registry values under HKCU\\Control Panel\\Desktop and a
screenshot of the display, and fails unless every pixel is what the picture says. With
--screenshots the screenshots of steps 1, 2 and 4 are kept there as wine-desktop-*.png.
Wine's environment (WINEPREFIX and so on) is taken from the caller; WINEPREFIX must be set. The
prefix's default desktop is set for the run and put back afterwards.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

try:
    from PIL import Image
except ImportError:
    print("MISSING: python3-pil (Debian's Pillow for /usr/bin/python3)", file=sys.stderr)
    sys.exit(2)

ROOT = Path(__file__).resolve().parents[2]
WIDTH, HEIGHT = 1024, 768
DESKTOP = "scx"
DESKTOP_KEY = r"HKCU\Software\Wine\Explorer"
SIZES_KEY = r"HKCU\Software\Wine\Explorer\Desktops"
WALLPAPER_KEY = r"HKCU\Control Panel\Desktop"


def WindowsSpelling(path):
    return "Z:" + str(path).replace("/", "\\")


class Wine:
    def __init__(self, wine, env):
        self.wine = wine
        self.env = env

    def Run(self, *args, timeout=120):
        done = subprocess.run([self.wine, *args], env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=timeout)
        return (done.returncode, done.stdout.decode("utf-8", "replace").replace("\r\n", "\n"),
                done.stderr.decode("utf-8", "replace"))

    def Query(self, key, value):
        """A registry value as `reg query` shows it, or None when it is not there."""
        code, out, _ = self.Run("reg", "query", key, "/v", value)
        if code != 0:
            return None
        for line in out.splitlines():
            fields = line.split(None, 2)
            if len(fields) >= 2 and fields[0] == value:
                return fields[2] if len(fields) == 3 else ""
        return None

    def Set(self, key, value, data):
        code, out, err = self.Run("reg", "add", key, "/v", value, "/d", data, "/f")
        if code != 0:
            raise RuntimeError("reg add %s /v %s failed: %s%s" % (key, value, out, err))

    def Delete(self, key, value):
        self.Run("reg", "delete", key, "/v", value, "/f")


def StartDisplay():
    """Xvfb on a free display number, which it reports on a pipe once it is ready."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-noreset", "-nolisten", "tcp",
                             "-screen", "0", "%dx%dx24" % (WIDTH, HEIGHT)],
                            pass_fds=(write,), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    deadline = time.monotonic() + 30
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        chunk = os.read(read, 16)
        if not chunk:
            break
        number += chunk
    os.close(read)
    if not number.strip():
        xvfb.kill()
        raise RuntimeError("Xvfb did not start")
    return xvfb, ":" + number.decode().strip()


def Screenshot(display, path):
    subprocess.run(["import-im6.q16", "-display", display, "-window", "root", str(path)],
                   check=True, capture_output=True, timeout=60)
    return Image.open(path).convert("RGB")


def Mismatches(shot, expected):
    """How many pixels of the screenshot differ from expected(x, y), and the first of them."""
    pixels = shot.load()
    count, first = 0, None
    for y in range(shot.height):
        for x in range(shot.width):
            if pixels[x, y] != expected(x, y):
                count += 1
                if first is None:
                    first = (x, y, pixels[x, y], expected(x, y))
    return count, first


def WaitForScreen(display, path, expected, seconds=20):
    """Screenshots until the screen shows what is expected, or the time is up; the last one."""
    deadline = time.monotonic() + seconds
    while True:
        shot = Screenshot(display, path)
        count, first = Mismatches(shot, expected)
        if count == 0 or time.monotonic() > deadline:
            return shot, count, first
        time.sleep(0.5)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("windows_tool")
    parser.add_argument("--wine", default="wine")
    parser.add_argument("--screenshots", help="keep the screenshots in this folder")
    options = parser.parse_args()

    tool = Path(options.windows_tool).resolve()
    if not tool.is_file():
        print("MISSING: the Windows build's scenarix-tool.exe is not at %s" % tool,
              file=sys.stderr)
        return 2
    missing = [p for p in [options.wine, "wineserver", "Xvfb", "xwininfo", "import-im6.q16"]
               if not shutil.which(p)]
    if missing:
        print("MISSING: %s" % ", ".join(missing), file=sys.stderr)
        return 2
    if not os.environ.get("WINEPREFIX"):
        print("MISSING: WINEPREFIX is not set; give the wine prefix to run in", file=sys.stderr)
        return 2

    work = Path(tempfile.mkdtemp(prefix="scenaria-winedesk-"))
    save = work / "save"
    save.mkdir()
    ini = work / "scenarix.INI"
    ini.write_text("[Diduzavizo]\r\nTile=0\r\nSave Folder=%s\r\n" % WindowsSpelling(save))

    red, blue = (200, 30, 40), (20, 60, 220)
    Image.new("RGB", (200, 150), red).save(work / "red.bmp")
    Image.new("RGB", (97, 61), blue).save(work / "blue.png")
    # A pattern whose every pixel says where in the picture it is, so that a shifted or
    # stretched tiling cannot pass.
    pattern = Image.new("RGB", (75, 50))
    pattern.putdata([(x * 3, y * 5, (x * 7 + y * 11) % 256) for y in range(50) for x in range(75)])
    pattern.save(work / "pattern.bmp")

    xvfb, display = StartDisplay()
    env = dict(os.environ, DISPLAY=display, WINEDEBUG="-all")
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    wine = Wine(options.wine, env)
    keeper = None
    restore = False
    failures = []
    try:
        # Every program wine starts in this prefix runs on the virtual desktop, so that the
        # tool's own exit status is seen (explorer does not wait for the program it starts);
        # its own exit status is seen; the desktop starts without a wallpaper. The size is
        # set before the name, or the first program on it would open it at another size.
        wine.Set(WALLPAPER_KEY, "Wallpaper", "")
        old_size = wine.Query(SIZES_KEY, DESKTOP)
        wine.Set(SIZES_KEY, DESKTOP, "%dx%d" % (WIDTH, HEIGHT))
        old_desktop = wine.Query(DESKTOP_KEY, "Desktop")
        wine.Set(DESKTOP_KEY, "Desktop", DESKTOP)
        restore = True
        # The desktop closes when its last program ends; a console waiting on its input keeps
        # it open for the whole test without a window of its own.
        keeper = subprocess.Popen([options.wine, "explorer",
                                   "/desktop=%s,%dx%d" % (DESKTOP, WIDTH, HEIGHT), "cmd.exe"],
                                  env=env, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while True:
            found = subprocess.run(["xwininfo", "-display", display, "-name",
                                    "%s - Wine desktop" % DESKTOP], capture_output=True)
            if found.returncode == 0:
                break
            if time.monotonic() > deadline:
                raise RuntimeError("wine's desktop window did not appear within a minute")
            time.sleep(0.5)
        before = Screenshot(display, work / "before.png")
        print("desktop up; before any wallpaper its top left pixel is %s" %
              (before.getpixel((0, 0)),))
        # Else the first step could pass on what the desktop showed anyway.
        if Mismatches(before, lambda x, y: red)[0] == 0:
            raise RuntimeError("the desktop shows the first picture's colour before it is set")

        pattern_pixels = pattern.load()
        sample = Image.open(ROOT / "samples" / "tile.bmp").convert("RGB")
        sample_pixels = sample.load()
        steps = [
            ("solid BMP", work / "red.bmp", None, lambda x, y: red, "solid-1"),
            ("solid PNG", work / "blue.png", save / "~scxtmp.bmp", lambda x, y: blue, "solid-2"),
            ("pattern BMP", work / "pattern.bmp", None,
             lambda x, y: pattern_pixels[x % 75, y % 50], None),
            ("sample BMP", ROOT / "samples" / "tile.bmp", None,
             lambda x, y: sample_pixels[x % sample.width, y % sample.height], "tile"),
        ]
        for number, (name, picture, installed, expected, keep) in enumerate(steps, 1):
            code, out, err = wine.Run(str(tool), "wallpaper", WindowsSpelling(picture),
                                      "--ini", WindowsSpelling(ini))
            want_file = WindowsSpelling(installed or picture)
            want_out = "installer: classic\nfile: %s\ntiled: 1\n" % want_file
            values = {v: wine.Query(WALLPAPER_KEY, v)
                      for v in ("Wallpaper", "TileWallpaper", "WallpaperStyle")}
            shot_path = work / ("wine-desktop-%d.png" % number)
            shot, count, first = WaitForScreen(display, shot_path, expected)
            print("step %d, %s: exit %d; registry %s; screenshot %dx%d, %d of %d pixels "
                  "differ" % (number, name, code, values, shot.width, shot.height, count,
                              shot.width * shot.height))
            if code != 0 or out != want_out:
                failures.append("step %d: the tool said %r (exit %d, stderr %r), not %r" %
                                (number, out, code, err, want_out))
            if values["Wallpaper"] != want_file or values["TileWallpaper"] != "1":
                failures.append("step %d: the registry holds %s" % (number, values))
            if count:
                x, y, got, want = first
                failures.append("step %d: %d pixels differ, the first at (%d, %d): %s, not %s" %
                                (number, count, x, y, got, want))
            if options.screenshots and keep:
                Path(options.screenshots).mkdir(parents=True, exist_ok=True)
                shutil.copy(shot_path, Path(options.screenshots) / ("wine-desktop-%s.png" % keep))
    except (RuntimeError, OSError, subprocess.SubprocessError) as e:
        failures.append(str(e))
    finally:
        if keeper:
            keeper.stdin.close()
            try:
                keeper.wait(timeout=20)
            except subprocess.TimeoutExpired:
                keeper.kill()
        if restore:
            for key, value, old in [(DESKTOP_KEY, "Desktop", old_desktop),
                                    (SIZES_KEY, DESKTOP, old_size)]:
                if old is None:
                    wine.Delete(key, value)
                else:
                    wine.Set(key, value, old)
        subprocess.run(["wineserver", "-k"], env=env, capture_output=True)
        xvfb.kill()
        xvfb.wait()

    if failures:
        for line in failures:
            print("FAIL  " + line)
        print("work folder kept: %s" % work)
        return 1
    shutil.rmtree(work, ignore_errors=True)
    print("PASS  wine's desktop showed each wallpaper the tool set")
    return 0


if __name__ == "__main__":
    sys.exit(main())
