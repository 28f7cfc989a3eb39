#!/usr/bin/env python3
"""A soak of the resident program on bare X11: many changes asked of a running scenarix over a
folder of 200 pictures of every format it reads (20 of them damaged), with kill -9 at random
moments in between.

  - no crash: the program never dies on its own (a crash is reported with the picture it was
    trying, and that picture is kept);
  - resident memory and open descriptors flat: /proc/<pid>/status VmRSS and /proc/<pid>/fd are
    sampled every K changes. After a warm-up of twice the catalogue's size (each picture met
    about twice), first and last are the highest sample of the first and of the last tenth (a
    single sample swings by tens of megabytes with the picture shown last); "flat" means
    last <= first * 1.10 + one screen-sized 32-bit buffer (1280 x 720 x 4 bytes, 3686 kB), and
    the descriptors last == first in every life. The same rule is applied to the X server,
    which holds whatever the program leaves on it (pixmaps). Memory is judged only when the
    first life is at least twice the warm-up, so not in the quick run;
  - after every kill -9 the settings file is a valid INI with every key it had and the same
    values (only LastIndex moves), no other file beside it could be taken for it, and the
    temporary copy an interrupted write leaves is gone once the program has started again.

The first half of the changes is one process's life, long enough for a leak to show; the kills
fall at random changes of the second half (each fires `next` and kills a few milliseconds
later, while the change is under way as often as not). The change counter carries on across the
restarts.

    bench/soak.py [--changes N] [--kills N] [--every K] [--seed S] [--bin build/bin]
                  [--keep DIR]

Defaults: 10000 changes, 50 kills, a sample every 10 changes. `--changes 300 --kills 5` is the
quick run. Runs itself inside `desktop-session --bus --size 1280x720` (an Xvfb and a private
session bus, no window manager or desktop: the program paints the root window). Ends with
"soak: PASS" (exit 0) or "soak: FAIL (reasons)" (exit 1); failing inputs and the program's log
go to --keep DIR (default /tmp/scenaria-soak-failures).
"""
import argparse
import os
import random
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib
from concurrent.futures import ThreadPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SCREEN = (1280, 720)
SLACK_KB = SCREEN[0] * SCREEN[1] * 4 // 1000
SECTION = "Diduzavizo"
PROGRAM = "scenarix"
TOOLS = {"convert-im6.q16": "imagemagick-6.q16", "cwebp": "webp", "img2webp": "webp",
         "heif-enc": "libheif-examples", "cjxl": "libjxl-tools", "exiftool":
         "libimage-exiftool-perl", "Xvfb": "xvfb", "dbus-daemon": "dbus-daemon"}


def need(name, package):
    """The tool's path; its package is installed first when it is missing."""
    path = shutil.which(name)
    if not path:
        sudo = [] if os.geteuid() == 0 else ["sudo"]
        print(f"installing {package} for {name}", file=sys.stderr)
        subprocess.run(sudo + ["apt-get", "update", "-qq"], check=False)
        subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "--no-install-recommends",
                               package], check=False,
                       env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        path = shutil.which(name)
    if not path:
        sys.exit(f"{name} ({package}) is not installed and could not be installed")
    return path


def options():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--changes", type=int, default=10000)
    parser.add_argument("--kills", type=int, default=50)
    parser.add_argument("--every", type=int, default=10, help="sample every K changes")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--bin", default=os.path.join(ROOT, "build", "bin"))
    parser.add_argument("--keep", default="/tmp/scenaria-soak-failures")
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.changes < 20 or args.every < 1 or not 0 <= args.kills <= args.changes // 2:
        parser.error("needs --changes >= 20, --every >= 1, 0 <= --kills <= changes / 2")
    args.bin = os.path.abspath(args.bin)
    return args


# ---- the picture folder ----------------------------------------------------------------------

SIZES = [(16, 16), (2000, 1500), (33, 21), (640, 480), (100, 75), (1280, 720), (320, 240),
         (1500, 2000), (64, 64), (1024, 768), (800, 600), (200, 1000), (1600, 1200), (47, 301),
         (1920, 1080), (400, 300), (1999, 1333)]
SOURCES = ["aurora.jpg", "dunes.png", "hills.pcx", "mist.pgm", "sunset.tga"]


class Maker:
    def __init__(self, folder, scratch, tool):
        self.folder, self.scratch, self.tool = folder, scratch, tool
        self.im = need("convert-im6.q16", TOOLS["convert-im6.q16"])

    def run(self, *command):
        result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if result.returncode != 0:
            sys.exit(f"making the pictures: {' '.join(command)} failed: "
                     f"{result.stderr.decode(errors='replace').strip()}")

    def base(self, number, size):
        """A PPM of that size from one of the samples, turned to a hue of its own."""
        path = os.path.join(self.scratch, f"base{number}.ppm")
        source = os.path.join(ROOT, "samples", SOURCES[number % len(SOURCES)])
        self.run(self.im, source, "-resize", f"{size[0]}x{size[1]}!", "-modulate",
                 f"100,100,{(number * 37) % 200}", "-type", "TrueColor", "PPM:" + path)
        return path

    def png(self, src):
        """The picture as a quickly compressed PNG, for the encoders that read no PPM."""
        path = src[:-4] + ".png"
        self.run(self.im, src, "-quality", "10", "PNG24:" + path)
        return path

    def palette(self, src, colours):
        """The picture reduced to an optimised palette: our own quantiser is many times
        faster than ImageMagick's, and the files are written by the others all the same."""
        path = f"{src[:-4]}-{colours}.bmp"
        self.run(self.tool, "convert", src, path, "--colors", str(colours))
        return path

    # Each kind writes picture `name` (without extension) from the PPM `src`.
    def kinds(self):
        im, out, pal, png = self.im, self.out, self.palette, self.png
        # ImageMagick writes a picture of few colours with a palette unless told otherwise.
        rgb = ("-type", "TrueColor")
        webp, heif, jxl = need("cwebp", "webp"), need("heif-enc", "libheif-examples"), \
            need("cjxl", "libjxl-tools")
        return [
            ("bmp 1 bit", lambda s, n: self.run(im, pal(s, 2), "-type", "Bilevel",
                                                "BMP3:" + out(n, "bmp"))),
            ("bmp 4 bit", lambda s, n: self.run(im, pal(s, 16), "-depth", "4",
                                                "BMP3:" + out(n, "bmp"))),
            ("bmp 8 bit", lambda s, n: self.run(im, pal(s, 200), "-type", "Palette", "-compress",
                                                "None", "BMP3:" + out(n, "bmp"))),
            ("bmp 24 bit", lambda s, n: self.run(im, s, *rgb, "BMP3:" + out(n, "bmp"))),
            ("dib 24 bit", lambda s, n: self.run(im, s, *rgb, "BMP3:" + out(n, "dib"))),
            ("rle RLE8", lambda s, n: self.run(im, pal(s, 200), "-type", "Palette", "-compress",
                                               "RLE", "BMP3:" + out(n, "rle"))),
            ("rle RLE4", self.rle4),
            ("gif", lambda s, n: self.run(im, pal(s, 128), "GIF:" + out(n, "gif"))),
            ("gif animated", lambda s, n: self.run(im, pal(s, 64), "(", pal(s, 64), "-negate",
                                                   ")", "-set", "delay", "20", "-loop", "0",
                                                   "GIF:" + out(n, "gif"))),
            ("png grey", lambda s, n: self.run(im, s, "-colorspace", "Gray", "-type", "Grayscale",
                                               "PNG:" + out(n, "png"))),
            ("png palette", lambda s, n: self.run(im, pal(s, 100), "PNG8:" + out(n, "png"))),
            ("png RGBA", lambda s, n: self.run(im, s, "-alpha", "set", "-channel", "A",
                                               "-evaluate", "set", "60%", "PNG32:"
                                               + out(n, "png"))),
            ("png 16 bit", lambda s, n: self.run(im, s, "-depth", "16", "PNG48:"
                                                 + out(n, "png"))),
            ("png interlaced", lambda s, n: self.run(im, s, "-interlace", "PNG",
                                                     "PNG24:" + out(n, "png"))),
            ("jpeg baseline", lambda s, n: self.run(im, s, "-quality", "85", out(n, "jpg"))),
            ("jpeg progressive", lambda s, n: self.run(im, s, "-interlace", "Plane",
                                                       out(n, "jpeg"))),
            ("jpeg grey", lambda s, n: self.run(im, s, "-colorspace", "Gray",
                                                "JPEG:" + out(n, "jif"))),
            ("jpeg turned (Exif 6)", self.turned_jpeg),
            ("tga", lambda s, n: self.run(im, s, *rgb, out(n, "tga"))),
            ("tga RLE", lambda s, n: self.run(im, s, *rgb, "-compress", "RLE", out(n, "tga"))),
            ("pcx 24 bit", lambda s, n: self.run(im, s, *rgb, out(n, "pcx"))),
            ("pcx 8 bit", lambda s, n: self.run(im, pal(s, 200), "-type", "Palette",
                                                out(n, "pcx"))),
            ("pbm", lambda s, n: self.run(im, pal(s, 2), "-type", "Bilevel", out(n, "pbm"))),
            ("pgm", lambda s, n: self.run(im, s, "-colorspace", "Gray", out(n, "pgm"))),
            ("ppm", lambda s, n: shutil.copyfile(s, out(n, "ppm"))),
            ("ppm ascii", lambda s, n: self.run(im, s, "-compress", "none", out(n, "ppm"))),
            # The TIFF reader takes uncompressed and PackBits strips only.
            ("tiff", lambda s, n: self.run(im, s, *rgb, "-compress", "None", out(n, "tif"))),
            ("tiff PackBits", lambda s, n: self.run(im, s, *rgb, "-compress", "RLE",
                                                    out(n, "tiff"))),
            ("tiff grey", lambda s, n: self.run(im, s, "-colorspace", "Gray", "-compress",
                                                "None", out(n, "tif"))),
            ("webp lossy", lambda s, n: self.run(webp, "-quiet", png(s), "-o", out(n, "webp"))),
            ("webp lossless", lambda s, n: self.run(webp, "-quiet", "-lossless", "-z", "1",
                                                    png(s), "-o", out(n, "webp"))),
            ("webp animated", self.animated_webp),
            ("heic", lambda s, n: self.run(heif, "-q", "50", "-p", "preset=ultrafast", png(s),
                                           "-o", out(n, "heic"))),
            ("avif", lambda s, n: self.run(heif, "-A", "-q", "50", "-p", "speed=9", png(s),
                                           "-o", out(n, "avif"))),
            ("jxl", lambda s, n: self.run(jxl, "-e", "3", "-q", "80", "--quiet", s,
                                          out(n, "jxl"))),
            ("bmp 8 bit by scenarix-tool", lambda s, n: shutil.copyfile(pal(s, 64),
                                                                        out(n, "bmp"))),
        ]

    def out(self, name, extension):
        return os.path.join(self.folder, f"{name}.{extension}")

    def rle4(self, src, name):
        """A 4-bit BMP re-encoded as RLE4 (ImageMagick writes RLE8 only)."""
        plain = os.path.join(self.scratch, name + ".bmp")
        self.run(self.im, self.palette(src, 16), "-depth", "4", "BMP3:" + plain)
        with open(plain, "rb") as f:
            data = bytearray(f.read())
        offset, = struct.unpack_from("<I", data, 10)
        width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
        if bits != 4 or compression != 0 or height <= 0:
            sys.exit(f"making the pictures: {plain} is no plain 4-bit BMP")
        stride = ((width * 4 + 31) // 32) * 4
        encoded = bytearray()
        for row in range(height):
            line = data[offset + row * stride:offset + row * stride + stride]
            pixels = [(line[x // 2] >> (4 if x % 2 == 0 else 0)) & 15 for x in range(width)]
            x = 0
            while x < width:
                run = 1
                while x + run < width and run < 255 and pixels[x + run] == pixels[x]:
                    run += 1
                encoded += bytes([run, pixels[x] << 4 | pixels[x]])
                x += run
            encoded += b"\0\0"
        encoded[-2:] = b"\0\1"
        header = data[:offset]
        struct.pack_into("<I", header, 2, offset + len(encoded))
        struct.pack_into("<I", header, 30, 2)
        struct.pack_into("<I", header, 34, len(encoded))
        with open(self.out(name, "rle"), "wb") as f:
            f.write(header + encoded)

    def turned_jpeg(self, src, name):
        path = self.out(name, "jpg")
        self.run(self.im, src, path)
        self.run(need("exiftool", "libimage-exiftool-perl"), "-q", "-overwrite_original",
                 "-Orientation=6", "-n", path)

    def animated_webp(self, src, name):
        second = os.path.join(self.scratch, name + "-2.png")
        self.run(self.im, src, "-negate", "-quality", "10", "PNG24:" + second)
        self.run(need("img2webp", "webp"), "-loop", "0", "-lossy", self.png(src), "-d", "200",
                 second,
                 "-o", self.out(name, "webp"))


def damaged(folder, maker):
    """Twenty damaged files of the kinds the program reads; their names say what is wrong."""
    scratch = maker.scratch
    made = []

    def write(name, data):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        made.append(name)

    def good(size, extension):
        path = os.path.join(scratch, f"sound-{size[0]}x{size[1]}.{extension}")
        maker.run(maker.im, os.path.join(ROOT, "samples", "aurora.jpg"), "-resize",
                  f"{size[0]}x{size[1]}!", path)
        with open(path, "rb") as f:
            return f.read()

    def png_chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    rng = random.Random(1)
    jpeg = good((1600, 1200), "jpg")
    write("cut-at-40-percent.jpg", jpeg[:len(jpeg) * 4 // 10])
    png = good((1200, 900), "png")
    write("cut-at-30-percent.png", png[:len(png) * 3 // 10])
    write("zero-bytes.bmp", b"")
    write("zero-bytes.jpg", b"")
    write("random-bytes.png", bytes(rng.getrandbits(8) for _ in range(65536)))
    write("text-not-a-picture.jpg", b"this is no picture\n" * 200)
    # Headers that promise far more than the file holds.
    write("liar-40000x30000.bmp", b"BM" + struct.pack("<IHHI", 1078, 0, 0, 54)
          + struct.pack("<IiiHHIIiiII", 40, 40000, 30000, 1, 24, 0, 0, 2835, 2835, 0, 0)
          + bytes(1024))
    write("liar-60000x60000.png", b"\x89PNG\r\n\x1a\n"
          + png_chunk(b"IHDR", struct.pack(">IIBBBBB", 60000, 60000, 8, 2, 0, 0, 0))
          + png_chunk(b"IDAT", zlib.compress(bytes(5000))) + png_chunk(b"IEND", b""))
    write("liar-65535x65535.tga", struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, 65535,
                                              65535, 24, 0) + bytes(300))
    write("liar-65001x65001.pcx", struct.pack("<BBBBHHHHHH", 10, 5, 1, 8, 0, 0, 65000, 65000,
                                              72, 72) + bytes(48) + struct.pack(
        "<BBHH", 0, 3, 65002, 1) + bytes(58) + bytes(rng.getrandbits(8) for _ in range(2000)))
    write("liar-30000x30000.ppm", b"P6\n30000 30000\n255\n" + bytes(3000))
    sof = bytearray(jpeg)
    at = next(i for i in range(2, len(sof) - 9) if sof[i] == 0xFF and sof[i + 1] in (0xC0, 0xC2))
    struct.pack_into(">HH", sof, at + 5, 65500, 65500)
    write("liar-65500x65500-sof.jpg", bytes(sof))
    tiff = struct.pack("<2sHI", b"II", 42, 8)
    entries = [(256, 4, 1, 50000), (257, 4, 1, 50000), (258, 3, 1, 8), (259, 3, 1, 1),
               (262, 3, 1, 1), (273, 4, 1, 1 << 30), (277, 3, 1, 1), (278, 4, 1, 50000),
               (279, 4, 1, 2500000000)]
    tiff += struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        tiff += struct.pack("<HHII", tag, kind, count, value)
    write("liar-strip-beyond-the-end.tif", tiff + struct.pack("<I", 0) + bytes(200))
    # RLE8 whose runs and deltas run past the rows and the picture, then stop mid-run.
    rle = bytes([255, 7] * 40 + [0, 2, 200, 200] + [0, 5, 1, 2, 3] + [0, 0] + [255, 9, 0])
    write("rle8-runs-past-the-end.rle", b"BM" + struct.pack("<IHHI", 54 + 1024 + len(rle), 0, 0,
                                                            54 + 1024)
          + struct.pack("<IiiHHIIiiII", 40, 64, 32, 1, 8, 1, len(rle), 2835, 2835, 256, 0)
          + bytes(1024) + rle)
    webp = good((900, 600), "webp")
    write("cut-in-the-middle.webp", webp[:len(webp) // 2])
    maker.run(need("heif-enc", "libheif-examples"), "-q", "40", "-p", "preset=ultrafast",
              os.path.join(scratch, "sound-1200x900.png"), "-o", os.path.join(scratch, "cut.heic"))
    with open(os.path.join(scratch, "cut.heic"), "rb") as f:
        heic = f.read()
    write("cut-in-the-middle.heic", heic[:len(heic) // 2])
    write("garbage-after-ftyp.avif", struct.pack(">I", 24) + b"ftypavif" + bytes(4)
          + b"avifmif1" + bytes(rng.getrandbits(8) for _ in range(4000)))
    maker.run(need("cjxl", "libjxl-tools"), "-e", "3", "--quiet",
              os.path.join(scratch, "sound-1200x900.png"), os.path.join(scratch, "cut.jxl"))
    with open(os.path.join(scratch, "cut.jxl"), "rb") as f:
        jxl = f.read()
    write("cut-in-the-middle.jxl", jxl[:len(jxl) // 3])
    os.makedirs(os.path.join(folder, "a-folder-named.jpg"))
    with open(os.path.join(folder, "a-folder-named.jpg", "inside.txt"), "w") as f:
        f.write("a folder, not a picture\n")
    made.append("a-folder-named.jpg/")
    os.symlink(os.path.join(folder, "nowhere", "gone.png"), os.path.join(folder, "dangling.png"))
    made.append("dangling.png")
    return made


def make_folder(folder, scratch, tool, good_count=180):
    maker = Maker(folder, scratch, tool)
    kinds = maker.kinds()
    jobs = []
    for number in range(good_count):
        kind_name, make = kinds[number % len(kinds)]
        size = SIZES[number % len(SIZES)]
        name = f"{number:03d}-{kind_name.replace(' ', '-').replace('(', '').replace(')', '')}" \
               f"-{size[0]}x{size[1]}"
        jobs.append((number, size, make, name))

    def one(job):
        number, size, make, name = job
        make(maker.base(number, size), name)

    with ThreadPoolExecutor(max_workers=2) as pool:
        list(pool.map(one, jobs))
    broken = damaged(folder, maker)
    return [k for k, _ in kinds], broken


# ---- the settings file -----------------------------------------------------------------------

def parse_ini(path):
    """{section: {key: value}} of a strict INI file, or raises ValueError with the reason."""
    with open(path, "rb") as f:
        return parse_ini_bytes(f.read())


def parse_ini_bytes(raw):
    if not raw:
        raise ValueError("the file is empty")
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as e:
        raise ValueError(f"not UTF-8: {e}") from None
    if not text.endswith("\n"):
        raise ValueError("the last line is cut short")
    sections, current = {}, None
    for number, line in enumerate(text.split("\n")[:-1], 1):
        line = line.rstrip("\r")
        if not line.strip() or line.lstrip().startswith(";"):
            continue
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1], {})
            continue
        if current is None or "=" not in line or not line.split("=", 1)[0]:
            raise ValueError(f"line {number} is neither a section nor key=value: {line!r}")
        key, value = line.split("=", 1)
        if key in current:
            raise ValueError(f"line {number}: the key {key!r} comes twice")
        current[key] = value
    return sections


def settings_text(pictures, save):
    return (f"[{SECTION}]\nDirectory={pictures}\nSubfolders=0\nMode=1\nDelay=720\n"
            f"LastIndex=-1\nRandom=0\nTile=2\nMinWidth=320\nMinHeight=240\nRunOnStart=0\n"
            f"Stretch=1\nProportional=1\nActiveDesktop=0\nShowHints=1\nHint on Tray=2\n"
            f"FilesType=0\nSave Folder={save}\nAutoRotate=1\nSmooth=1\n")


# ---- the running program ---------------------------------------------------------------------

def proc_status(pid):
    values = {}
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                name, _, rest = line.partition(":")
                if name in ("VmRSS", "VmHWM"):
                    values[name] = int(rest.split()[0])
        values["fds"] = len(os.listdir(f"/proc/{pid}/fd"))
    except (FileNotFoundError, ProcessLookupError, ValueError):
        return None
    return values


def xvfb_pid():
    """The X server desktop-session started for us: a sibling of this process."""
    parent = os.getppid()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        name = stat[stat.index("(") + 1:stat.rindex(")")]
        ppid = int(stat[stat.rindex(")") + 2:].split()[1])
        if name == "Xvfb" and ppid == parent:
            return int(entry)
    return None


class Soak:
    def __init__(self, args, work):
        self.args, self.work = args, work
        self.tool = os.path.join(args.bin, "scenarix-tool")
        self.dir = os.path.join(work, "program")
        self.pictures = os.path.join(work, "pictures")
        self.save = os.path.join(work, "save")
        self.home = os.path.join(work, "home")
        for path in (self.dir, self.pictures, self.save, self.home, os.path.join(work, "gen")):
            os.makedirs(path)
        self.program = os.path.join(self.dir, PROGRAM)
        self.ini = self.program + ".INI"
        shutil.copy2(os.path.join(args.bin, PROGRAM), self.program)
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "WAYLAND_DISPLAY",
                                 "SWAYSOCK", "GNOME_DESKTOP_SESSION_ID", "KDE_FULL_SESSION")}
        self.env.update(HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                        XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                        QT_QPA_PLATFORM="xcb")
        self.log = open(os.path.join(work, "scenarix.log"), "ab")
        self.process = None
        self.life = 0
        self.samples = []  # (change, life, VmRSS kB, fds, Xvfb VmRSS kB)
        self.peaks = []  # VmHWM kB of each life, read just before its end
        self.durations = []
        self.failures = []
        self.crashes = []
        self.refusals = {}
        self.shown = 0
        self.last_shown = None
        self.kills = {"answered": 0, "in the settings write": 0, "mid-change": 0,
                      "before the change": 0}
        self.status_times = []
        self.leftovers = 0
        self.reference = None
        self.xvfb = xvfb_pid()

    def fail(self, why):
        self.failures.append(why)
        print(f"  FAULT: {why}", flush=True)

    def call(self, command, timeout=90):
        return subprocess.run([self.tool, command], capture_output=True, text=True,
                              env=self.env, timeout=timeout)

    def start(self):
        self.life += 1
        self.log.write(f"---- life {self.life}\n".encode())
        self.log.flush()
        self.process = subprocess.Popen([self.program], stdout=self.log, stderr=self.log,
                                        env=self.env, cwd=self.work)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                break
            asked = time.monotonic()
            if self.call("status", timeout=30).returncode == 0:
                self.status_times.append(time.monotonic() - asked)
                return True
            time.sleep(0.05)
        self.fail(f"life {self.life}: the program never answered `status` after its start "
                  f"(exit {self.process.poll()})")
        return False

    def catalogue(self):
        result = subprocess.run([self.tool, "catalogue", "--ini", self.ini], capture_output=True,
                                text=True, env=self.env)
        if result.returncode != 0:
            sys.exit(f"scenarix-tool catalogue failed: {result.stderr.strip()}")
        return [line for line in result.stdout.split("\n") if line]

    def last_index(self):
        try:
            return parse_ini(self.ini).get(SECTION, {}).get("LastIndex")
        except (OSError, ValueError):
            return None

    def picture_tried(self):
        index = self.last_index()
        if index is not None and index.lstrip("-").isdigit() and 0 <= int(index) < len(
                self.catalogue_list):
            return self.catalogue_list[int(index)]
        return None

    def keep(self, what, path):
        os.makedirs(self.args.keep, exist_ok=True)
        target = os.path.join(self.args.keep, what)
        if os.path.isdir(path):
            shutil.copytree(path, target, symlinks=True, dirs_exist_ok=True)
        else:
            shutil.copy2(path, target, follow_symlinks=False)
        return target

    def crashed(self, change, code):
        """The program died without our kill: counted, reported and its picture kept."""
        tried = self.picture_tried()
        how = f"signal {-code}" if code < 0 else f"exit code {code}"
        self.crashes.append((change, how, self.last_shown, tried))
        kept = self.keep(f"crash-{change}-" + os.path.basename(tried or "unknown"), tried) \
            if tried and os.path.lexists(tried) else None
        self.log.flush()
        self.keep(f"crash-{change}-scenarix.log", self.log.name)
        self.fail(f"change {change}: the program died on its own ({how}); shown last: "
                  f"{self.last_shown}; trying: {tried}" + (f" (kept as {kept})" if kept else ""))

    def change(self, number):
        start = time.monotonic()
        try:
            result = self.call("next")
        except subprocess.TimeoutExpired:
            self.fail(f"change {number}: `scenarix-tool next` hung for 90 s, trying "
                      f"{self.picture_tried()}")
            self.process.kill()
            self.process.wait()
            return self.start()
        self.durations.append(time.monotonic() - start)
        code = self.process.poll()
        if code is not None:
            self.crashed(number, code)
            return self.start()
        if result.returncode == 0 and result.stdout.startswith("Picture: "):
            self.shown += 1
            self.last_shown = result.stdout.split("\n")[0][len("Picture: "):]
        else:
            why = (result.stderr.strip() or f"exit {result.returncode}").split("\n")[0]
            self.refusals[why] = self.refusals.get(why, 0) + 1
        if self.reference is None and self.shown:
            self.take_reference()
        return True

    def take_reference(self):
        """The settings as the program first wrote them: what every later file must hold."""
        sections = parse_ini(self.ini)
        self.reference = dict(sections.get(SECTION, {}))
        missing = set(self.written) - set(self.reference)
        if missing:
            self.fail(f"the program's first write dropped the keys {sorted(missing)}")

    def sample(self, number):
        facts = proc_status(self.process.pid)
        server = proc_status(self.xvfb) if self.xvfb else None
        if facts:
            self.samples.append((number, self.life, facts["VmRSS"], facts["fds"],
                                 server["VmRSS"] if server else None))

    def check_settings(self, number):
        try:
            sections = parse_ini(self.ini)
        except (OSError, ValueError) as e:
            kept = self.keep(f"kill-{number}-scenarix.INI", self.ini) \
                if os.path.lexists(self.ini) else None
            self.fail(f"change {number}: after kill -9 the settings file is broken: {e}"
                      + (f" (kept as {kept})" if kept else ""))
            return
        keys = sections.get(SECTION, {})
        reference = self.reference or self.written
        problems = []
        if set(sections) != {SECTION}:
            problems.append(f"sections {sorted(sections)}")
        if set(keys) != set(reference):
            problems.append(f"keys lost {sorted(set(reference) - set(keys))}, "
                            f"keys added {sorted(set(keys) - set(reference))}")
        for key, value in reference.items():
            if key != "LastIndex" and key in keys and keys[key] != value:
                problems.append(f"{key}={keys[key]!r}, was {value!r}")
        index = keys.get("LastIndex", "")
        if not (index.lstrip("-").isdigit() and -1 <= int(index) < len(self.catalogue_list)):
            problems.append(f"LastIndex={index!r}")
        if problems:
            kept = self.keep(f"kill-{number}-scenarix.INI", self.ini)
            self.fail(f"change {number}: after kill -9 the settings file is wrong: "
                      f"{'; '.join(problems)} (kept as {kept})")

    def temporary_copies(self):
        """Files beside the program; raises a fault for one that is neither the settings, the
        program nor the temporary copy a write makes (scenarix.INI.XXXXXX)."""
        copies = []
        for name in os.listdir(self.dir):
            if name in (PROGRAM, PROGRAM + ".INI"):
                continue
            tail = name[len(PROGRAM + ".INI."):]
            if name.startswith(PROGRAM + ".INI.") and len(tail) == 6 and tail.isalnum():
                copies.append(name)
            else:
                self.fail(f"a stray file beside the settings: {name}")
        return copies

    def copy_names(self):
        """The temporary copies a settings write makes beside the file (scenarix.INI.XXXXXX)."""
        prefix = PROGRAM + ".INI."
        return [name for name in os.listdir(self.dir) if name.startswith(prefix)
                and len(name) == len(prefix) + 6 and name[len(prefix):].isalnum()]

    def kill_change(self, number):
        """`next`, and kill -9 while it is under way; then the checks and a restart. The moment
        takes turns: as soon as the settings write's temporary copy appears; at random in the
        change once the settings file was replaced (the change writes it before it loads the
        picture); at random from the call on."""
        before = self.last_index()
        inode = os.stat(self.ini).st_ino
        strategy = len(self.peaks) % 3
        asked = statistics.median(self.durations[-50:]) if self.durations else 0.2
        answered = statistics.median(self.status_times[-20:]) if self.status_times else 0.05
        peak = proc_status(self.process.pid)
        tool = subprocess.Popen([self.tool, "next"], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, env=self.env)
        give_up = time.monotonic() + max(1.0, 5 * asked)
        if strategy == 0:
            while time.monotonic() < give_up and not self.copy_names():
                time.sleep(0.0002)
        elif strategy == 1:
            while time.monotonic() < give_up and os.stat(self.ini).st_ino == inode:
                time.sleep(0.001)
            time.sleep(random.uniform(0.0, max(0.005, asked - answered)))
        else:
            time.sleep(random.uniform(0.0, asked))
        os.kill(self.process.pid, signal.SIGKILL)
        code = self.process.wait()
        try:
            out, _ = tool.communicate(timeout=90)
        except subprocess.TimeoutExpired:
            tool.kill()
            out, _ = tool.communicate()
            self.fail(f"change {number}: `scenarix-tool next` still waited 90 s after the kill")
        if peak:
            self.peaks.append(peak["VmHWM"])
        if code != -signal.SIGKILL:
            self.crashed(number, code)
        if tool.returncode == 0 and out.startswith("Picture: "):
            self.kills["answered"] += 1
            self.shown += 1
            self.last_shown = out.split("\n")[0][len("Picture: "):]
        elif self.copy_names():
            self.kills["in the settings write"] += 1
        elif self.last_index() != before:
            self.kills["mid-change"] += 1
        else:
            self.kills["before the change"] += 1
        self.check_settings(number)
        copies = self.temporary_copies()
        self.leftovers += len(copies)
        # The bus takes a moment to see the name's owner gone; a copy started before that
        # could not take the name.
        for _ in range(200):
            answer = self.call("status", timeout=30)
            if answer.returncode == 1 and "not running" in answer.stderr:
                break
            time.sleep(0.05)
        if not self.start():
            return False
        for name in copies:
            if os.path.lexists(os.path.join(self.dir, name)):
                self.fail(f"change {number}: the interrupted write {name} was still there "
                          f"after the restart")
        return True

    def run(self):
        args = self.args
        print(f"making the picture folder in {self.pictures}", flush=True)
        begun = time.monotonic()
        kinds, broken = make_folder(self.pictures, os.path.join(self.work, "gen"), self.tool)
        count = len(os.listdir(self.pictures))
        print(f"  {count} pictures ({count - len(broken)} sound, {len(broken)} damaged) of "
              f"{len(kinds)} kinds in {time.monotonic() - begun:.0f} s", flush=True)
        text = settings_text(self.pictures, self.save)
        with open(self.ini, "w") as f:
            f.write(text)
        self.written = parse_ini_bytes(text.encode())[SECTION]
        self.catalogue_list = self.catalogue()
        print(f"  the program's catalogue holds {len(self.catalogue_list)} of them (GIFs are "
              f"not among \"All graphic files\")", flush=True)

        seed = args.seed if args.seed is not None else int(time.time())
        random.seed(seed)
        first_kill = args.changes // 2
        kill_at = set(random.sample(range(first_kill, args.changes), args.kills))
        print(f"soak: {args.changes} changes, {args.kills} kills (seed {seed}), a sample every "
              f"{args.every}", flush=True)
        begun = time.monotonic()
        if not self.start():
            return self.report(0, 0)
        for _ in range(5):
            asked = time.monotonic()
            self.call("status")
            self.status_times.append(time.monotonic() - asked)
        done = 0
        for number in range(1, args.changes + 1):
            alive = self.kill_change(number) if number - 1 in kill_at else self.change(number)
            done = number
            if not alive:
                break
            if number % args.every == 0:
                self.sample(number)
            if number % max(1, args.changes // 20) == 0:
                last = self.samples[-1] if self.samples else None
                print(f"  {number:6d} changes, {time.monotonic() - begun:6.0f} s"
                      + (f", RSS {last[2] / 1024:.1f} MB, {last[3]} fds" if last else ""),
                      flush=True)
        if self.process and self.process.poll() is None:
            facts = proc_status(self.process.pid)
            if facts:
                self.peaks.append(facts["VmHWM"])
            code = self.process.poll()
            if code is not None:
                self.crashed(done, code)
            self.call("quit")
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.fail("the program did not end on `scenarix-tool quit`")
                self.process.kill()
                self.process.wait()
        return self.report(done, time.monotonic() - begun)

    @staticmethod
    def ends(values):
        """First and last of a series of resident sizes: the highest sample of its first and
        of its last tenth. A single sample swings by tens of megabytes with the picture shown
        last (how much of the freed heap the allocator keeps); a leak lifts the highest ones."""
        window = max(1, len(values) // 10)
        return max(values[:window]), max(values[-window:])

    def flat(self, values):
        first, last = self.ends(values)
        return last <= first * 1.10 + SLACK_KB

    def report(self, done, seconds):
        args = self.args
        # Warm: every picture tried about twice, so that the heap has met the largest ones
        # (in random order) before memory is judged; it is judged only on a stretch at least
        # as long again.
        warm = max(args.every, 2 * len(self.catalogue_list))
        first_life = [s for s in self.samples if s[1] == 1 and s[0] >= warm]
        lived = max((s[0] for s in self.samples if s[1] == 1), default=0)
        judged = lived >= 2 * warm
        server = [s[4] for s in self.samples if s[0] >= warm and s[4] is not None]
        rows = []

        def row(name, values, unit):
            if unit == "MB":
                first, last = self.ends(values)
                rows.append((name, f"{first / 1024:.1f} MB", f"{last / 1024:.1f} MB",
                             f"{max(values) / 1024:.1f} MB"))
            else:
                rows.append((name, str(values[0]), str(values[-1]), str(max(values))))

        print()
        print(f"{done} changes in {seconds / 60:.1f} min ({self.shown} shown, "
              f"{sum(self.refusals.values())} refused), {sum(self.kills.values())} kills -9 "
              f"({self.kills['in the settings write']} in the settings write, "
              f"{self.kills['mid-change']} later in the change, "
              f"{self.kills['before the change']} before it began, {self.kills['answered']} "
              f"after its answer), "
              f"crashes: {len(self.crashes)}, starts: {self.life}")
        if self.durations:
            print(f"a change as `scenarix-tool next` sees it: median "
                  f"{statistics.median(self.durations) * 1000:.0f} ms, longest "
                  f"{max(self.durations) * 1000:.0f} ms")
        for why, n in sorted(self.refusals.items(), key=lambda item: -item[1]):
            print(f"  refused {n} times: {why}")
        if len(first_life) >= 2:
            row(f"scenarix RSS, changes {first_life[0][0]}-{first_life[-1][0]} (1st life)",
                [s[2] for s in first_life], "MB")
        later = [s[2] for s in self.samples if s[1] > 1]
        if later:
            rows.append((f"scenarix RSS, lives 2-{self.life}", "", "",
                         f"{max(later) / 1024:.1f} MB"))
        if self.samples:
            row("scenarix open descriptors, whole run", [s[3] for s in self.samples], "")
        if len(server) >= 2:
            row(f"Xvfb RSS, changes {warm}-{self.samples[-1][0]}", server, "MB")
        if self.peaks:
            rows.append(("scenarix peak RSS (VmHWM) of a life", "", "",
                         f"{max(self.peaks) / 1024:.1f} MB"))
        width = max(len(r[0]) for r in rows) if rows else 10
        print(f"{'':{width}} {'first':>9} {'last':>9} {'max':>9}")
        for name, first, last, most in rows:
            print(f"{name:{width}} {first:>9} {last:>9} {most:>9}")
        print(f"memory: first and last are the highest sample of the first and the last tenth, "
              f"from change {warm} on; flat when last <= first x 1.10 + {SLACK_KB} kB (a "
              f"{SCREEN[0]}x{SCREEN[1]} 32-bit buffer); descriptors: last == first in every "
              f"life")
        if not judged:
            print(f"memory not judged: the first life ({lived} changes) is shorter than twice "
                  f"the warm-up ({warm} changes)")
        print(f"settings after the kills: {sum(self.kills.values())} checked, "
              f"{self.leftovers} temporary copies left by a kill (removed by the next start)")
        save = sorted(os.listdir(self.save))
        print(f"save folder at the end: {', '.join(save) if save else 'empty'}")

        reasons = list(self.failures)
        if judged and len(first_life) >= 2 and not self.flat([s[2] for s in first_life]):
            reasons.append("scenarix's resident memory grows")
        if judged and len(server) >= 2 and not self.flat(server):
            reasons.append("the X server's resident memory grows")
        for life in sorted({s[1] for s in self.samples}):
            fds = [s[3] for s in self.samples if s[1] == life and (life > 1 or s[0] >= warm)]
            if len(fds) >= 2 and fds[-1] != fds[0]:
                reasons.append(f"open descriptors {fds[0]} -> {fds[-1]} in life {life}")
        if done < args.changes:
            reasons.append(f"stopped after {done} changes")
        if reasons:
            self.log.flush()
            self.keep("scenarix.log", self.log.name)
            print(f"soak: FAIL ({'; '.join(dict.fromkeys(reasons))})")
            return 1
        print("soak: PASS")
        return 0


def main():
    args = options()
    if not args.inside:
        for program in (PROGRAM, "scenarix-tool", "desktop-session"):
            if not os.access(os.path.join(args.bin, program), os.X_OK):
                sys.exit(f"{program} is not built in {args.bin} (the targets scenarix, "
                         f"scenarix-tool and desktop-session of a build with SCENARIA_TESTS=ON)")
        for tool, package in TOOLS.items():
            need(tool, package)
        session = os.path.join(args.bin, "desktop-session")
        size = f"{SCREEN[0]}x{SCREEN[1]}"
        os.execv(session, [session, "--size", size, "--bus", "--", sys.executable,
                           os.path.abspath(__file__), "--inside"] + sys.argv[1:])
    work = tempfile.mkdtemp(prefix="scenaria-soak-")
    soak = Soak(args, work)
    try:
        code = soak.run()
    finally:
        if soak.process and soak.process.poll() is None:
            soak.process.kill()
            soak.process.wait()
        soak.log.close()
        shutil.rmtree(work, ignore_errors=True)
    sys.exit(code)


if __name__ == "__main__":
    main()
