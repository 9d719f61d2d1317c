#!/usr/bin/env python3
"""The release check's reading of the DPI-awareness declaration: the launcher's own manifest
passes, and each form that XP's loader refuses, or that leaves a system without per-monitor
awareness, is named.

    manifest_forms_test.py RELEASE_CHECK MANIFEST
"""
import importlib.machinery
import importlib.util
import sys
import unittest

RELEASE_CHECK, MANIFEST = sys.argv[1:3]
# Read as a module without leaving a bytecode cache in the source tree's scripts/.
sys.dont_write_bytecode = True
loader = importlib.machinery.SourceFileLoader("release_check", RELEASE_CHECK)
spec = importlib.util.spec_from_loader("release_check", loader)
release_check = importlib.util.module_from_spec(spec)
loader.exec_module(release_check)

with open(MANIFEST, encoding="utf-8") as f:
    SHIPPED = f.read()
APPLICATION = '<application xmlns="urn:schemas-microsoft-com:asm.v3">'


class DpiDeclaration(unittest.TestCase):
    def test_the_shipped_manifest_passes(self):
        self.assertEqual([], release_check.check_manifest(SHIPPED))

    def test_forms_that_fail(self):
        cases = [
            ("application outside the asm.v3 namespace (XP refuses the program)",
             SHIPPED.replace(APPLICATION, "<application>"), "asm.v3 namespace"),
            ("a namespace prefix",
             SHIPPED.replace(APPLICATION, '<asmv3:application xmlns:asmv3="urn:schemas-microsoft-com:asm.v3">')
                    .replace("</windowsSettings>\n  </application>", "</windowsSettings>\n  </asmv3:application>"),
             "prefixes"),
            ("no declaration at all",
             SHIPPED[:SHIPPED.index(APPLICATION)] + SHIPPED[SHIPPED.index("</application>") + 14:], "found 0"),
            ("system awareness only", SHIPPED.replace(">true/pm<", ">true<"), "dpiAware"),
            ("per-monitor v2 alone, which Windows 10 1607 does not know",
             SHIPPED.replace(">PerMonitorV2, PerMonitor<", ">PerMonitorV2<"), "dpiAwareness"),
            ("dpiAware in the wrong namespace",
             SHIPPED.replace("SMI/2005/WindowsSettings", "SMI/2016/WindowsSettings", 1), "dpiAware"),
        ]
        for name, text, expected in cases:
            with self.subTest(name):
                self.assertNotEqual(SHIPPED, text, "the case changed nothing")
                failures = release_check.check_manifest(text)
                self.assertTrue(any(expected in f for f in failures), failures)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
