#!/usr/bin/env python3
"""scripts/skinpack builds the host skinpack alone, in a tree of the tools only, and runs it: the
same tool as the full build's, answering the same way.

    skinpack_alone_test.py REPOSITORY FULL_BUILD_SKINPACK WORK_DIR
"""
import os
import shutil
import subprocess
import sys
import unittest

REPOSITORY, FULL_SKINPACK, WORK = sys.argv[1:4]
SCRIPT = os.path.join(REPOSITORY, "scripts", "skinpack")
ART = os.path.join(REPOSITORY, "src", "skin", "assets", "zindle_skin.bmp")


class SkinpackAlone(unittest.TestCase):
    def test_builds_the_tool_alone_and_packs_as_the_full_build_does(self):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)
        env = dict(os.environ, BUILD_DIR=os.path.join(WORK, "build"))
        ours = os.path.join(WORK, "ours.skin")
        theirs = os.path.join(WORK, "theirs.skin")
        first = subprocess.run([SCRIPT, "pack", ART, ours], env=env, capture_output=True, text=True,
                               stdin=subprocess.DEVNULL, timeout=900)
        self.assertEqual(0, first.returncode, first.stderr)
        tree = os.path.join(WORK, "build", "tools")
        self.assertTrue(os.path.exists(os.path.join(tree, "tools", "skinpack", "skinpack")))
        self.assertFalse(os.path.exists(os.path.join(tree, "googletest")), "the tools' tree built the tests' framework")
        self.assertFalse(os.path.exists(os.path.join(tree, "tests")), "the tools' tree holds tests")
        subprocess.run([FULL_SKINPACK, "pack", ART, theirs], check=True, capture_output=True, stdin=subprocess.DEVNULL)
        with open(ours, "rb") as a, open(theirs, "rb") as b:
            self.assertEqual(b.read(), a.read(), "another block than the full build's skinpack makes")
        # Later runs build nothing and say nothing beyond the tool's own output.
        again = subprocess.run([SCRIPT, "info", ours], env=env, capture_output=True, text=True,
                               stdin=subprocess.DEVNULL, timeout=120)
        self.assertEqual(0, again.returncode, again.stderr)
        self.assertNotIn("Building", again.stderr)
        direct = subprocess.run([FULL_SKINPACK, "info", ours], capture_output=True, text=True, stdin=subprocess.DEVNULL)
        self.assertEqual(direct.stdout, again.stdout)
        shutil.rmtree(WORK, ignore_errors=True)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=2)
