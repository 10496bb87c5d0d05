#!/usr/bin/env python3
"""Runs the dll_tests cases that save still pictures of the running test
camera through vidlox64.dll, then reads every file with Pillow: container
format, size, the camera's corner colours where an upright picture has them,
for the BMP snapshot its exact bytes against a grab of the same frame, and
for the stills of the still pin (vlx_SaveStill) their own marks.

usage: check_still_images.py <wine-run> <prefix> <dll_tests.exe> <folder>"""
import os
import shutil
import subprocess
import sys

from PIL import Image

RED, GREEN, BLUE, WHITE = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)
EXACT, LOSSY = 0, 48  # per channel; JPEG blurs and the GIF palette is built per picture

# name: (Pillow format, width, height, tolerance)
PICTURES = {
    "full.bmp": ("BMP", 640, 480, EXACT),
    "full.jpg": ("JPEG", 640, 480, LOSSY),
    "full.png": ("PNG", 640, 480, EXACT),
    "full.gif": ("GIF", 640, 480, LOSSY),
    "full.tif": ("TIFF", 640, 480, EXACT),
    "small.bmp": ("BMP", 160, 120, EXACT),
    "small.jpg": ("JPEG", 160, 120, LOSSY),
    "small.png": ("PNG", 160, 120, EXACT),
    "small.gif": ("GIF", 160, 120, LOSSY),
    "small.tif": ("TIFF", 160, 120, EXACT),
    "wide.png": ("PNG", 320, 480, EXACT),
    "q10.jpg": ("JPEG", 640, 480, LOSSY),
    "q95.jpg": ("JPEG", 640, 480, LOSSY),
    "q101.jpg": ("JPEG", 640, 480, LOSSY),
    "q-1.jpg": ("JPEG", 640, 480, LOSSY),
    "snapshot.bmp": ("BMP", 640, 480, EXACT),
    "capture.bmp": ("BMP", 640, 480, EXACT),  # the still of a device without a still pin
}
MAGENTA, CYAN, YELLOW = (255, 0, 255), (0, 255, 255), (255, 255, 0)
# The still pin's stills: (Pillow format, width, height, tolerance, colour of
# the bottom band: cyan for the trigger, yellow for the button).
STILLS = {
    "still.png": ("PNG", 3840, 2160, EXACT, CYAN),
    "button.jpg": ("JPEG", 1920, 1080, LOSSY, YELLOW),
}

problems = []


def check(condition, text):
    if not condition:
        problems.append(text)


def check_corners(name, image, tolerance):
    """The middle of each corner block (an eighth of each side)."""
    rgb = image.convert("RGB")
    w, h = rgb.size
    bw, bh = w // 8, h // 8
    corners = {
        "top-left red": ((bw // 2, bh // 2), RED),
        "top-right green": ((w - 1 - bw // 2, bh // 2), GREEN),
        "bottom-left blue": ((bw // 2, h - 1 - bh // 2), BLUE),
        "bottom-right white": ((w - 1 - bw // 2, h - 1 - bh // 2), WHITE),
    }
    for corner, (point, expected) in corners.items():
        got = rgb.getpixel(point)
        check(all(abs(g - e) <= tolerance for g, e in zip(got, expected)),
              f"{name}: {corner} at {point} is {got}")


def check_still_marks(name, image, tolerance, source):
    """The top band of a still is magenta, its bottom band its source's colour."""
    rgb = image.convert("RGB")
    w, h = rgb.size
    for band, point, expected in (("top", (w // 2, h // 16), MAGENTA), ("bottom", (w // 2, h - 1 - h // 16), source)):
        got = rgb.getpixel(point)
        check(all(abs(g - e) <= tolerance for g, e in zip(got, expected)), f"{name}: {band} band at {point} is {got}")


def check_snapshot_bytes(folder):
    data = open(os.path.join(folder, "snapshot.bmp"), "rb").read()
    grab = open(os.path.join(folder, "snapshot.grab"), "rb").read()
    header = open(os.path.join(folder, "snapshot.header"), "rb").read()
    check(len(data) == 54 + len(grab) == 921654, f"snapshot.bmp: {len(data)} bytes")
    check(data[0:2] == b"BM", "snapshot.bmp: no BM signature")
    check(int.from_bytes(data[2:6], "little") == len(data), "snapshot.bmp: bfSize")
    check(data[6:10] == bytes(4), "snapshot.bmp: reserved words")
    check(int.from_bytes(data[10:14], "little") == 54, "snapshot.bmp: bfOffBits")
    check(data[14:54] == header[0:40], "snapshot.bmp: info header differs from vlx_GetImageMem's")
    check(data[54:] == grab, "snapshot.bmp: pixels differ from a grab of the same frame")


def check_quality(folder):
    """Quality 10 gives a clearly smaller JPEG than 95, where the encoder
    applies "ImageQuality" at all. Wine 8's JPEG encoder takes the option
    and ignores it (every file has libjpeg's default tables); the in-process
    tests prove the option itself through a recording property bag."""
    paths = [os.path.join(folder, n) for n in ("q10.jpg", "q95.jpg")]
    tables = []
    for path in paths:
        with Image.open(path) as image:
            tables.append(image.quantization)
    q10, q95 = (os.path.getsize(p) for p in paths)
    if tables[0] == tables[1]:
        print(f"note: the platform's JPEG encoder ignores ImageQuality ({q10} and {q95} bytes, same tables)")
        return
    check(q10 * 2 < q95, f"JPEG quality 10 is {q10} bytes, 95 is {q95}")


def main():
    wine_run, prefix, dll_tests, folder = sys.argv[1:5]
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    env = dict(os.environ, VLX_STILL_PICTURES=folder)
    run = subprocess.run([wine_run, prefix, dll_tests, "--gtest_filter=StillImageFiles*.*"], env=env,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if run.returncode != 0:
        print(run.stdout)
        print("the pictures were not all written")
        return 1

    for name, (fmt, width, height, tolerance, *source) in {**PICTURES, **STILLS}.items():
        path = os.path.join(folder, name)
        try:
            with Image.open(path) as image:
                check(image.format == fmt, f"{name}: {image.format}, not {fmt}")
                check(image.size == (width, height), f"{name}: {image.size}, not {(width, height)}")
                if source:
                    check_still_marks(name, image, tolerance, source[0])
                else:
                    check_corners(name, image, tolerance)
        except OSError as error:
            problems.append(f"{name}: {error}")
    check_snapshot_bytes(folder)
    check_quality(folder)

    for p in problems:
        print(p)
    print(f"{len(PICTURES) + len(STILLS)} pictures, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
