#!/usr/bin/env python3
"""The README's and docs' figures that go stale with the code, held against the code and the build:
the test labels, the scripts, the fuzz targets, and the sizes of the skin blocks the build packs.

    readme_facts_test.py REPOSITORY HOST_TREE
(the Windows trees are looked for beside the host tree)
"""
import os
import re
import subprocess
import sys
import unittest

REPOSITORY, HOST_TREE = sys.argv[1:3]
TREES = [t for t in (HOST_TREE, os.path.join(os.path.dirname(HOST_TREE), "win32"),
                     os.path.join(os.path.dirname(HOST_TREE), "win64")) if os.path.exists(os.path.join(t, "CTestTestfile.cmake"))]


def read(*path):
    with open(os.path.join(REPOSITORY, *path), encoding="utf-8") as f:
        return f.read()


def ctest(tree, *args):
    return subprocess.run(["ctest", "--test-dir", tree, *args], capture_output=True, text=True, check=True).stdout


class Facts(unittest.TestCase):
    def test_the_labels_named_are_those_the_trees_have(self):
        line = re.search(r"^Labels: (.*?)\n\n", read("README.md"), re.M | re.S).group(1)
        named = set(re.findall(r"`([a-z0-9]+)`", line))
        labels = set()
        for tree in TREES:
            listing = ctest(tree, "--print-labels")
            labels |= set(l.strip() for l in listing.split("All Labels:", 1)[1].splitlines() if l.strip())
        # A tree that is not built here still has its name as a label.
        labels |= {"host", "win32", "win64"}
        self.assertEqual(sorted(labels), sorted(named))

    def test_the_layout_names_every_script(self):
        row = next(l for l in read("README.md").splitlines() if l.startswith("| `scripts/` |"))
        named = set(re.findall(r"`([a-z0-9.-]+)`", row.split("|")[2]))
        folder = os.path.join(REPOSITORY, "scripts")
        present = set(n for n in os.listdir(folder) if os.path.isfile(os.path.join(folder, n)))
        self.assertEqual(sorted(present), sorted(named))

    def test_the_count_of_fuzz_targets(self):
        words = {"one": 1, "two": 2, "three": 3, "four": 4, "five": 5, "six": 6, "seven": 7, "eight": 8}
        said = re.search(r"runs the (\w+) fuzz targets", read("README.md")).group(1)
        targets = re.findall(r"host\.fuzz_(\w+)_seeds", ctest(HOST_TREE, "-N"))
        self.assertEqual(len(targets), words[said], targets)

    def test_the_skin_block_sizes_in_the_display_scale_table(self):
        table = read("docs", "display-scale.md")
        for scale, name in (("100 %", "zindle_skin_100.skin"), ("200 %", "zindle_skin_200.skin")):
            with self.subTest(scale):
                row = next(l for l in table.splitlines() if l.startswith("| %s |" % scale))
                said = int(re.search(r"([\d,]+)-byte block", row).group(1).replace(",", ""))
                self.assertEqual(os.path.getsize(os.path.join(HOST_TREE, "src", "skin", name)), said)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=2)
