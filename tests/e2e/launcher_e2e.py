#!/usr/bin/env python3
"""End-to-end tests of launcher.exe, run the way a player runs it.

The real launcher is copied with a stand-in game ("zindle.exe", which records how it was
started) into folders whose names hold spaces and characters outside the ANSI code page, and
started there as its own process under Wine. The tests drive it with real pointer and key
input through xdotool, read the screen with ImageMagick's import, set the DirectX version in
the prefix's registry and read the launcher's windows with window_probe.exe.

    launcher_e2e.py LAUNCHER_EXE STANDIN_EXE PROBE_EXE WORK_DIR ARTWORK_BMP WINE_EXEC [unittest args]
"""
import os
import shutil
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from launcher_driving import (DrivenLauncher, find_launcher_window, run, run_wine_helper, wait_until,  # noqa: E402
                              windows_path, xdotool)
from skin_screen import read_artwork, read_screen  # noqa: E402

LAUNCHER, STANDIN, PROBE, WORK, ARTWORK, WINE_EXEC = sys.argv[1:7]
WIDTH, HEIGHT = 575, 385
PLAY = (160 + 30, 250 + 10)   # centres of the buttons, in window coordinates
QUIT = (355 + 30, 250 + 10)
SKIN_POINT = (287, 100)       # a point of the skin away from the buttons
REFUSAL_TITLE = "Incorrect DirectX detected"


def probe(*args, check=True):
    return run(WINE_EXEC, PROBE, *map(str, args), check=check)


def set_version(*args):
    """Writes or removes the DirectX version in the prefix's registry (window_probe version ...)."""
    return run_wine_helper(WINE_EXEC, PROBE, "version", *map(str, args))


def screen_pixels(points):
    """Colours of screen points, from one screenshot of the root window."""
    pixel = read_screen(WORK)[2]
    return [pixel(x, y) for x, y in points]


class Game:
    """A folder holding launcher.exe and the stand-in zindle.exe."""

    def __init__(self, name):
        self.folder = os.path.join(WORK, name)
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        self.launcher = os.path.join(self.folder, "launcher.exe")
        shutil.copy(LAUNCHER, self.launcher)
        shutil.copy(STANDIN, os.path.join(self.folder, "zindle.exe"))
        self.record = os.path.join(self.folder, "zindle-record.txt")

    def windows_folder(self):
        return windows_path(self.folder)

    def starts(self):
        """Each start of the stand-in as a dict of its recorded fields."""
        if not os.path.exists(self.record):
            return []
        starts = []
        with open(self.record, encoding="utf-8") as record:
            lines = record.read().splitlines()
        for line in lines:
            if line == "start":
                starts.append({})
            elif "=" in line and starts:
                key, value = line.split("=", 1)
                starts[-1][key] = value
        return starts


class Running(DrivenLauncher):
    """One launcher process and its window."""

    def __init__(self, game, *arguments):
        self.game = game
        self.process = subprocess.Popen([WINE_EXEC, game.launcher, *arguments], cwd=WORK, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = wait_until(find_launcher_window, 30)
        self.left, self.top = self.position() if self.window else (None, None)


class LauncherTest(unittest.TestCase):
    folder_name = "Zindle Game Folder"

    def setUp(self):
        set_version("delete-key")
        self.game = Game(self.folder_name)
        self.running = []

    def tearDown(self):
        for r in self.running:
            r.stop()
        xdotool("mouseup", "1", check=False)
        set_version("delete-key")

    def start(self, *arguments):
        r = Running(self.game, *arguments)
        self.running.append(r)
        if r.window is None:
            # What the screen held instead, for the report.
            shot = os.path.join(WORK, "no-window-%s.png" % self.id().rsplit(".", 1)[-1])
            run("import", "-window", "root", shot, check=False)
            names = [xdotool("getwindowname", w, check=False).stdout.strip()
                     for w in xdotool("search", "--name", ".", check=False).stdout.split()]
            self.fail("the launcher window did not appear (process %s; windows %s; screen %s)"
                      % ("running" if r.process.poll() is None else "ended with %s" % r.process.returncode,
                         names, shot))
        time.sleep(0.3)
        return r

    def expect_game_started_once(self):
        starts = wait_until(self.game.starts, 10)
        self.assertEqual(1, len(starts), starts)
        folder = self.game.windows_folder()
        self.assertEqual(folder + "\\zindle.exe", starts[0]["path"])
        self.assertEqual(folder, starts[0]["folder"].rstrip("\\"))

    def refusal_texts(self):
        result = wait_until(lambda: probe("texts", REFUSAL_TITLE, check=False), 10)
        return result.stdout if result.returncode == 0 else None


class WindowAndButtons(LauncherTest):
    def test_window_is_centred_shaped_and_carries_both_buttons(self):
        r = self.start()
        self.assertEqual((WIDTH, HEIGHT), r.size())
        self.assertEqual((1024 // 2 - WIDTH // 2, 768 // 2 - HEIGHT // 2), r.position())
        texts = probe("texts", "Zindle").stdout.splitlines()
        self.assertIn("Play", texts)
        self.assertIn("Quit", texts)
        # On screen: the skin's own colours where it is opaque, the desktop where it is cut away.
        width, height, pixel = read_artwork(ARTWORK)
        key = (255, 0, 255)
        cut = [(0, 0), (width - 1, height - 1), (3, 200), (300, 2)]
        opaque = [(287, 100), (100, 300), (500, 60), (287, 192)]
        for p in cut:
            self.assertEqual(key, pixel(*p))
        for p in opaque:
            self.assertNotEqual(key, pixel(*p))
        x, y = r.position()
        seen = screen_pixels([(x + px, y + py) for px, py in cut + opaque])
        desktop = screen_pixels([(2, 2)])[0]
        for p, colour in zip(cut, seen[:len(cut)]):
            self.assertEqual(desktop, colour, p)
        for p, colour in zip(opaque, seen[len(cut):]):
            self.assertEqual(pixel(*p), colour, p)
        r.click(QUIT)
        self.assertEqual(0, r.ended())


class EndingAndPlaying(LauncherTest):
    def test_quit_ends_without_starting_anything(self):
        r = self.start()
        r.click(QUIT)
        self.assertEqual(0, r.ended())
        self.assertEqual([], self.game.starts())

    def test_close_requests_end_it(self):
        for name, close in (("WM_CLOSE from another program", lambda r: probe("close", "Zindle")),
                            ("Alt+F4", lambda r: xdotool("key", "alt+F4"))):
            with self.subTest(name):
                r = self.start()
                close(r)
                self.assertEqual(0, r.ended())
        self.assertEqual([], self.game.starts())

    def test_play_starts_the_game_once_from_the_launchers_folder_and_ends(self):
        r = self.start()
        r.click(PLAY)
        self.assertEqual(0, r.ended())
        self.expect_game_started_once()

    def test_play_without_the_game_still_ends(self):
        os.remove(os.path.join(self.game.folder, "zindle.exe"))
        r = self.start()
        r.click(PLAY)
        # The shell reports the missing file in a box of its own; once it is closed, the
        # launcher ends.
        box = wait_until(lambda: xdotool("search", "--onlyvisible", "--name", "^Error$", check=False).stdout.split(), 10)
        self.assertTrue(box, "the shell showed no error box")
        xdotool("key", "Return")
        self.assertEqual(0, r.ended())

    def test_any_command_line_is_ignored(self):
        r = self.start("--help", "/x", "two words")
        r.click(QUIT)
        self.assertEqual(0, r.ended())


class Keyboard(LauncherTest):
    # The pointer is kept off the window: the keys must reach the launcher because it has just
    # opened, not because the pointer happens to lie over it.
    def setUp(self):
        super().setUp()
        xdotool("mousemove", 5, 5)

    def test_tab_and_space_start_the_game(self):
        r = self.start()
        xdotool("key", "Tab")
        time.sleep(0.2)
        xdotool("key", "space")
        self.assertEqual(0, r.ended())
        self.expect_game_started_once()

    def test_tabbing_wraps_between_the_buttons(self):
        # Tab to "Play", Tab again to "Quit", Tab wraps to "Play", Shift+Tab back to "Quit".
        r = self.start()
        for key in ("Tab", "Tab", "Tab", "shift+Tab"):
            xdotool("key", key)
            time.sleep(0.15)
        xdotool("key", "space")
        self.assertEqual(0, r.ended())
        self.assertEqual([], self.game.starts())


class NonAnsiFolder(LauncherTest):
    folder_name = "Зиндл ゲーム Ordner"

    def test_play_starts_the_game_from_a_folder_outside_the_ansi_code_page(self):
        r = self.start()
        r.click(PLAY)
        self.assertEqual(0, r.ended())
        self.expect_game_started_once()


class Dragging(LauncherTest):
    def test_a_press_on_the_skin_moves_the_window_and_the_buttons_still_work(self):
        r = self.start()
        before = r.position()
        r.drag(SKIN_POINT, 60, 40)
        after = r.position()
        self.assertEqual((before[0] + 60, before[1] + 40), after)
        # A press on a button is the button's: dragging from it moves nothing, and releasing
        # away from it clicks nothing; a click on it then arrives.
        r.drag(QUIT, 30, 30)
        self.assertEqual(after, r.position())
        self.assertIsNone(r.process.poll(), "a release away from Quit ended the launcher")
        r.click(QUIT)
        self.assertEqual(0, r.ended())


    def test_two_drags_in_a_row_both_move_the_window(self):
        # The first drag left a "window moved" pending that took the next press's place: no drag.
        r = self.start()
        before = r.position()
        r.drag(SKIN_POINT, 60, 40)
        self.assertEqual((before[0] + 60, before[1] + 40), r.position())
        r.drag(SKIN_POINT, -30, 50)
        self.assertEqual((before[0] + 30, before[1] + 90), r.position())

    def test_a_close_request_during_a_drag_ends_it_when_the_drag_ends(self):
        # Every event of the move loop was dropped when the drag ended: a close request that
        # arrived while the button was held left the launcher running until "Quit".
        r = self.start()
        x, y = r.position()
        xdotool("mousemove", x + SKIN_POINT[0], y + SKIN_POINT[1])
        xdotool("mousedown", "1")
        time.sleep(0.3)
        xdotool("mousemove", x + SKIN_POINT[0] + 25, y + SKIN_POINT[1] + 15)
        time.sleep(0.3)
        probe("close", "Zindle")
        time.sleep(0.5)
        xdotool("mouseup", "1")
        self.assertEqual(0, r.ended(5))
        self.assertEqual([], self.game.starts())


class DirectXGate(LauncherTest):
    def play_expecting_refusal(self, r, name):
        r.click(PLAY)
        texts = self.refusal_texts()
        self.assertIsNotNone(texts, "no refusal box")
        self.assertIn("Zindle requires DirectX 9c or above to work, this computer is running DirectX " + name +
                      "\\r            Please visit ", texts)
        self.assertIn(" To update To latest version.", texts)
        xdotool("key", "Return")
        self.assertTrue(wait_until(lambda: probe("texts", REFUSAL_TITLE, check=False).returncode != 0, 10))
        self.assertIsNone(r.process.poll(), "the launcher ended after the refusal")

    def test_refused_version_shows_the_box_each_time_and_starts_no_game(self):
        set_version("sz", "4.09.00.0902")
        r = self.start()
        self.play_expecting_refusal(r, "9.0b")
        self.play_expecting_refusal(r, "9.0b")
        r.click(QUIT)
        self.assertEqual(0, r.ended())
        self.assertEqual([], self.game.starts())

    def test_registry_values_of_every_form(self):
        cases = [
            ("9.0c", ("sz", "4.09.00.0904"), None),
            ("8.1", ("sz", "4.08.01.0881"), "8.1"),
            ("8", ("sz", "4.08.00.0400"), "8"),
            ("unknown build", ("sz", "4.06.02.0436"), None),
            ("empty text", ("sz", ""), None),
            ("no value", ("delete",), None),
            ("text without its zero", ("raw-sz", "4.09.00.0902"), "9.0b"),
            ("text longer than the work buffer", ("long", "100000", ".0810"), "8.1"),
            ("a number", ("dword", "902"), None),
            ("binary text", ("binary", "342e30392e30302e30393030"), "9.0"),
            ("binary noise", ("binary", "ff00ff00"), None),
            ("empty binary", ("binary", ""), None),
        ]
        for name, value, refused in cases:
            with self.subTest(name):
                set_version(*value)
                r = self.start()
                if refused:
                    self.play_expecting_refusal(r, refused)
                    r.click(QUIT)
                    self.assertEqual(0, r.ended())
                else:
                    before = len(self.game.starts())
                    r.click(PLAY)
                    self.assertEqual(0, r.ended())
                    self.assertEqual(before + 1, len(wait_until(lambda: len(self.game.starts()) > before and self.game.starts(), 10)))


def launcher_windows():
    return xdotool("search", "--onlyvisible", "--name", "^Zindle$", check=False).stdout.split()


def focused_window():
    """The window with the keyboard focus (the screen has no window manager to name an active one)."""
    return xdotool("getwindowfocus", check=False).stdout.strip()


class OneLauncher(LauncherTest):
    """One launcher per folder: a second start brings the running one forward and ends."""

    def launch(self, game):
        """Starts a launcher of game; the process, not waited for."""
        process = subprocess.Popen([WINE_EXEC, game.launcher], cwd=WORK, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: process.poll() is None and (process.kill(), process.wait()))
        return process

    def new_window(self, known):
        """The launcher window that appears beside those in known."""
        return wait_until(lambda: next((w for w in launcher_windows() if w not in known), None), 30)

    def test_a_second_start_brings_the_running_launcher_forward_and_ends(self):
        first = self.start()
        # Another install of the game keeps a launcher of its own, which takes the front.
        other = Game("Another Zindle Install")
        other_process = self.launch(other)
        other_window = self.new_window([first.window])
        self.assertIsNotNone(other_window, "the other install's launcher opened no window")
        self.assertTrue(wait_until(lambda: focused_window() == other_window, 10), "the other launcher is not in front")
        for start in range(2):
            with self.subTest(start=start):
                second = self.launch(self.game)
                self.assertEqual(0, second.wait(60))
                self.assertEqual(sorted([first.window, other_window]), sorted(launcher_windows()))
                self.assertTrue(wait_until(lambda: focused_window() == first.window, 10),
                                "the running launcher was not brought to the front")
                xdotool("windowfocus", other_window, check=False)
        first.click(QUIT)
        self.assertEqual(0, first.ended())
        self.assertIsNone(other_process.poll(), "the other install's launcher ended with this one")
        self.assertEqual([], self.game.starts())

    def test_two_starts_at_once_open_one_window(self):
        processes = [self.launch(self.game), self.launch(self.game)]
        window = wait_until(launcher_windows, 60)
        self.assertTrue(window, "no launcher window")
        ended = wait_until(lambda: [p for p in processes if p.poll() is not None], 60)
        self.assertEqual(1, len(ended), "not exactly one start ended")
        self.assertEqual(0, ended[0].returncode)
        time.sleep(0.5)
        self.assertEqual(1, len(launcher_windows()))
        running = DrivenLauncher()
        running.process = next(p for p in processes if p.poll() is None)
        running.window = launcher_windows()[0]
        running.click(QUIT)
        self.assertEqual(0, running.ended())

    def test_a_launcher_that_ended_crashed_or_hangs_does_not_block_the_next(self):
        ended = self.start()
        ended.click(QUIT)
        self.assertEqual(0, ended.ended())
        crashed = self.start()
        crashed.stop()
        hung = self.start()
        os.kill(hung.process.pid, signal.SIGSTOP)
        self.addCleanup(lambda: os.kill(hung.process.pid, signal.SIGCONT) if hung.process.poll() is None else None)
        process = self.launch(self.game)
        window = self.new_window([hung.window])
        self.assertIsNotNone(window, "a hung launcher kept a new one from opening")
        self.assertIsNone(process.poll())
        fresh = DrivenLauncher()
        fresh.process, fresh.window = process, window
        fresh.click(QUIT)
        self.assertEqual(0, fresh.ended())


if __name__ == "__main__":
    os.makedirs(WORK, exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + sys.argv[7:], verbosity=2)
