#!/usr/bin/python3
# Pillow's idea of an animated GIF, as the independent oracle of the composition tests: every
# displayed frame composed over the ones before by their disposal methods, as raw RGBA.
# Usage: pillow-frames.py FILE.gif OUTDIR; prints "width height frames".
import os
import sys

from PIL import Image, ImageSequence

source, out = sys.argv[1], sys.argv[2]
with Image.open(source) as image:
    count = 0
    for count, frame in enumerate(ImageSequence.Iterator(image), start=1):
        with open(os.path.join(out, "frame-%d.rgba" % (count - 1)), "wb") as f:
            f.write(frame.convert("RGBA").tobytes())
    print(image.size[0], image.size[1], count)
