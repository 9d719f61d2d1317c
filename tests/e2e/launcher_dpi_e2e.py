#!/usr/bin/env python3
"""End-to-end tests of launcher.exe on screens of 96, 144 and 192 DPI.

Each configuration (DPI, with or without Wine's DpiScalingVer) gets a copy of the tree's Wine
prefix with LogPixels (and DpiScalingVer) set, a persistent wineserver of its own, and the
launcher shown on a large virtual screen the test starts itself (its root is white, a colour the
skin never uses, so cut-away pixels are told apart from the art). The window's size, position,
outline, face and captions are read from screenshots and compared with the skin art at that
scale; real clicks and a drag drive it.

    launcher_dpi_e2e.py LAUNCHER_EXE STANDIN_EXE PROBE_EXE WORK_DIR SKIN_BMP SKIN_BMP_200 WINE_EXEC
                        [unittest args]
"""
import math
import os
import re
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import own_screen  # noqa: E402
from own_screen import start_screen  # noqa: E402
from launcher_driving import DrivenLauncher, find_launcher_window, pe_architecture, run, run_wine_helper, wait_until, xdotool  # noqa: E402

LAUNCHER, STANDIN, PROBE, WORK, SKIN_BMP, SKIN_BMP_200, WINE_EXEC = map(os.path.abspath, sys.argv[1:8])
CMAKE_DIR = os.path.dirname(WINE_EXEC)
DRAW_SKIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "skinart", "draw_skin.py")
SCREEN = (2048, 1536)
DESKTOP = (255, 255, 255)       # Xvfb -wr; no pixel of the art is white
KEY = (255, 0, 255)
BASE = (575, 385)
PLAY = (160, 250, 60, 20)        # button rectangles at 100 %
QUIT = (355, 250, 60, 20)
SKIN_POINT = (287, 100)         # a point of the skin away from the buttons, at 100 %
SKIN_BANNER = b"ZINDLE SKIN 1.0 - launcher face and outline runs"  # each skin block repeats it
CUT_POINTS = [(0, 0), (574, 384), (3, 200), (300, 2)]          # at 100 %, far from the outline
OPAQUE_POINTS = [(287, 100), (100, 300), (500, 60), (287, 192)]

# (dpi, DpiScalingVer set, also click Play, face reference)
# exact: the face equals that art pixel for pixel; drawn: close to an exact drawing at that scale.
CONFIGURATIONS = [
    (96, False, True, "exact 100"),
    (96, True, False, "exact 100"),
    (144, False, False, "drawn 150"),
    (144, True, True, "drawn 150"),
    (192, False, True, "exact 200"),
    (192, True, False, "exact 200"),
]
# The 144-DPI face against the exact 150 % drawing. Measured: 32.96 dB and 98 % of the drawing's
# edge sharpness; the 200 % art resampled by ImageMagick: 32.6 to 32.9 dB (box, linear, Lanczos);
# the 100 % art stretched: 29.4 dB (nearest) to 31.0 dB (Lanczos), and 88 % sharpness (linear).
PSNR_BOUND = 32.0
SHARPNESS_KEPT = 0.95


def scaled(length, dpi):
    """length * dpi / 96 rounded half up."""
    return (length * dpi + 48) // 96


class Image:
    """RGB pixels, top-down, read through ImageMagick (any format it reads, after ARGS)."""

    def __init__(self, source, *args):
        data = subprocess.run(["convert", source, *args, "-depth", "8", "ppm:-"], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, check=True, timeout=120).stdout
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
        self.width, self.height = int(header.group(1)), int(header.group(2))
        self.data = data[header.end():]

    def pixel(self, x, y):
        at = (y * self.width + x) * 3
        return tuple(self.data[at:at + 3])


_drawn = {}


def reference(name, size):
    """The art a configuration's face is compared with, and the 100 % art stretched to its size."""
    if name not in _drawn:
        if name == "exact 100":
            _drawn[name] = Image(SKIN_BMP)
        elif name == "exact 200":
            _drawn[name] = Image(SKIN_BMP_200)
        else:
            out = os.path.join(WORK, "skin-150.bmp")
            run(sys.executable, DRAW_SKIN, "--scale", "1.5", out)
            _drawn[name] = Image(out)
    art = _drawn[name]
    assert (art.width, art.height) == size, (name, art.width, art.height, size)
    if size == BASE:
        return art, None
    # Pixel doubling for 200 %, a linear stretch otherwise: what a system stretching a 100 % window shows.
    stretch = ["-filter", "Point"] if size == (2 * BASE[0], 2 * BASE[1]) else ["-filter", "Triangle"]
    return art, Image(SKIN_BMP, *stretch, "-resize", "%dx%d!" % size)


def wine_environment():
    """The Wine loader, environment and ready prefix wine-exec would use for the launcher."""
    script = ('. "$0/wine-env.sh"; build=$(BuildDirOf "$2") || exit 2; '
              '"$0/wine-prefix" "$1" "$build/wineprefix-$1" >&2 || exit 1; '
              'WineEnvironment "$1"; printf "%s\\0%s\\0" "$WINE_LOADER" "$build/wineprefix-$1"; env -0')
    out = subprocess.run(["sh", "-c", script, CMAKE_DIR, pe_architecture(LAUNCHER), LAUNCHER],
                         stdout=subprocess.PIPE, check=True, timeout=600).stdout.decode()
    loader, prefix, *pairs = out.split("\0")
    return loader, prefix, dict(p.split("=", 1) for p in pairs if "=" in p)


LOADER = PREFIX = ENV = None
XVFB = None


def setUpModule():
    global LOADER, PREFIX, ENV, XVFB
    os.makedirs(WORK, exist_ok=True)
    # One copy of the launcher for the whole run, in case the build replaces it meanwhile.
    shutil.copy(LAUNCHER, WORK)
    LOADER, PREFIX, ENV = wine_environment()
    # A screen of its own, on the first free display number.
    XVFB, display = start_screen(*SCREEN)
    os.environ["DISPLAY"] = ENV["DISPLAY"] = display


def stop_screen():
    global XVFB
    own_screen.stop_screen(XVFB)
    XVFB = None


class Configuration:
    """A Wine prefix set to one DPI, with its own wineserver, and a game folder."""

    def __init__(self, name):
        self.folder = os.path.join(WORK, name)
        self.game = os.path.join(self.folder, "Zindle Game")
        self.record = os.path.join(self.game, "zindle-record.txt")
        self.prefix = os.path.join(self.folder, "prefix")
        self.env = dict(ENV, WINEPREFIX=self.prefix)

    def prepare(self, dpi, scaling_ver):
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.game)
        shutil.copy(os.path.join(WORK, "launcher.exe"), self.game)
        shutil.copy(STANDIN, os.path.join(self.game, "zindle.exe"))
        run("cp", "-a", PREFIX, self.prefix)
        subprocess.run(["wineserver", "-p"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        desktop = r"HKCU\Control Panel\Desktop"
        self.wine("reg", "add", desktop, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
        if scaling_ver:
            self.wine("reg", "add", desktop, "/v", "DpiScalingVer", "/t", "REG_DWORD", "/d", "0x1000", "/f")
        # No DirectX version: "Play" starts the game.
        run_wine_helper(LOADER, PROBE, "version", "delete-key", env=self.env)

    def wine(self, *args, check=True):
        return run(LOADER, *args, env=self.env, check=check)

    def starts(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record, encoding="utf-8") as record:
            return [line for line in record.read().splitlines() if line.startswith("path=")]

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        shutil.rmtree(self.prefix, ignore_errors=True)


class Running(DrivenLauncher):
    """One launcher process and its window."""

    def __init__(self, configuration):
        self.process = subprocess.Popen([LOADER, os.path.join(configuration.game, "launcher.exe")],
                                        cwd=configuration.folder, env=configuration.env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = wait_until(find_launcher_window, 30)


def in_button(buttons, x, y):
    return any(b[0] <= x < b[0] + b[2] and b[1] <= y < b[1] + b[3] for b in buttons.values())


def psnr(mse):
    return float("inf") if mse == 0 else 10 * math.log10(255 * 255 / mse)


class DpiTest(unittest.TestCase):
    def check_configuration(self, dpi, scaling_ver, play, face):
        name = "dpi%d%s" % (dpi, "-scalingver" if scaling_ver else "")
        configuration = Configuration(name)
        self.addCleanup(configuration.close)
        configuration.prepare(dpi, scaling_ver)
        self.addCleanup(xdotool, "mouseup", "1", check=False)
        self.name = name
        size = (scaled(BASE[0], dpi), scaled(BASE[1], dpi))
        buttons = {"Play": tuple(scaled(v, dpi) for v in PLAY), "Quit": tuple(scaled(v, dpi) for v in QUIT)}
        centre = {k: (b[0] + b[2] // 2, b[1] + b[3] // 2) for k, b in buttons.items()}

        r = self.start(configuration)
        x, y, w, h = r.geometry()
        # One screenshot of the window with a margin of desktop around it.
        margin = 8
        self.shot = os.path.join(configuration.folder, "screen.png")
        run("import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w + 2 * margin, h + 2 * margin, x - margin, y - margin),
            "+repage", self.shot)
        screen = Image(self.shot)
        self.assertEqual(size, (w, h), self.where("window size"))
        self.assertEqual((SCREEN[0] // 2 - w // 2, SCREEN[1] // 2 - h // 2), (x, y), self.where("window position"))
        texts = configuration.wine(PROBE, "texts", "Zindle").stdout.splitlines()
        self.assertIn("Play", texts)
        self.assertIn("Quit", texts)

        def seen(px, py):
            return screen.pixel(px + margin, py + margin)
        self.assertEqual(DESKTOP, screen.pixel(1, 1), self.where("desktop beside the window"))

        art, stretched = reference(face, size)
        self.check_outline(art, seen, buttons, dpi, exact=face.startswith("exact"))
        self.check_face(art, stretched, seen, buttons, face)
        self.check_captions(seen, buttons, dpi)

        # A press on the skin away from the buttons drags the window.
        r.drag((scaled(SKIN_POINT[0], dpi), scaled(SKIN_POINT[1], dpi)), 60, 40)
        self.assertEqual((x + 60, y + 40), r.geometry()[:2], self.where("window after a drag by (60, 40)"))

        r.click(centre["Quit"])
        self.assertEqual(0, r.ended(), self.where("exit code after Quit"))
        self.assertEqual([], configuration.starts(), "Quit started the game")

        if not scaling_ver:
            self.check_without_skin(configuration, dpi, size, buttons, centre)

        if play:
            r = self.start(configuration)
            r.click(centre["Play"])
            self.assertEqual(0, r.ended(), "exit code after Play")
            starts = wait_until(configuration.starts, 10)
            self.assertEqual(["path=Z:" + configuration.game.replace("/", "\\") + "\\zindle.exe"], starts)

    def check_without_skin(self, configuration, dpi, size, buttons, centre):
        """A launcher whose skins were both replaced by blocks it cannot take opens plain: the
        100 % size at the screen's scale, centred, with both buttons and their captions on it."""
        with open(os.path.join(WORK, "launcher.exe"), "rb") as f:
            program = f.read()
        banner = SKIN_BANNER + b"\r\n"
        self.assertEqual(2, program.count(banner), "the launcher does not carry two skin blocks")
        other = SKIN_BANNER[:1] + SKIN_BANNER[1:2].lower() + SKIN_BANNER[2:] + b"\r\n"
        with open(os.path.join(configuration.game, "launcher.exe"), "wb") as f:
            f.write(program.replace(banner, other))
        name, self.name = self.name, self.name + " without a skin"
        r = self.start(configuration)
        x, y, w, h = r.geometry()
        self.shot = os.path.join(configuration.folder, "screen-without-skin.png")
        run("import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", self.shot)
        screen = Image(self.shot)
        self.assertEqual(size, (w, h), self.where("window size"))
        self.assertEqual((SCREEN[0] // 2 - w // 2, SCREEN[1] // 2 - h // 2), (x, y), self.where("window position"))
        self.check_captions(screen.pixel, buttons, dpi)
        r.click(centre["Quit"])
        self.assertEqual(0, r.ended(), self.where("exit code after Quit"))
        shutil.copy(os.path.join(WORK, "launcher.exe"), configuration.game)
        self.name = name

    def start(self, configuration):
        r = Running(configuration)
        self.addCleanup(r.stop)
        if r.window is None:
            shot = os.path.join(configuration.folder, "no-window.png")
            run("import", "-window", "root", shot, check=False)
            self.fail("%s: the launcher window did not appear (process %s; screen %s)"
                      % (self.name, "running" if r.process.poll() is None else "ended with %s" % r.process.returncode, shot))
        time.sleep(0.5)
        return r

    def where(self, what):
        return "%s: %s (screenshot %s)" % (self.name, what, getattr(self, "shot", "none"))

    def check_outline(self, art, seen, buttons, dpi, exact):
        """Cut-away art shows the desktop, opaque art shows art colours: at sample points, and
        outside the buttons at every pixel, exactly or, where the art is a drawing of its own,
        up to the pixels next to its outline."""
        for p in CUT_POINTS + OPAQUE_POINTS:
            q = (p[0] * dpi // 96, p[1] * dpi // 96)
            colour, expected = seen(*q), art.pixel(*q)
            if expected == KEY:
                self.assertEqual(DESKTOP, colour, self.where("cut-away point %s shows no desktop" % (q,)))
            elif exact:
                self.assertEqual(expected, colour, self.where("art colour at %s" % (q,)))
            else:
                self.assertNotEqual(DESKTOP, colour, self.where("opaque point %s shows the desktop" % (q,)))
        self.assertEqual(len(CUT_POINTS), sum(art.pixel(p[0] * dpi // 96, p[1] * dpi // 96) == KEY for p in CUT_POINTS))
        width, height = art.width, art.height
        cut = [[art.pixel(x, y) == KEY for x in range(width)] for y in range(height)]
        near, far = 0, []
        for y in range(height):
            for x in range(width):
                if cut[y][x] == (seen(x, y) == DESKTOP) or in_button(buttons, x, y):
                    continue
                if not exact and any(cut[yy][xx] != cut[y][x] for yy in range(max(y - 1, 0), min(y + 2, height))
                                     for xx in range(max(x - 1, 0), min(x + 2, width))):
                    near += 1
                else:
                    far.append((x, y))
        print("%s: outline: %d pixels next to the art's outline and %d elsewhere differ" % (self.name, near, len(far)))
        self.assertEqual([], far[:10], self.where("%d pixels cut away on one side and opaque on the other" % len(far)))

    def check_face(self, art, stretched, seen, buttons, face):
        """The face outside the buttons and away from the outline against the art at its scale;
        and no stretched 100 % face: an exact face is far closer to its art than to the 100 % art
        enlarged, a resampled one keeps the drawing's edge sharpness, which a stretch loses."""
        def interior(x, y):
            return all(0 <= qx < art.width and 0 <= qy < art.height and art.pixel(qx, qy) != KEY
                       for qx, qy in ((x - 2, y), (x + 2, y), (x, y - 2), (x, y + 2)))
        points = [(x, y) for y in range(art.height) for x in range(art.width)
                  if not in_button(buttons, x, y) and interior(x, y)]

        def distance(pixel):
            """PSNR of the screen's face against pixel(x, y)."""
            square = sum(sum((i - j) ** 2 for i, j in zip(pixel(x, y), seen(x, y))) for x, y in points)
            return psnr(square / (3 * len(points)))

        def sharpness(pixel):
            """Mean absolute step to the right and downward neighbours, over the face."""
            return sum(sum(abs(i - j) for i, j in zip(pixel(x, y), pixel(x + 1, y)))
                       + sum(abs(i - j) for i, j in zip(pixel(x, y), pixel(x, y + 1))) for x, y in points) / len(points)
        differ = sum(art.pixel(x, y) != seen(x, y) for x, y in points)
        to_art = distance(art.pixel)
        to_stretched = distance(stretched.pixel) if stretched else None
        report = "%s: %d face pixels, %d differ from the %s art; PSNR %.2f dB" % (self.name, len(points), differ, face, to_art)
        if stretched:
            report += ", against the 100 %% art stretched %.2f dB" % to_stretched
        if face.startswith("exact"):
            print(report)
            self.assertLessEqual(differ, len(points) // 10000, self.where(report))
            if stretched:
                self.assertGreater(to_art, to_stretched + 10, self.where(report + "; no closer to the art than to a stretch"))
            return
        sharp = [sharpness(seen), sharpness(art.pixel), sharpness(stretched.pixel)]
        report += "; edge sharpness %.2f, drawing %.2f, stretched 100 %% art %.2f" % tuple(sharp)
        print(report)
        self.assertGreater(to_art, PSNR_BOUND, self.where(report))
        self.assertGreaterEqual(sharp[0], SHARPNESS_KEPT * sharp[1], self.where(report + "; blurred"))
        self.assertLess(sharp[2], SHARPNESS_KEPT * sharp[1], "a stretched 100 % face passes the sharpness bound")

    def check_captions(self, seen, buttons, dpi):
        """The dark ink of each caption lies inside its button with a margin, and is as tall as a
        font made for the DPI draws it."""
        margin = scaled(2, dpi)
        for caption, (bx, by, bw, bh) in buttons.items():
            ink = [(px, py) for py in range(by, by + bh) for px in range(bx, bx + bw)
                   if sum(c * k for c, k in zip(seen(px, py), (299, 587, 114))) < 128 * 1000]
            self.assertTrue(ink, self.where("no ink in %s" % caption))
            left, right = min(p[0] for p in ink), max(p[0] for p in ink)
            top, bottom = min(p[1] for p in ink), max(p[1] for p in ink)
            print("%s: %s button %s, ink box x %d..%d y %d..%d (%d px high)"
                  % (self.name, caption, (bx, by, bw, bh), left, right, top, bottom, bottom - top + 1))
            box = "%s ink box x %d..%d y %d..%d in button %s" % (caption, left, right, top, bottom, (bx, by, bw, bh))
            self.assertTrue(bx + margin <= left and right < bx + bw - margin and by + margin <= top
                            and bottom < by + bh - margin, self.where(box + ", not inside by %d px" % margin))
            self.assertGreaterEqual(bottom - top + 1, 6 * dpi // 96, self.where(box + ", too low for the DPI"))


# One group per DPI, one test per configuration.
for _dpi in sorted({c[0] for c in CONFIGURATIONS}):
    _methods = {}
    for _c in CONFIGURATIONS:
        if _c[0] == _dpi:
            _name = "test_declared_awareness_honoured" if _c[1] else "test_every_process_aware"
            _methods[_name] = (lambda c: lambda self: self.check_configuration(*c))(_c)
    globals()["Dpi%d" % _dpi] = type("Dpi%d" % _dpi, (DpiTest,), _methods)


if __name__ == "__main__":
    try:
        unittest.main(argv=[sys.argv[0]] + sys.argv[8:], verbosity=2)
    finally:
        stop_screen()
