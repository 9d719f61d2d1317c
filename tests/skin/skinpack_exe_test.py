#!/usr/bin/env python3
"""skinpack.exe as game teams on Windows run it, under Wine, against the host skinpack.

The same command on the same files gives the same .skin, BMP and messages as the host tool, the
same exit codes (0 done, 1 bad input, 2 bad usage), and works with file names outside the ANSI
code page. The PNG files are written here with zlib; the committed 200 % art is one of them.

    skinpack_exe_test.py SKINPACK_EXE HOST_SKINPACK WINE_EXEC WORK_DIR ASSETS_DIR [unittest args]
"""
import os
import shutil
import struct
import subprocess
import sys
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from png_file import png_file  # noqa: E402

EXE, HOST, WINE_EXEC, WORK, ASSETS = sys.argv[1:6]
# Wine hands the arguments over in the locale's character set.
ENV = dict(os.environ, LC_ALL="C.UTF-8")


def rgba_art(width, height):
    """Gradients, a cut-away border, a soft edge of partial alpha and flat stretches: enough for
    every kind of code of the encoder."""
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            if x < 2 or y < 2 or x >= width - 2:
                pixel = (0, 0, 0, 0)
            elif y >= height - 3:
                pixel = (30, 60, 200, 90 + 20 * (height - y))  # 110 to 150: cut and kept
            elif (x // 8 + y // 6) % 3 == 0:
                pixel = (200, 30, 30, 255)
            else:
                pixel = ((x * 7) & 255, (y * 11) & 255, (x * y) & 255, 255)
            row += bytes(pixel)
        rows.append(bytes(row))
    return png_file(width, height, 6, rows)


def palette_art():
    colours = [(255, 0, 255), (10, 20, 220), (250, 250, 250), (20, 180, 60)]
    rows = [bytes((x + y) % 4 for x in range(23)) for y in range(9)]
    return png_file(23, 9, 3, rows, palette=colours, alphas=[0, 255, 127, 128])


def grey_art():
    return png_file(17, 5, 0, [bytes((x * 15 + y * 40) & 255 for x in range(17)) for y in range(5)])


def read(path):
    with open(path, "rb") as f:
        return f.read()


class SkinpackExe(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)
        art = {
            "alpha.png": rgba_art(64, 40),
            "palette.png": palette_art(),
            "grey.png": grey_art(),
        }
        art["cut.png"] = art["alpha.png"][:len(art["alpha.png"]) // 2]
        huge = bytearray(art["grey.png"])
        huge[16:20] = struct.pack(">I", 40000)  # the width in IHDR, and the chunk's CRC
        huge[29:33] = struct.pack(">I", zlib.crc32(huge[12:29]))
        art["huge.png"] = bytes(huge)
        for name, data in art.items():
            with open(os.path.join(WORK, name), "wb") as f:
                f.write(data)
        shutil.copy(os.path.join(ASSETS, "zindle_skin_200.png"), os.path.join(WORK, "skin200.png"))

    def run_tool(self, program, *args):
        command = [WINE_EXEC, program] if program.endswith(".exe") else [program]
        r = subprocess.run(command + list(args), cwd=WORK, env=ENV, capture_output=True, timeout=300)
        # msvcrt writes text-mode newlines.
        return r.returncode, r.stdout.replace(b"\r\n", b"\n").decode(errors="replace"), r.stderr.replace(b"\r\n", b"\n").decode(errors="replace")

    def exe(self, *args):
        return self.run_tool(EXE, *args)

    def host(self, *args):
        return self.run_tool(HOST, *args)

    def path(self, name):
        return os.path.join(WORK, name)

    def test_pack_gives_the_host_tools_skin_bmp_and_messages(self):
        cases = [
            ("alpha.png", []),
            ("palette.png", []),
            ("grey.png", []),
            ("skin200.png", ["--raw", "--scale", "200"]),
        ]
        for name, options in cases:
            with self.subTest(name):
                results = {}
                for tool, run in (("host", self.host), ("exe", self.exe)):
                    out = f"{tool}-{name}"
                    code, stdout, stderr = run("pack", *options, "--bmp", out + ".bmp", name, out + ".skin")
                    self.assertEqual(0, code, stdout + stderr)
                    results[tool] = (read(self.path(out + ".skin")), read(self.path(out + ".bmp")), stdout, stderr)
                host, exe = results["host"], results["exe"]
                self.assertEqual(host[0], exe[0], "the .skin files differ")
                self.assertEqual(host[1], exe[1], "the BMPs differ")
                self.assertEqual(host[2].replace("host-", ""), exe[2].replace("exe-", ""))
                self.assertEqual(host[3], exe[3])
                self.assertIn(f"skinpack: {name}: PNG, ", exe[2])

    def test_info_and_unpack_read_what_pack_wrote(self):
        self.assertEqual(0, self.exe("pack", "--bmp", "round.bmp", "alpha.png", "round.skin")[0])
        code, stdout, stderr = self.exe("info", "round.skin")
        self.assertEqual(0, code, stderr)
        self.assertIn("image:           64 x 40", stdout)
        self.assertIn("runs vs image:   exactly the KeyColour pixels", stdout)
        self.assertEqual(0, self.exe("unpack", "round.skin", "back.bmp")[0])
        self.assertEqual(read(self.path("round.bmp")), read(self.path("back.bmp")))

    def test_exit_codes_and_messages_are_the_host_tools(self):
        cases = [
            ([], 2, "usage: skinpack pack"),
            (["frobnicate", "alpha.png"], 2, "usage:"),
            (["pack", "alpha.png"], 2, "usage:"),
            (["pack", "--scale", "99", "alpha.png", "x.skin"], 2, "--scale wants a percentage"),
            (["pack", "--button", "1,2,3", "alpha.png", "x.skin"], 2, "--button wants X,Y,W,H"),
            (["pack", "missing.png", "x.skin"], 1, "skinpack: missing.png: cannot open: "),
            (["pack", "cut.png", "x.skin"], 1, "skinpack: cut.png: PNG: "),
            (["pack", "huge.png", "x.skin"], 1, "skinpack: huge.png: PNG: the image is 40000 x 5, larger than a skin allows"),
            (["pack", "--strict", "alpha.png", "x.skin"], 1, "button warnings with --strict: nothing written"),
            (["info", "alpha.png"], 1, "skinpack: alpha.png: "),
            (["reskin", "alpha.png", "grey.png"], 2, "skinpack: reskin: -o OUT.exe is missing\nusage:"),
            (["pack", "--raw", "alpha.png", "./alpha.png"], 1, "the file to write is also an input (alpha.png)"),
        ]
        for args, expected, message in cases:
            with self.subTest(" ".join(args)):
                code, stdout, stderr = self.exe(*args)
                self.assertEqual(expected, code, stdout + stderr)
                self.assertIn(message, stderr)
                host_code, _, host_stderr = self.host(*args)
                self.assertEqual(expected, host_code)
                self.assertIn(message, host_stderr)
        self.assertEqual([], [n for n in os.listdir(WORK) if n.startswith("x.skin")])

    def test_file_names_outside_the_ansi_code_page(self):
        source, skin, bmp = "Ärger ゲーム.png", "Скин ö.skin", "Bild ß 图.bmp"
        shutil.copy(self.path("alpha.png"), self.path(source))
        code, stdout, stderr = self.exe("pack", "--bmp", bmp, source, skin)
        self.assertEqual(0, code, stdout + stderr)
        self.assertIn(f"skinpack: {source}: PNG, colour with alpha, 64 x 40", stdout)
        self.assertIn(f"skinpack: {source}: warning: Play button", stderr)
        self.assertEqual(0, self.host("pack", "--bmp", "host.bmp", "alpha.png", "host.skin")[0])
        self.assertEqual(read(self.path("host.skin")), read(self.path(skin)))
        self.assertEqual(read(self.path("host.bmp")), read(self.path(bmp)))
        # Packing again onto the existing files replaces them.
        self.assertEqual(0, self.exe("pack", "--bmp", bmp, "grey.png", skin)[0])
        self.assertEqual(0, self.host("pack", "grey.png", "host-grey.skin")[0])
        self.assertEqual(read(self.path("host-grey.skin")), read(self.path(skin)))
        self.assertEqual([], [n for n in os.listdir(WORK) if n.endswith(".tmp")])

    def test_writes_through_a_new_file_of_its_own_beside_the_target(self):
        """The file written is renamed over the target at the end. A file named as the target with
        .tmp used to be that file: overwritten and moved away, or removed when the target could
        not be replaced (a folder), even when it was the command's own input."""
        folder = self.path("writes")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(os.path.join(folder, "out"))
        png = read(self.path("alpha.png"))
        for name, data in (("alpha.png", png), ("new.skin.tmp", b"mine"), ("out.tmp", png)):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        self.assertEqual(0, self.host("pack", "alpha.png", "host-alpha.skin")[0])

        def exe(*args):
            code, stdout, stderr = self.exe(*args)
            return code, stdout + stderr

        code, output = exe("pack", "writes/alpha.png", "writes/new.skin")
        self.assertEqual(0, code, output)
        self.assertEqual(read(self.path("host-alpha.skin")), read(os.path.join(folder, "new.skin")))
        self.assertEqual(b"mine", read(os.path.join(folder, "new.skin.tmp")))
        # A folder as the target: the system's reason, and the source is still there.
        code, output = exe("pack", "writes/out.tmp", "writes/out")
        self.assertEqual(1, code, output)
        self.assertRegex(output, r"skinpack: writes/out: cannot replace: \S")
        self.assertEqual(png, read(os.path.join(folder, "out.tmp")))
        self.assertEqual(["alpha.png", "new.skin", "new.skin.tmp", "out", "out.tmp"], sorted(os.listdir(folder)))


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]] + sys.argv[6:], verbosity=2)
