#!/usr/bin/python3
# Makes the sample pictures that a first start of Scenaria shows. They are drawn from
# formulas, so anyone may use them; run with Debian's python3 and python3-pil.
import math
import os
from PIL import Image

here = os.path.dirname(os.path.abspath(__file__))


def draw(width, height, colour):
    img = Image.new("RGB", (width, height))
    img.putdata([colour(x / width, y / height) for y in range(height) for x in range(width)])
    return img


def clamp(v):
    return max(0, min(255, int(v)))


def aurora(u, v):
    band = math.exp(-((v - 0.35 - 0.12 * math.sin(u * 7.0)) ** 2) * 60)
    band2 = math.exp(-((v - 0.55 - 0.08 * math.sin(u * 11.0 + 1)) ** 2) * 90)
    return (clamp(10 + 40 * band2 + 20 * v), clamp(20 + 200 * band + 90 * band2),
            clamp(40 + 90 * band + 60 * v))


def dunes(u, v):
    h = 0.55 + 0.06 * math.sin(u * 9 + 0.5) + 0.03 * math.sin(u * 23)
    if v < h:
        t = v / h
        return (clamp(120 + 100 * t), clamp(170 + 60 * t), clamp(235 - 20 * t))
    shade = 0.5 + 0.5 * math.sin((u * 40 + v * 30))
    return (clamp(200 + 40 * shade), clamp(150 + 30 * shade), clamp(80 + 20 * shade))


def sunset(u, v):
    d = math.hypot(u - 0.5, (v - 0.62) * 1.3)
    sun = 1.0 if d < 0.08 else 0.0
    return (clamp(250 - 60 * v + 5 * sun), clamp(180 - 150 * v + 70 * sun),
            clamp(90 - 60 * v + 75 * sun + 60 * (1 - v) * (1 - u)))


def mist(u, v):
    return (clamp(90 + 100 * v + 30 * math.sin(u * 5 + v * 3)),) * 3


def tile(u, v):
    a = (math.sin(u * math.pi * 2) + math.sin(v * math.pi * 2)) * 0.25 + 0.5
    return (clamp(60 + 120 * a), clamp(90 + 80 * (1 - a)), clamp(140 + 100 * a))


draw(1600, 1000, aurora).save(os.path.join(here, "aurora.jpg"), quality=88)
draw(1280, 800, dunes).save(os.path.join(here, "dunes.png"), optimize=True)
draw(1024, 640, sunset).save(os.path.join(here, "sunset.tga"), compression="tga_rle")
draw(640, 400, mist).convert("L").save(os.path.join(here, "mist.pgm"))
draw(96, 96, tile).quantize(64).save(os.path.join(here, "tile.bmp"))
draw(640, 400, lambda u, v: tile(u * 5 % 1, v * 3 % 1)).quantize(32).save(
    os.path.join(here, "waves.tif"), compression="packbits")
draw(640, 400, lambda u, v: dunes(1 - u, v)).quantize(256).save(os.path.join(here, "hills.pcx"))
