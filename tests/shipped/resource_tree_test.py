#!/usr/bin/env python3
"""The release check on programs whose resources are crafted to trip a reader: each is reported as
a failure, with a message and exit code 1, soon and without a traceback.

    resource_tree_test.py RELEASE_CHECK WORK_DIR
"""
import os
import shutil
import struct
import subprocess
import sys
import unittest

RELEASE_CHECK, WORK = sys.argv[1:3]
SECTION_RVA = 0x1000
SUBDIRECTORY = 0x80000000
RT_GROUP_ICON, RT_VERSION = 14, 16


def program(section):
    """A PE32 i386 GUI program of one section, the resource section, holding SECTION."""
    header = bytearray(0x200)
    header[:2] = b"MZ"
    struct.pack_into("<I", header, 0x3C, 0x40)
    header[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", header, 0x44, 0x14C, 1, 0, 0, 0, 224, 0x0102)
    optional = 0x58
    struct.pack_into("<HI", header, optional, 0x10B, 0)
    struct.pack_into("<I", header, optional + 28, 0x400000)
    struct.pack_into("<HH", header, optional + 48, 5, 1)
    struct.pack_into("<I", header, optional + 60, len(header))
    struct.pack_into("<HH", header, optional + 68, 2, 0x8140)
    struct.pack_into("<I", header, optional + 92, 16)
    struct.pack_into("<II", header, optional + 96 + 8 * 2, SECTION_RVA, len(section))
    struct.pack_into("<8sIIII", header, optional + 224, b".rsrc", len(section), SECTION_RVA, len(section),
                     len(header))
    return bytes(header) + section


def directory(entries):
    """A resource directory of numbered entries, each (id, target)."""
    return struct.pack("<IIHHHH", 0, 0, 0, 0, 0, len(entries)) + b"".join(struct.pack("<II", *e) for e in entries)


def data_entry(at, size):
    """A resource data entry for SIZE bytes at offset AT of the section."""
    return struct.pack("<IIII", SECTION_RVA + at, size, 0, 0)


def tree(resources):
    """A resource section holding {type: {name: bytes}}, each resource in one language."""
    items = [(kind, name, resources[kind][name]) for kind in sorted(resources) for name in sorted(resources[kind])]
    names_at = 16 + 8 * len(resources)
    languages_at = names_at + sum(16 + 8 * len(names) for names in resources.values())
    entries_at = languages_at + 24 * len(items)
    blobs_at = entries_at + 16 * len(items)
    root, names, languages, entries, blobs = [], b"", b"", b"", b""
    index = 0
    for kind in sorted(resources):
        root.append((kind, SUBDIRECTORY | (names_at + len(names))))
        named = []
        for name in sorted(resources[kind]):
            named.append((name, SUBDIRECTORY | (languages_at + 24 * index)))
            languages += directory([(0x409, entries_at + 16 * index)])
            entries += data_entry(blobs_at + len(blobs), len(items[index][2]))
            blobs += items[index][2]
            index += 1
        names += directory(named)
    return directory(root) + names + languages + entries + blobs


def shared_subdirectories(count, size):
    """COUNT types that all lead to one directory of COUNT names, which all lead to one language
    of a resource of SIZE bytes: COUNT x COUNT resources to a reader that does not notice."""
    names_at = 16 + 8 * count
    language_at = names_at + 16 + 8 * count
    entry_at = language_at + 24
    return (directory([(3, SUBDIRECTORY | names_at)] * count) + directory([(1, SUBDIRECTORY | language_at)] * count)
            + directory([(0x409, entry_at)]) + data_entry(entry_at + 16, size) + bytes(size))


def one_name_each(count):
    """One type of COUNT names, each with a language of its own, all leading to one empty resource."""
    names_at, languages_at = 24, 24 + 16 + 8 * count
    entry_at = languages_at + 24 * count
    return (directory([(10, SUBDIRECTORY | names_at)])
            + directory([(n + 1, SUBDIRECTORY | (languages_at + 24 * n)) for n in range(count)])
            + directory([(0x409, entry_at)]) * count + data_entry(entry_at, 0))


class CraftedResources(unittest.TestCase):
    def test_crafted_trees_fail_with_a_message(self):
        version_cut_short = b"\xbd\x04\xef\xfe\0\0\x01\0"
        cases = [
            # 4,999 x 4,999 copies of a 1 MB resource to a reader that does not notice the sharing
            # (about 12 minutes on a machine of 2 cores), within the budget of entries otherwise.
            ("type and name directories sharing one subdirectory", shared_subdirectories(4999, 1 << 20),
             "resources: unreadable (the directory at offset"),
            # The same at the most a count of 16 bits allows, in 1 MB (over an hour): past the budget.
            ("65,535 x 65,535 shared", shared_subdirectories(65535, 16), "resources: unreadable (more than"),
            ("more entries than the budget, none shared", one_name_each(12000), "resources: unreadable (more than"),
            ("a type entry pointing at data",
             directory([(RT_GROUP_ICON, 24)]) + data_entry(0, 0), "resources: unreadable (an entry points to data"),
            ("an icon group of 4 bytes", tree({RT_GROUP_ICON: {1: b"\0\0\1\0"}}), "icon: group 1 cut short (4 bytes)"),
            ("an icon group of three images holding two",
             tree({RT_GROUP_ICON: {1: b"\0\0\1\0\3\0" + bytes(28)}}), "icon: group 1 cut short (34 bytes)"),
            ("a version resource cut short", tree({RT_VERSION: {1: version_cut_short}}),
             "version: resource 1 cut short (8 bytes)"),
        ]
        os.makedirs(WORK, exist_ok=True)
        crafted = os.path.join(WORK, "crafted.exe")
        for name, section, message in cases:
            with self.subTest(name):
                with open(crafted, "wb") as f:
                    f.write(program(section))
                # Bounded only so that a check that hangs ends with the test rather than outlive it.
                result = subprocess.run([sys.executable, RELEASE_CHECK, crafted], capture_output=True, text=True,
                                        stdin=subprocess.DEVNULL, timeout=50)
                self.assertEqual(1, result.returncode, result.stdout + result.stderr)
                self.assertEqual("", result.stderr)
                self.assertIn("\nrelease check failed: %s" % message, result.stdout)
        shutil.rmtree(WORK)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
