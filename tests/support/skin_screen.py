"""The skin's own pixels and the screen's, for the tests that run the real launcher.exe."""
import os
import re
import struct
import subprocess


def read_artwork(path):
    """A 24-bit bottom-up BMP as (width, height, pixel(x, y) -> (r, g, b))."""
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3

    def pixel(x, y):
        at = offset + (height - 1 - y) * stride + x * 3
        b, g, r = data[at:at + 3]
        return (r, g, b)
    return width, height, pixel


def read_screen(work):
    """One screenshot of the root window, kept in the folder work, as (width, height,
    pixel(x, y) -> (r, g, b))."""
    shot = os.path.join(work, "screen.ppm")
    subprocess.run(["import", "-window", "root", "-depth", "8", shot], stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=True)
    data = open(shot, "rb").read()
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
    width, height = int(header.group(1)), int(header.group(2))
    body = data[header.end():]
    return width, height, lambda x, y: tuple(body[(y * width + x) * 3:(y * width + x) * 3 + 3])
