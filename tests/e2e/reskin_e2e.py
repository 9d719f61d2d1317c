#!/usr/bin/env python3
"""A built launcher.exe reskinned without a compiler, then run the way a player runs it.

A skin of another size and colour is drawn here and written into a copy of the built launcher,
once with the host's skinpack and once with the Windows skinpack.exe under Wine. Each copy is
started as its own process beside a stand-in game: its window must take the new skin's size and
outline, show the new face, and keep both buttons working.

    reskin_e2e.py LAUNCHER_EXE HOST_SKINPACK SKINPACK_EXE STANDIN_EXE PROBE_EXE WORK_DIR WINE_EXEC [unittest args]
"""
import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from launcher_driving import DrivenLauncher, find_launcher_window, run, wait_until, windows_path, xdotool  # noqa: E402
from drawn_skin import CUT_POINTS, FACE_POINTS, HEIGHT, WIDTH, skin_colour, write_png  # noqa: E402
from skin_screen import read_screen  # noqa: E402

LAUNCHER, HOST_SKINPACK, SKINPACK_EXE, STANDIN, PROBE, WORK, WINE_EXEC = sys.argv[1:8]

PLAY = (160 + 30, 250 + 10)
QUIT = (355 + 30, 250 + 10)


class Running(DrivenLauncher):
    def __init__(self, launcher):
        self.process = subprocess.Popen([WINE_EXEC, launcher], cwd=WORK, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = wait_until(find_launcher_window, 30)


class Reskinned(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)
        cls.skin = os.path.join(WORK, "new skin.png")
        write_png(cls.skin)
        # The same drawing for 200 %, each pixel doubled: the copy carries both scales.
        cls.skin200 = os.path.join(WORK, "new skin@2x.png")
        write_png(cls.skin200, 2 * WIDTH, 2 * HEIGHT, lambda x, y: skin_colour(x // 2, y // 2))

    def setUp(self):
        self.running = []

    def tearDown(self):
        for r in self.running:
            r.stop()
        xdotool("mouseup", "1", check=False)

    def game_folder(self, name, launcher):
        """A folder holding the reskinned launcher and the stand-in game."""
        folder = os.path.join(WORK, name)
        os.makedirs(folder)
        shutil.copy(launcher, os.path.join(folder, "launcher.exe"))
        shutil.copy(STANDIN, os.path.join(folder, "zindle.exe"))
        return folder

    def start(self, launcher):
        r = Running(launcher)
        self.running.append(r)
        self.assertIsNotNone(r.window, "the reskinned launcher's window did not appear")
        time.sleep(0.5)
        return r

    def expect_new_skin(self, launcher):
        """The window of the new skin's size, centred, cut where the skin is cut, showing the skin."""
        r = self.start(launcher)
        self.assertEqual((WIDTH, HEIGHT), r.size())
        self.assertEqual((1024 // 2 - WIDTH // 2, 768 // 2 - HEIGHT // 2), r.position())
        x, y = r.position()
        _, _, screen = read_screen(WORK)
        desktop = screen(2, 2)
        for p in CUT_POINTS:
            self.assertEqual(desktop, screen(x + p[0], y + p[1]), "cut away at %s" % (p,))
        for p in FACE_POINTS:
            self.assertEqual(skin_colour(*p), screen(x + p[0], y + p[1]), "the skin's face at %s" % (p,))
        texts = run(WINE_EXEC, PROBE, "texts", "Zindle").stdout.splitlines()
        self.assertIn("Play", texts)
        self.assertIn("Quit", texts)
        return r

    def reskin_and_run(self, name, command):
        out = os.path.join(WORK, name + ".exe")
        result = run(*command(out), check=False)
        self.assertEqual(0, result.returncode, result.stdout)
        self.assertIn("skins 100 % (640 x 440)", result.stdout)
        folder = self.game_folder(name, out)
        launcher = os.path.join(folder, "launcher.exe")
        # Quit ends it; Play starts the game beside it and ends it.
        r = self.expect_new_skin(launcher)
        r.click(QUIT)
        self.assertEqual(0, r.ended())
        self.assertFalse(os.path.exists(os.path.join(folder, "zindle-record.txt")))
        r = self.start(launcher)
        r.click(PLAY)
        self.assertEqual(0, r.ended())
        self.assertTrue(wait_until(lambda: os.path.exists(os.path.join(folder, "zindle-record.txt")), 10),
                        "Play started no game")

    def test_the_host_tool_reskins_the_built_launcher(self):
        self.reskin_and_run("host", lambda out: (HOST_SKINPACK, "reskin", LAUNCHER, self.skin, self.skin200, "-o", out))

    def test_skinpack_exe_under_wine_reskins_the_built_launcher(self):
        self.reskin_and_run("windows", lambda out: (WINE_EXEC, SKINPACK_EXE, "reskin", windows_path(LAUNCHER),
                                                    windows_path(self.skin), "-o", windows_path(out)))


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + sys.argv[8:], verbosity=2)
