#!/usr/bin/env python3
"""A hundred consecutive real launches of launcher.exe, as a player would make them.

Each launch must show the launcher's window and end with exit code 0. They are ended in turn by
"Quit", by a close request from another program and by "Play", which must start the stand-in
game exactly once. Uses the end-to-end tests' helpers (same arguments as launcher_e2e.py):

    launcher_launches.py LAUNCHER_EXE STANDIN_EXE PROBE_EXE WORK_DIR ARTWORK_BMP WINE_EXEC [launches]
"""
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import launcher_e2e as e2e  # noqa: E402  (reads the six paths from sys.argv)

LAUNCHES = int(sys.argv[7]) if len(sys.argv) > 7 else 100


def end_by_quit(r):
    r.click(e2e.QUIT)


def end_by_close_request(r):
    e2e.probe("close", "Zindle")


def end_by_play(r):
    r.click(e2e.PLAY)


ENDINGS = (("Quit", end_by_quit), ("close request", end_by_close_request), ("Play", end_by_play))


class Launches(e2e.LauncherTest):
    folder_name = "Zindle Launches"

    def test_a_hundred_launches_each_show_the_window_and_end_with_code_0(self):
        plays = 0
        for launch in range(LAUNCHES):
            name, end = ENDINGS[launch % len(ENDINGS)]
            with self.subTest(launch=launch, ending=name):
                r = self.start()
                end(r)
                code = r.ended()
                if code is None:
                    r.stop()
                self.assertEqual(0, code, "launch %d (%s) did not end with 0" % (launch, name))
                if end is end_by_play:
                    plays += 1
                    # The game is started once per "Play", never again afterwards.
                    starts = e2e.wait_until(lambda: len(self.game.starts()) >= plays and self.game.starts(), 10)
                    self.assertEqual(plays, len(starts or []), "launch %d" % launch)
                    folder = self.game.windows_folder()
                    self.assertEqual(folder + "\\zindle.exe", starts[-1]["path"])
                else:
                    self.assertEqual(plays, len(self.game.starts()), "launch %d started the game" % launch)
                self.running.clear()
        time.sleep(0.5)
        self.assertEqual(plays, len(self.game.starts()))
        self.assertEqual(sum(1 for i in range(LAUNCHES) if i % 3 == 2), plays)


if __name__ == "__main__":
    os.makedirs(e2e.WORK, exist_ok=True)
    unittest.main(argv=[sys.argv[0]], verbosity=2)
