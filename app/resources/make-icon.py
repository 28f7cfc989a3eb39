#!/usr/bin/python3
# Draws Scenaria's icon: a framed picture of a landscape, the thing the program puts on the
# desktop. Run with Debian's python3 and python3-pil; writes scenaria.png (256 x 256) and
# scenaria-64.png, and scenaria.ico for the Windows program (16 to 256 pixels).
import math
import os
from PIL import Image, ImageDraw

here = os.path.dirname(os.path.abspath(__file__))
S = 256
img = Image.new("RGBA", (S, S), (0, 0, 0, 0))
d = ImageDraw.Draw(img)
d.rounded_rectangle((8, 24, S - 8, S - 24), radius=22, fill=(40, 52, 72, 255))
sky = Image.new("RGBA", (S - 48, S - 88))
for y in range(sky.height):
    t = y / sky.height
    for x in range(sky.width):
        sky.putpixel((x, y), (int(70 + 150 * t), int(130 + 70 * t), int(230 - 60 * t), 255))
ds = ImageDraw.Draw(sky)
ds.ellipse((130, 20, 180, 70), fill=(255, 214, 90, 255))
w, h = sky.size
far = [(x, int(h * 0.62 + 14 * math.sin(x / 23.0))) for x in range(0, w + 1, 4)]
ds.polygon([(0, h)] + far + [(w, h)], fill=(70, 140, 90, 255))
near = [(x, int(h * 0.78 + 10 * math.sin(x / 15.0 + 2))) for x in range(0, w + 1, 4)]
ds.polygon([(0, h)] + near + [(w, h)], fill=(40, 100, 60, 255))
mask = Image.new("L", sky.size, 0)
ImageDraw.Draw(mask).rounded_rectangle((0, 0, w - 1, h - 1), radius=12, fill=255)
img.paste(sky, (24, 44), mask)
img.save(os.path.join(here, "scenaria.png"))
img.resize((64, 64), Image.LANCZOS).save(os.path.join(here, "scenaria-64.png"))
img.save(os.path.join(here, "scenaria.ico"), sizes=[(16, 16), (24, 24), (32, 32), (48, 48), (64, 64), (256, 256)])
