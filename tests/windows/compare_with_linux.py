#!/usr/bin/python3
"""Runs scenarix-tool of the Linux build and scenarix-tool.exe of the Windows build (under wine)
on the same pictures and settings, and fails unless both give the same results.

  tests/windows/compare_with_linux.py LINUX_TOOL WINDOWS_TOOL [--jobs N] [--only TEXT]
                                      [--keep DIR] [--wine WINE]

Each row is one command run by both builds:
  info FILE            the same stdout lines and exit status
  convert IN OUT ...   the same stdout, exit status, and a byte-identical OUT (or none on both)
  wallpaper FILE ...   the composition: a dry run with --ini/--screen/--depth; the same installer
                       call and exit status, and a byte-identical temporary bitmap (or none on both)
The messages on stderr must match as well. Paths are compared modulo their spelling: the
Windows side is given "Z:\\..." names and its output is read back with them mapped to the Linux
ones and backslashes read as slashes. Wine's environment (WINEPREFIX and so on) is taken from the
caller; WINEPREFIX must be set. Prints one line per row and exits 1 when any row differs.
"""

import argparse
import concurrent.futures
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
DATA = ROOT / "tests" / "data"
SAMPLES = ROOT / "samples"

PICTURE_SETS = ["bmpsuite/g", "bmpsuite/q", "bmpsuite/b", "pillow-subset", "jpeg", "pngsuite",
                "libtiff-images", "generated", "crashes"]
PICTURE_EXTENSIONS = {".bmp", ".dib", ".rle", ".jpg", ".jpeg", ".png", ".pcx", ".tga", ".tif",
                      ".tiff", ".pbm", ".pgm", ".ppm", ".pnm"}
# A few GIFs, which the picture library refuses: the refusal must read the same.
GIF_SAMPLES = ["pillow-subset/hopper.gif", "pillow-subset/zero_width.gif"]
CASE_TIMEOUT = 300


class Place:
    """A path under one of the roots, spelled for either side."""

    def __init__(self, root, relative):
        self.root = root          # "data", "samples", "shared" or "own" (the side's work folder)
        self.relative = relative  # with "/" separators

    def For(self, side):
        base = side.Roots[self.root]
        if not self.relative:
            return base
        return base + side.Separator + self.relative.replace("/", side.Separator)


class Side:
    def __init__(self, name, command, roots, separator, env, local_roots):
        self.Name = name
        self.Command = command
        self.Roots = roots              # how this side spells each root
        self.Separator = separator
        self.Env = env
        self.LocalRoots = local_roots   # where each root is on this machine

    def Path(self, place):
        return place.For(self) if isinstance(place, Place) else place

    def Local(self, place):
        """Where a Place is on this machine's file system."""
        return Path(self.LocalRoots[place.root]) / place.relative

    def Run(self, args):
        argv = self.Command + [self.Path(a) for a in args]
        try:
            done = subprocess.run(argv, env=self.Env, stdin=subprocess.DEVNULL,
                                  capture_output=True, timeout=CASE_TIMEOUT)
        except subprocess.TimeoutExpired:
            return None, "", "timed out after %d s" % CASE_TIMEOUT
        return (done.returncode, done.stdout.decode("utf-8", "replace"),
                done.stderr.decode("utf-8", "replace"))

    def Normalise(self, text):
        """The text with this side's spelling of the roots replaced by names both share."""
        text = text.replace("\r\n", "\n")
        for name, base in sorted(self.Roots.items(), key=lambda item: -len(item[1])):
            text = text.replace(base, "<%s>" % name)
        if self.Separator == "\\":
            text = text.replace("\\", "/")
        return text


class Case:
    def __init__(self, group, name, args, outputs=(), setup=None):
        self.Group = group
        self.Name = name
        self.Args = args          # strings and Places
        self.Outputs = outputs    # Places under "own" that both must write alike (or neither)
        self.Setup = setup        # called with the side before it runs: writes its settings file
        self.Skip = None


def Relative(path):
    return path.relative_to(DATA).as_posix()


def PictureFiles():
    files = []
    for folder in PICTURE_SETS:
        for path in sorted((DATA / folder).rglob("*")):
            if path.is_file() and path.suffix.lower() in PICTURE_EXTENSIONS:
                files.append(Place("data", Relative(path)))
    for path in sorted(SAMPLES.iterdir()):
        if path.suffix.lower() in PICTURE_EXTENSIONS:
            files.append(Place("samples", path.name))
    return files


def ImageCases():
    cases = []
    pictures = PictureFiles()
    for place in pictures + [Place("data", g) for g in GIF_SAMPLES]:
        cases.append(Case("info", place.relative, ["info", place]))
    for index, place in enumerate(pictures):
        out = Place("own", "convert/%d.bmp" % index)
        cases.append(Case("convert", place.relative, ["convert", place, out], [out]))

    # Resampling and colour reduction: the arithmetic most likely to differ between compilers.
    chosen = ["samples:aurora.jpg", "samples:hills.pcx", "samples:tile.bmp", "samples:mist.pgm",
              "data:bmpsuite/g/rgb24.bmp", "data:bmpsuite/g/pal4.bmp", "data:bmpsuite/g/pal1.bmp",
              "data:pngsuite/basn6a08.png", "data:jpeg/progressive.jpg", "data:jpeg/gray.jpg"]
    variants = [
        ["--resize", "333x211"],
        ["--resize", "64x48", "--stretch-mode", "fast"],
        ["--resize", "1000x77", "--stretch-mode", "medium"],
        ["--resize", "7x900", "--stretch-mode", "precise"],
        ["--colors", "16"],
        ["--colors", "232"],
        ["--resize", "640x480", "--colors", "256"],
    ]
    for name in chosen:
        root, relative = name.split(":", 1)
        source = Place(root, relative)
        for number, options in enumerate(variants):
            out = Place("own", "variants/%s-%d.bmp" % (relative.replace("/", "_"), number))
            cases.append(Case("convert " + " ".join(options), relative,
                              ["convert", source, out, *options], [out]))
    # The other writers the library has, without a compression library in between that
    # may differ between the builds.
    for name, extension in [("samples:aurora.jpg", "jpg"), ("samples:sunset.tga", "tga"),
                            ("samples:hills.pcx", "tga"), ("samples:mist.pgm", "ppm"),
                            ("samples:dunes.png", "ppm"), ("samples:waves.tif", "jpg"),
                            ("data:jpeg/gray.jpg", "jpg")]:
        root, relative = name.split(":", 1)
        out = Place("own", "writers/%s.%s" % (relative.replace("/", "_"), extension))
        cases.append(Case("convert to ." + extension, relative, ["convert", Place(root, relative),
                                                                   out, "--force"], [out]))
    return cases


def WallpaperCase(name, picture, settings, screen="1024x768", depth=24):
    """A dry run of the wallpaper command in a fresh save folder of its own."""
    folder = "wallpaper/%d" % WallpaperCase.count
    WallpaperCase.count += 1
    save = Place("own", folder + "/save")
    ini = Place("own", folder + "/scenarix.INI")

    def Setup(side):
        local = side.Local(save)
        local.mkdir(parents=True, exist_ok=True)
        lines = ["[Diduzavizo]", "Save Folder=" + side.Path(save)]
        lines += ["%s=%s" % item for item in settings.items()]
        side.Local(ini).write_text("\r\n".join(lines) + "\r\n")

    label = "%s; %s; %s, %d bits" % (name, " ".join("%s=%s" % i for i in settings.items()),
                                     screen, depth)
    return Case("wallpaper", "%s: %s" % (picture.relative, label),
                ["wallpaper", picture, "--ini", ini, "--screen", screen, "--depth", str(depth),
                 "--dry-run"], [Place("own", folder + "/save/~scxtmp.bmp")], Setup)


WallpaperCase.count = 0

# The composition table: centred (Tile 1) or tiled (Tile 0), Stretch, Proportional, ActiveDesktop;
# with a desktop that takes files on both sides (Linux: GNOME; Windows: COM initialised).
TABLE = [
    ("tiled", 0, 0, 0, 0),
    ("tiled, stretch, no active desktop", 0, 1, 1, 0),
    ("tiled, stretch, active desktop", 0, 1, 0, 1),
    ("centred", 1, 0, 1, 0),
    ("centred, active desktop", 1, 0, 0, 1),
    ("stretched", 1, 1, 0, 0),
    ("stretched by the active desktop", 1, 1, 0, 1),
    ("scaled", 1, 1, 1, 0),
    ("scaled, active desktop", 1, 1, 1, 1),
]


def WallpaperCases():
    shared = lambda name: Place("shared", name)
    samples = lambda name: Place("samples", name)
    cases = []
    for name, tile, stretch, proportional, active in TABLE:
        settings = {"Tile": tile, "Stretch": stretch, "Proportional": proportional,
                    "ActiveDesktop": active}
        for picture in [samples("tile.bmp"), samples("aurora.jpg"), samples("hills.pcx"),
                        shared("rgb24.bmp")]:
            for depth in (24, 8):
                cases.append(WallpaperCase(name, picture, settings, depth=depth))
    skipped = Case("wallpaper", "stretched, active setting without a desktop that takes files",
                   [])
    skipped.Skip = ("COM always initialises on Windows, so the Windows build cannot run "
                    "without a desktop that takes files")
    cases.append(skipped)

    # Tile 2 decides by the picture's size against MinWidth x MinHeight.
    for picture in ["320x480.bmp", "321x241.bmp", "321x240.bmp", "321x241.jpg"]:
        for stretch, proportional in [(0, 0), (1, 0), (1, 1)]:
            cases.append(WallpaperCase("tile 2", shared(picture),
                                       {"Tile": 2, "MinWidth": 320, "MinHeight": 240,
                                        "Stretch": stretch, "Proportional": proportional}))
    cases.append(WallpaperCase("tile 2, active desktop", samples("aurora.jpg"),
                               {"Tile": 2, "Stretch": 1, "ActiveDesktop": 1}))
    cases.append(WallpaperCase("tile 7 tiles", samples("sunset.tga"), {"Tile": 7, "Stretch": 1}))

    # Scaling with the proportions kept: pictures larger and smaller than screens of all shapes.
    scaled = {"Tile": 1, "Stretch": 1, "Proportional": 1}
    for picture in [shared("18x13.bmp"), shared("2000x1.bmp"), shared("1x900.bmp"),
                    samples("aurora.jpg"), samples("dunes.png"), samples("sunset.tga"),
                    samples("mist.pgm"), samples("waves.tif"), samples("tile.bmp")]:
        cases.append(WallpaperCase("scaled", picture, scaled))
    for screen in ["800x600", "1920x1080", "1280x1024", "600x800", "1023x767"]:
        for picture in [shared("18x13.bmp"), samples("aurora.jpg"), samples("hills.pcx")]:
            cases.append(WallpaperCase("scaled", picture, scaled, screen=screen))
        cases.append(WallpaperCase("stretched", samples("dunes.png"),
                                   {"Tile": 1, "Stretch": 1}, screen=screen))
    for depth in (1, 4, 15, 16, 32):
        cases.append(WallpaperCase("scaled", samples("sunset.tga"), scaled, depth=depth))
        cases.append(WallpaperCase("tiled", samples("waves.tif"), {"Tile": 0}, depth=depth))

    # Refusals: a GIF without Active Desktop is not read; with it, it cannot be read.
    gif = Place("data", "pillow-subset/hopper.gif")
    cases.append(WallpaperCase("gif", gif, {"Tile": 1}))
    cases.append(WallpaperCase("gif, active desktop", gif, {"Tile": 1, "ActiveDesktop": 1}))
    cases.append(WallpaperCase("damaged", Place("data", "bmpsuite/b/badrle.bmp"), {"Tile": 1}))
    return cases


def MakeSharedPictures(linux_tool, shared):
    """Pictures of the sizes the composition rules turn on, made once by the Linux build."""
    shared.mkdir(parents=True, exist_ok=True)
    aurora = str(SAMPLES / "aurora.jpg")
    made = [("18x13.bmp", "18x13"), ("2000x1.bmp", "2000x1"), ("1x900.bmp", "1x900"),
            ("320x480.bmp", "320x480"), ("321x241.bmp", "321x241"), ("321x240.bmp", "321x240"),
            ("321x241.jpg", "321x241")]
    for name, size in made:
        subprocess.run([linux_tool, "convert", aurora, str(shared / name), "--resize", size],
                       check=True)
    shutil.copy(DATA / "bmpsuite" / "g" / "rgb24.bmp", shared / "rgb24.bmp")


def FirstDifference(a, b):
    for index, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return index
    return min(len(a), len(b))


def Prepare(case, side):
    for output in case.Outputs:
        side.Local(output).parent.mkdir(parents=True, exist_ok=True)
        side.Local(output).unlink(missing_ok=True)
    if case.Setup:
        case.Setup(side)


def BatchArgument(text):
    if any(c in text for c in '"%\r\n'):
        raise ValueError("cannot pass %r through a batch file" % text)
    return '"%s"' % text


def ReadCode(path):
    try:
        return int(path.read_text().strip())
    except (OSError, ValueError):
        return None


def RunBatches(cases, windows, work, jobs):
    """Runs the Windows side of the cases through batch files of cmd.exe, a few in parallel:
    a process started inside wine costs half of one started from outside. Returns the results
    in the order of the cases."""
    folder = work / "batches"
    folder.mkdir(exist_ok=True)
    local = lambda name: folder / name
    spelled = lambda name: windows.Roots["batches"] + "\\" + name

    def Write(name, chunk):
        lines = ["@echo off"]
        for index in chunk:
            argv = windows.Command[1:] + [windows.Path(a) for a in cases[index].Args]
            lines.append("%s > %s 2> %s" % (" ".join(BatchArgument(a) for a in argv),
                                             BatchArgument(spelled("%d.out" % index)),
                                             BatchArgument(spelled("%d.err" % index))))
            lines.append("echo %%errorlevel%% > %s" % BatchArgument(spelled("%d.code" % index)))
            local("%d.code" % index).unlink(missing_ok=True)
        local(name).write_text("\r\n".join(lines) + "\r\n")

    def Run(name, count):
        subprocess.run([windows.Command[0], "cmd", "/c", spelled(name)],
                       env=windows.Env, stdin=subprocess.DEVNULL, capture_output=True,
                       timeout=CASE_TIMEOUT + 10 * count)

    chunks = [list(range(len(cases)))[n::jobs] for n in range(jobs)]
    for number, chunk in enumerate(chunks):
        Write("%d.bat" % number, chunk)
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        list(pool.map(lambda n: Run("%d.bat" % n, len(chunks[n])), range(len(chunks))))

    # Under load wine's cmd.exe now and then fails to start a program at all (status 9009,
    # "Can't recognize"): the program never ran, so the case runs again, alone.
    for attempt in range(2):
        unstarted = [i for i in range(len(cases)) if ReadCode(local("%d.code" % i)) == 9009]
        if not unstarted:
            break
        print("note: cmd.exe could not start %d case(s); running them again" % len(unstarted))
        Write("again.bat", unstarted)
        Run("again.bat", len(unstarted))
    results = []
    for index in range(len(cases)):
        try:
            code = int(local("%d.code" % index).read_text().strip())
            out = local("%d.out" % index).read_bytes().decode("utf-8", "replace")
            err = local("%d.err" % index).read_bytes().decode("utf-8", "replace")
            results.append((code, out, err))
        except (OSError, ValueError):
            results.append((None, "", "did not run to its end"))
    return results


def Compare(case, linux, windows, linux_result, windows_result):
    """The differences between the two sides' results for one case, as lines."""
    differences = []
    (lcode, lout, lerr), (wcode, wout, werr) = linux_result, windows_result
    if lcode != wcode:
        differences.append("exit status: linux %s, windows %s" % (lcode, wcode))
    lout, wout = linux.Normalise(lout), windows.Normalise(wout)
    if lout != wout:
        differences.append("stdout: linux %r, windows %r" % (lout, wout))
    lerr, werr = linux.Normalise(lerr), windows.Normalise(werr)
    if lerr != werr:
        differences.append("stderr: linux %r, windows %r" % (lerr, werr))
    for output in case.Outputs:
        lfile, wfile = linux.Local(output), windows.Local(output)
        if lfile.exists() != wfile.exists():
            differences.append("%s: written by %s only" % (
                output.relative, "linux" if lfile.exists() else "windows"))
        elif lfile.exists():
            a, b = lfile.read_bytes(), wfile.read_bytes()
            if a != b:
                differences.append("%s: %d and %d bytes, first difference at byte %d" % (
                    output.relative, len(a), len(b), FirstDifference(a, b)))
    status = "same"
    if lcode is not None and lcode != 0 and not differences:
        status = "same (both exit %d)" % lcode
    return differences, status


def WindowsSpelling(path):
    """A Linux path as wine's Z: drive spells it."""
    return "Z:" + str(path).replace("/", "\\")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("linux_tool")
    parser.add_argument("windows_tool")
    parser.add_argument("--wine", default="wine")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--only", help="run only the rows whose group or name holds this text")
    parser.add_argument("--keep", help="work in this folder and keep it (default: a temporary "
                        "folder, kept only when a row differs)")
    options = parser.parse_args()

    linux_tool = Path(options.linux_tool).resolve()
    windows_tool = Path(options.windows_tool).resolve()
    for tool, what in [(linux_tool, "the Linux build's scenarix-tool"),
                       (windows_tool, "the Windows build's scenarix-tool.exe")]:
        if not tool.is_file():
            print("MISSING: %s is not at %s; build it first" % (what, tool), file=sys.stderr)
            return 2
    if not os.environ.get("WINEPREFIX"):
        print("MISSING: WINEPREFIX is not set; give the wine prefix to run in", file=sys.stderr)
        return 2
    if not shutil.which(options.wine):
        print("MISSING: %s is not installed" % options.wine, file=sys.stderr)
        return 2
    z_drive = Path(os.environ["WINEPREFIX"]) / "dosdevices" / "z:"
    if z_drive.resolve() != Path("/"):
        print("the wine prefix has no Z: drive on / (%s)" % z_drive, file=sys.stderr)
        return 2

    work = Path(options.keep or tempfile.mkdtemp(prefix="scenaria-wincmp-")).resolve()
    work.mkdir(parents=True, exist_ok=True)
    linux_roots = {"data": str(DATA), "samples": str(SAMPLES), "shared": str(work / "shared"),
                   "own": str(work / "linux")}
    MakeSharedPictures(str(linux_tool), work / "shared")

    home = work / "home"
    home.mkdir(exist_ok=True)
    # The Linux side runs as on a desktop that takes file names, as COM does on Windows, and
    # touches no real desktop (a dry run, no display).
    linux_env = dict(os.environ, XDG_CURRENT_DESKTOP="GNOME", DESKTOP_SESSION="", DISPLAY="",
                     WAYLAND_DISPLAY="", SWAYSOCK="", HOME=str(home), LC_ALL="C")
    linux_env.pop("SCENARIA_SCREEN", None)
    windows_env = dict(linux_env, WINEDEBUG="-all")
    windows_env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    linux = Side("linux", [str(linux_tool)], linux_roots, "/", linux_env, linux_roots)
    windows_local = dict(linux_roots, own=str(work / "windows"), batches=str(work / "batches"))
    windows = Side("windows", [options.wine, WindowsSpelling(windows_tool)],
                   {name: WindowsSpelling(path) for name, path in windows_local.items()}, "\\",
                   windows_env, windows_local)

    cases = ImageCases() + WallpaperCases()
    if options.only:
        cases = [c for c in cases if options.only in c.Group or options.only in c.Name]

    runnable = [c for c in cases if not c.Skip]
    for case in runnable:
        Prepare(case, linux)
        Prepare(case, windows)
    jobs = max(1, options.jobs)
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        linux_results = list(pool.map(lambda c: linux.Run(c.Args), runnable))
    windows_results = RunBatches(runnable, windows, work, jobs)
    results = dict(zip(map(id, runnable), zip(linux_results, windows_results)))

    failures = skipped = 0
    for case in cases:
        if case.Skip:
            skipped += 1
            print("SKIP  %-10s %s\n      %s" % (case.Group, case.Name, case.Skip))
            continue
        differences, status = Compare(case, linux, windows, *results[id(case)])
        if differences:
            failures += 1
            print("DIFF  %-10s %s" % (case.Group, case.Name))
            for line in differences:
                print("      " + line)
        else:
            print("PASS  %-10s %s: %s" % (case.Group, case.Name, status))

    ran = len(cases) - skipped
    print("\n%d rows: %d the same on Linux and Windows, %d different, %d skipped" % (
        len(cases), ran - failures, failures, skipped))
    if failures or options.keep:
        print("outputs kept in %s" % work)
    else:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
