#!/usr/bin/env python3
"""The release: Authenticode signatures as release-check reads them, and the zip scripts/release
makes, unsigned and signed with a throwaway self-signed certificate made here.

    release_test.py SOURCE_DIR LAUNCHER_EXE SKINPACK_EXE HOST_SKINPACK WORK_DIR [--clean-build]

SKINPACK_EXE is the Windows skinpack.exe, or a stand-in program where the tree builds none.
The packaging tests package already-built programs (scripts/release --from-build, and
--launcher with a launcher reskinned here); with --clean-build the one test builds a whole
release from the committed HEAD instead (minutes).
Needs openssl and osslsigncode, no network and no terminal.
"""
import calendar
import hashlib
import importlib.machinery
import importlib.util
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import unittest
import zipfile

SOURCE, LAUNCHER, SKINPACK_EXE, HOST_SKINPACK, WORK = sys.argv[1:6]
CLEAN_BUILD = "--clean-build" in sys.argv[6:]
RELEASE = os.path.join(SOURCE, "scripts", "release")
RELEASE_CHECK = os.path.join(SOURCE, "scripts", "release-check")
# Its DER reader, to take signatures apart and build altered ones; read without leaving a bytecode
# cache in the source tree's scripts/.
sys.dont_write_bytecode = True
_loader = importlib.machinery.SourceFileLoader("release_check", RELEASE_CHECK)
release_check_module = importlib.util.module_from_spec(importlib.util.spec_from_loader("release_check", _loader))
_loader.exec_module(release_check_module)
PASSWORD = "correct horse 7"
SUBJECT = "CN=Zindle Test Signing"
ORDER = ["launcher.exe", "skinpack.exe", "README.txt", "SHA256SUMS"]


def run(*command, env=None, check=True):
    """Runs COMMAND with the variables of ENV added, or taken away where None."""
    env = {name: value for name, value in dict(os.environ, **(env or {})).items() if value is not None}
    result = subprocess.run(command, capture_output=True, text=True, stdin=subprocess.DEVNULL, env=env)
    if check and result.returncode:
        raise AssertionError("%s failed (%d):\n%s%s" % (" ".join(command), result.returncode,
                                                         result.stdout, result.stderr))
    return result


def path(*parts):
    return os.path.join(WORK, *parts)


def version():
    with open(os.path.join(SOURCE, "CMakeLists.txt")) as f:
        return re.search(r"project\(Zindle VERSION ([0-9.]+)", f.read()).group(1)


def make_certificate(name, subject, issuer=None, authority=False, revocation_list=None):
    """An RSA 2048 code-signing certificate and key in NAME.pfx (password in password.txt),
    self-signed or issued by ISSUER (a name made before); NAME.pem holds the certificate. An
    AUTHORITY's certificate is for issuing others."""
    key, cert = path(name + ".key"), path(name + ".pem")
    extensions = ["-addext", "extendedKeyUsage=codeSigning", "-addext", "keyUsage=digitalSignature"]
    if revocation_list:
        extensions += ["-addext", "crlDistributionPoints=URI:" + revocation_list]
    if authority:
        extensions = ["-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=keyCertSign"]
    if issuer is None:
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
            "-days", "30", "-subj", "/" + subject, *extensions)
    else:
        with open(path(name + ".ext"), "w") as f:
            f.write("extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n")
        run("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", path(name + ".csr"),
            "-subj", "/" + subject)
        run("openssl", "x509", "-req", "-in", path(name + ".csr"), "-CA", path(issuer + ".pem"),
            "-CAkey", path(issuer + ".key"), "-set_serial", "7", "-days", "30", "-out", cert,
            "-extfile", path(name + ".ext"))
    run("openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", path(name + ".pfx"),
        "-passout", "file:" + path("password.txt"))
    return path(name + ".pfx")


def sign(source, target, digest="sha256", pfx="signer.pfx"):
    run("osslsigncode", "sign", "-h", digest, "-pkcs12", path(pfx), "-readpass", path("password.txt"),
        "-n", "Zindle launcher", "-in", source, "-out", target)
    return target


def osslsigncode_verifies(program):
    return run("osslsigncode", "verify", "-CAfile", path("signer.pem"), "-in", program, check=False).returncode == 0


def release_check(program):
    return run(sys.executable, RELEASE_CHECK, "--version", version(), program, check=False)


def security_directory(data):
    """(offset, size) of the certificate table, and where its entry sits in the header."""
    pe, = struct.unpack_from("<I", data, 0x3C)
    entry = pe + 24 + 96 + 8 * 4
    return struct.unpack_from("<II", data, entry) + (entry,)


def der(tag, contents):
    """One DER element."""
    size = len(contents)
    if size < 0x80:
        return bytes([tag, size]) + contents
    octets = size.to_bytes((size.bit_length() + 7) // 8, "big")
    return bytes([tag, 0x80 | len(octets)]) + octets + contents


def certificate_entry(body):
    """A WIN_CERTIFICATE of PKCS #7 signed data holding BODY, padded with zeros to 8 bytes."""
    body += b"\0" * (-len(body) % 8)
    return struct.pack("<IHH", 8 + len(body), 0x200, 2) + body


def with_certificate_table(data, table):
    """The signed file DATA with its certificate table replaced by TABLE."""
    offset, _, entry = security_directory(data)
    out = bytearray(data[:offset] + table)
    struct.pack_into("<I", out, entry + 4, len(table))
    return out


def signed_data(data):
    """The PKCS #7 signed data of a signed file, as its DER elements: ContentInfo's type, and
    SignedData's fields."""
    offset, size, _ = security_directory(data)
    content_info = release_check_module._der_at(data, offset + 8, offset + size)
    kind, explicit = release_check_module._kids(content_info)
    return content_info, kind, release_check_module._kids(release_check_module._kids(explicit)[0])


def altered(source, name, change):
    data = bytearray(open(source, "rb").read())
    change(data)
    target = path(name)
    with open(target, "wb") as f:
        f.write(data)
    return target


def release(out, *arguments, env=None, check=True):
    return run("bash", RELEASE, "--out", path(out), *arguments, env=dict(TMPDIR=path("tmp"), **(env or {})),
               check=check)


def zip_path(out):
    return path(out, "zindle-launcher-%s.zip" % version())


def setUpModule():
    for tool in ("openssl", "osslsigncode"):
        if not shutil.which(tool):
            raise AssertionError("%s is missing: scripts/test installs it" % tool)
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(path("tmp"))
    os.makedirs(path("built"))
    with open(path("password.txt"), "w") as f:
        f.write(PASSWORD + "\n")
    make_certificate("signer", SUBJECT)
    shutil.copy(LAUNCHER, path("built", "launcher.exe"))
    shutil.copy(SKINPACK_EXE, path("built", "skinpack.exe"))


class Signatures(unittest.TestCase):
    """release-check and osslsigncode agree on signed launchers, intact and altered."""

    @classmethod
    def setUpClass(cls):
        cls.signed = sign(LAUNCHER, path("signed.exe"))

    def test_unsigned_launcher_reports_none_and_passes(self):
        result = release_check(LAUNCHER)
        self.assertEqual(0, result.returncode, result.stdout)
        self.assertIn("signature: none\n", result.stdout)

    def test_signed_launcher_verifies_and_reports_signer_and_digest(self):
        self.assertTrue(osslsigncode_verifies(self.signed))
        # A subject is checked only where the certificate is self-signed: an issuer's signature on
        # it is not, nor is the issuer.
        make_certificate("signing-authority", "CN=Zindle Test Authority", authority=True)
        make_certificate("issued", "CN=Zindle Issued Signer", issuer="signing-authority")
        cases = [
            ("sha256", self.signed, "subject %s (self-signed, its signature checked), digest sha256" % SUBJECT),
            ("sha1", sign(LAUNCHER, path("signed-sha1.exe"), "sha1"),
             "subject %s (self-signed, its signature checked), digest sha1" % SUBJECT),
            ("issued by an authority", sign(LAUNCHER, path("signed-issued.exe"), pfx="issued.pfx"),
             "subject CN=Zindle Issued Signer (not verified: issued by CN=Zindle Test Authority), digest sha256"),
        ]
        for name, program, signer in cases:
            with self.subTest(name):
                result = release_check(program)
                self.assertEqual(0, result.returncode, result.stdout)
                self.assertIn("signature: Authenticode, %s\n" % signer, result.stdout)
                self.assertIn("\nsignature: checked against the file and the signer's key; the certificate's "
                              "chain and trust are not checked\n", result.stdout)
                self.assertTrue(result.stdout.endswith("release check passed: %s\n" % program))

    def test_altered_signed_launcher_fails_both(self):
        data = open(self.signed, "rb").read()
        table, size, entry = security_directory(data)
        signature_end = table + 8 + 4 + struct.unpack_from(">H", data, table + 8 + 2)[0]
        verified = run("osslsigncode", "verify", "-CAfile", path("signer.pem"), "-in", self.signed).stdout
        file_digest = bytes.fromhex(re.search(r"Current message digest\s*:\s*([0-9A-F]+)", verified).group(1))

        def flip(at):
            def change(d):
                d[at] ^= 0x01
            return change

        def point(offset, length):
            return lambda d: struct.pack_into("<II", d, entry, offset, length)

        cases = [
            ("one byte of the program's code", flip(0x400), "digest does not match the signed one"),
            ("one byte of the digest in the signature", flip(data.index(file_digest) + 5), "do not hold the digest"),
            ("one byte of the RSA signature", flip(signature_end - 9), "RSA signature does not match"),
            ("directory past the end of the file", point(table, size + 16), "points outside the file"),
            ("directory beyond the file", point(len(data) + 64, size), "points outside the file"),
            ("directory into the headers", point(0x40, size), "points into the headers"),
            ("bytes appended after the signature", lambda d: d.extend(b"\0" * 64), "64 bytes after it"),
        ]
        for name, change, message in cases:
            with self.subTest(name):
                program = altered(self.signed, "altered.exe", change)
                self.assertFalse(osslsigncode_verifies(program))
                result = release_check(program)
                self.assertEqual(1, result.returncode, result.stdout)
                self.assertRegex(result.stdout, r"release check failed: signature: .*" + re.escape(message))

    def test_altered_certificate_tables_fail(self):
        # Each keeps the file's digest and the signer's signature as signed.
        data = open(self.signed, "rb").read()
        content_info, kind, fields = signed_data(data)
        pkcs7 = content_info.encoding
        signer = release_check_module._kids(fields[-1])[0].encoding
        broken = bytearray(signer)
        broken[-9] ^= 0x01
        two_signers = der(0x30, kind.encoding + der(0xA0, der(0x30, b"".join(f.encoding for f in fields[:-1])
                                                               + der(0x31, signer + bytes(broken)))))
        table = security_directory(data)[0]
        # The name stands in the certificate's subject and issuer (self-signed) and in the signer's
        # reference to it, so that the certificate is still found and still self-issued.
        renamed = data[:table] + data[table:].replace(SUBJECT[3:].encode(), b"Zindle Evil Signing")
        # osslsigncode refuses all but the last two; Windows refuses those where its certificate
        # padding check is on.
        cases = [
            ("16 bytes after the entry inside the table",
             with_certificate_table(data, certificate_entry(pkcs7) + b"\x01" * 16), "one entry", True),
            ("a second, garbage certificate entry",
             with_certificate_table(data, certificate_entry(pkcs7) + certificate_entry(b"garbage")), "one entry", True),
            ("7 bytes after the certificate table", data + b"\0" * 7, "7 bytes after it", True),
            ("a second signer whose signature is broken",
             with_certificate_table(data, certificate_entry(two_signers)), "2 signers", True),
            ("the certificate's subject edited", renamed, "does not match its own signature", True),
            ("16 bytes after the signature inside its entry",
             with_certificate_table(data, certificate_entry(pkcs7 + b"\x01" * 16)), "after the signature in its entry",
             False),
            ("a padding byte not zero",
             with_certificate_table(data, certificate_entry(pkcs7 + b"\x01")), "after the signature in its entry",
             False),
        ]
        # Built the same way from the signature as it is, the table is the signed file's.
        self.assertEqual(data, with_certificate_table(data, certificate_entry(pkcs7)))
        for name, program, message, osslsigncode_refuses in cases:
            with self.subTest(name):
                self.assertNotEqual(data, program)
                with open(path("crafted.exe"), "wb") as f:
                    f.write(program)
                if osslsigncode_refuses:
                    self.assertFalse(osslsigncode_verifies(path("crafted.exe")))
                result = release_check(path("crafted.exe"))
                self.assertEqual(1, result.returncode, result.stdout)
                self.assertRegex(result.stdout, r"release check failed: signature: .*" + re.escape(message))

    def test_reskinned_signed_launcher_is_unsigned(self):
        # Reskinning changes the file, so the signature is dropped and the tool says so; the result
        # is the same program as one reskinned from the unsigned launcher, and passes the check.
        art = os.path.join(SOURCE, "src", "skin", "assets")
        images = [os.path.join(art, "zindle_skin.bmp"), os.path.join(art, "zindle_skin_200.png")]
        told = run(HOST_SKINPACK, "reskin", self.signed, *images, "-o", path("reskinned.exe")).stdout
        self.assertIn("reskinned.exe: not signed: the signature of", told)
        self.assertIn("sign it again", told)
        self.assertFalse(osslsigncode_verifies(path("reskinned.exe")))
        result = release_check(path("reskinned.exe"))
        self.assertEqual(0, result.returncode, result.stdout)
        self.assertIn("signature: none\n", result.stdout)
        told = run(HOST_SKINPACK, "reskin", LAUNCHER, *images, "-o", path("reskinned-unsigned.exe")).stdout
        self.assertNotIn("not signed", told)
        with open(path("reskinned.exe"), "rb") as a, open(path("reskinned-unsigned.exe"), "rb") as b:
            self.assertEqual(a.read(), b.read())


def zip_entries(zip_file):
    with zipfile.ZipFile(zip_file) as archive:
        return archive.infolist(), {name: archive.read(name) for name in archive.namelist()}


def commit_time():
    result = run("git", "-C", SOURCE, "log", "-1", "--format=%ct", "HEAD", check=False)
    return int(result.stdout) if result.returncode == 0 else None


class ZipChecks(unittest.TestCase):
    def check_zip(self, zip_file, order=ORDER):
        """Checks what every release zip holds; returns its files. Without skinpack.exe in ORDER
        the README says nothing of it."""
        infos, files = zip_entries(zip_file)
        self.assertEqual(order, [info.filename for info in infos])
        sums = "".join("%s  %s\n" % (hashlib.sha256(files[name]).hexdigest(), name) for name in order[:-1])
        self.assertEqual(sums, files["SHA256SUMS"].decode())
        readme = files["README.txt"].decode("utf-8")
        self.assertNotIn("\n", readme.replace("\r\n", ""), "README.txt has a bare line feed")
        self.assertNotRegex(readme, r"(^|\n)@", "a template line left in README.txt")
        self.assertLessEqual(readme.count("\r\n"), 60)
        self.assertIn("Zindle launcher %s" % version(), readme)
        for text in ("9.0c", "zindle.exe", "launcher.exe", "SHA256SUMS"):
            self.assertIn(text, readme)
        for text in ("skinpack reskin launcher.exe", "575 x 385", "1150 x 770", "FF00FF"):
            if "skinpack.exe" in order:
                self.assertIn(text, readme)
            else:
                self.assertNotIn(text, readme)
        if "skinpack.exe" not in order:
            self.assertNotIn("skinpack", readme)
        when = commit_time()
        for info in infos:
            self.assertEqual(b"", info.extra, info.filename)
            self.assertEqual(zipfile.ZIP_DEFLATED, info.compress_type)
            self.assertEqual(0o755 if info.filename.endswith(".exe") else 0o644, info.external_attr >> 16 & 0o777)
            if when is not None:
                self.assertEqual(when // 2 * 2, calendar.timegm(info.date_time + (0, 0, 0)), info.filename)
        return files


class ReleaseZip(ZipChecks):
    """scripts/release --from-build: the zip's contents and bytes, unsigned and signed."""

    def test_unsigned_zip(self):
        result = release("unsigned", "--from-build", path("built"))
        files = self.check_zip(zip_path("unsigned"))
        for name in ("launcher.exe", "skinpack.exe"):
            with open(path("built", name), "rb") as f:
                self.assertEqual(f.read(), files[name], name)
        self.assertIn("release check passed", result.stdout)
        release("unsigned-again", "--from-build", path("built"))
        self.assertEqual(open(zip_path("unsigned"), "rb").read(), open(zip_path("unsigned-again"), "rb").read())

    def test_signed_zip(self):
        # An osslsigncode first on PATH records each call and the mode of its password file.
        shims, log = path("shims"), path("osslsigncode-calls")
        os.makedirs(shims, exist_ok=True)
        with open(os.path.join(shims, "osslsigncode"), "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\n'
                    'next=\nfor a; do\n  if [ -n "$next" ]; then stat -c "mode %%a" "$a" >>"%s"; fi\n'
                    '  next=; if [ "$a" = -readpass ]; then next=1; fi\ndone\n'
                    'exec "%s" "$@"\n' % (log, log, shutil.which("osslsigncode")))
        os.chmod(os.path.join(shims, "osslsigncode"), 0o755)
        env = dict(PATH=shims + os.pathsep + os.environ["PATH"])

        runs = [("signed", ["--password-file", path("password.txt")], {}),
                ("signed-from-environment", [], {"ZINDLE_SIGN_PASSWORD": PASSWORD})]
        for out, arguments, extra in runs:
            with self.subTest(out):
                release(out, "--from-build", path("built"), "--sign", path("signer.pfx"), *arguments,
                        env=dict(env, **extra))
                files = self.check_zip(zip_path(out))
                unpacked = path(out, "unpacked")
                os.makedirs(unpacked)
                for name in ("launcher.exe", "skinpack.exe"):
                    with open(path("built", name), "rb") as f:
                        self.assertNotEqual(f.read(), files[name], name + " was not signed")
                    with open(os.path.join(unpacked, name), "wb") as f:
                        f.write(files[name])
                    self.assertTrue(osslsigncode_verifies(os.path.join(unpacked, name)), name)
                result = release_check(os.path.join(unpacked, "launcher.exe"))
                self.assertEqual(0, result.returncode, result.stdout)
                self.assertIn("subject %s (self-signed, its signature checked), digest sha256" % SUBJECT,
                              result.stdout)
        # No time stamp: the same commit signed with the same certificate gives the same zip.
        self.assertEqual(open(zip_path("signed"), "rb").read(),
                         open(zip_path("signed-from-environment"), "rb").read())
        with open(log) as f:
            calls = f.read()
        self.assertEqual(4, calls.count("-readpass"), calls)
        self.assertEqual(["mode 600"] * 2, re.findall(r"mode \d+", calls)[2:])
        self.assertNotIn(PASSWORD, calls)
        self.assertEqual([], os.listdir(path("tmp")), "temporary files left behind")

    def test_key_without_password(self):
        # Build servers keep such keys in a protected store; no password given means the empty one.
        run("openssl", "pkcs12", "-export", "-inkey", path("signer.key"), "-in", path("signer.pem"),
            "-out", path("no-password.pfx"), "-passout", "pass:")
        release("no-password", "--from-build", path("built"), "--sign", path("no-password.pfx"),
                env={"ZINDLE_SIGN_PASSWORD": None})
        _, files = zip_entries(zip_path("no-password"))
        for name in ("launcher.exe", "skinpack.exe"):
            with open(path("no-password", name), "wb") as f:
                f.write(files[name])
            self.assertTrue(osslsigncode_verifies(path("no-password", name)), name)

    def test_time_stamped_signatures(self):
        # Needs a time-stamp server, which CI has none of: ZINDLE_TEST_TSA_URL names one.
        url = os.environ.get("ZINDLE_TEST_TSA_URL")
        if not url:
            self.skipTest("ZINDLE_TEST_TSA_URL names no RFC 3161 time-stamp server")
        release("stamped", "--from-build", path("built"), "--sign", path("signer.pfx"),
                "--password-file", path("password.txt"), "--timestamp", url)
        _, files = zip_entries(zip_path("stamped"))
        with open(path("stamped", "launcher.exe"), "wb") as f:
            f.write(files["launcher.exe"])
        verified = run("osslsigncode", "verify", "-CAfile", path("signer.pem"), "-in", path("stamped", "launcher.exe"))
        self.assertIn("Timestamp Server Signature verification: ok", verified.stdout)

    def test_certificate_chains(self):
        make_certificate("unknown-ca", "CN=Unknown Test Root", authority=True)
        leaf = make_certificate("leaf", "CN=Zindle Leaf Signer", issuer="unknown-ca")
        result = release("chain-unknown", "--from-build", path("built"), "--sign", leaf,
                         "--password-file", path("password.txt"), check=False)
        self.assertEqual(1, result.returncode, result.stdout)
        self.assertIn("does not verify", result.stderr)
        self.assertFalse(os.path.exists(path("chain-unknown")))
        # The same certificate with its issuer in the PFX chains to a root the check trusts.
        with open(path("leaf-chain.pem"), "w") as f:
            f.write(open(path("leaf.pem")).read() + open(path("unknown-ca.pem")).read())
        run("openssl", "pkcs12", "-export", "-inkey", path("leaf.key"), "-in", path("leaf-chain.pem"),
            "-out", path("leaf-chain.pfx"), "-passout", "file:" + path("password.txt"))
        release("chain-whole", "--from-build", path("built"), "--sign", path("leaf-chain.pfx"),
                "--password-file", path("password.txt"))
        _, files = zip_entries(zip_path("chain-whole"))
        self.assertIn(b"Zindle Leaf Signer", files["launcher.exe"])
        # Revocation lists are not fetched: the check needs no network (nothing listens there).
        listed = make_certificate("listed", "CN=Zindle Listed Signer", revocation_list="http://127.0.0.1:9/list.crl")
        release("listed", "--from-build", path("built"), "--sign", listed, "--password-file", path("password.txt"))

    def test_refusals(self):
        half = path("half-built")
        os.makedirs(half, exist_ok=True)
        shutil.copy(LAUNCHER, os.path.join(half, "launcher.exe"))
        wrong = path("wrong-launcher")
        os.makedirs(wrong, exist_ok=True)
        shutil.copy(SKINPACK_EXE, os.path.join(wrong, "launcher.exe"))
        shutil.copy(SKINPACK_EXE, os.path.join(wrong, "skinpack.exe"))
        cases = [
            ("no skinpack.exe", ["--from-build", half], {}, "no skinpack.exe in"),
            ("a launcher that fails the release check", ["--from-build", wrong], {}, "fails the release check"),
            ("a wrong password", ["--from-build", path("built"), "--sign", path("signer.pfx")],
             {"ZINDLE_SIGN_PASSWORD": "wrong"}, "wrong password"),
            ("no password for a key that has one", ["--from-build", path("built"), "--sign", path("signer.pfx")],
             {"ZINDLE_SIGN_PASSWORD": None},
             "no password was given, and the empty one does not open it: give the key's password with "
             "--password-file FILE or ZINDLE_SIGN_PASSWORD"),
            ("a time stamp without signing", ["--from-build", path("built"), "--timestamp", "http://127.0.0.1:9/"],
             {}, "go with --sign"),
            ("an unknown option", ["--from-build", path("built"), "--sign-with", "x"], {}, "unknown argument"),
        ]
        for name, arguments, env, message in cases:
            with self.subTest(name):
                out = "refused-" + name.replace(" ", "-")
                result = release(out, *arguments, env=env, check=False)
                self.assertNotEqual(0, result.returncode, result.stdout)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(zip_path(out)))

    def test_dirty_work_tree_is_refused(self):
        if run("git", "-C", SOURCE, "rev-parse", "HEAD", check=False).returncode:
            self.skipTest("the sources are not a git work tree")
        clone = path("clone")
        run("git", "clone", "-q", "--no-checkout", SOURCE, clone)
        run("git", "-C", clone, "checkout", "-q", run("git", "-C", SOURCE, "rev-parse", "HEAD").stdout.strip())
        # The scripts under test, which may not be committed yet, and a change of a tracked file.
        for name in ("release", "lib.sh", "release-check", "release-readme.txt"):
            shutil.copy(os.path.join(SOURCE, "scripts", name), os.path.join(clone, "scripts", name))
        with open(os.path.join(clone, "README.md"), "a") as f:
            f.write("a change not committed\n")
        result = run("bash", os.path.join(clone, "scripts", "release"), "--out", path("dirty"), check=False)
        self.assertEqual(1, result.returncode, result.stdout)
        self.assertIn("uncommitted changes", result.stderr)
        self.assertIn("README.md", result.stderr)
        self.assertFalse(os.path.exists(path("dirty")))


def solid_bmp(name, width, height, bgr):
    """A 24-bit BMP of one colour."""
    row = bytes(bgr) * width
    row += b"\0" * (-len(row) % 4)
    pixels = row * height
    with open(path(name), "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0))
        f.write(pixels)
    return path(name)


def openssl_time(text):
    """Seconds since 1970 of a time as openssl and osslsigncode print it: "Dec 11 12:08:54 2026 GMT"."""
    return calendar.timegm(time.strptime(" ".join(text.split()), "%b %d %H:%M:%S %Y GMT"))


def package_shims(name):
    """PATH and BUILD_DIR for scripts/release where every package reads as missing and each
    install or change of architecture is logged instead of made; and the log."""
    shims, log = path(name), path(name + ".log")
    os.makedirs(shims)
    for tool, body in [("dpkg-query", "exit 1"), ("dpkg", 'echo "dpkg $*" >>"%s"' % log),
                       ("apt-get", 'echo "apt-get $*" >>"%s"' % log), ("sudo", 'exec "$@"')]:
        with open(os.path.join(shims, tool), "w") as f:
            f.write("#!/bin/sh\n%s\n" % body)
        os.chmod(os.path.join(shims, tool), 0o755)
    return dict(PATH=shims + os.pathsep + os.environ["PATH"], BUILD_DIR=path(name + "-build")), log


def apt_calls(log):
    """(the packages installed, the other package-tool calls) in a shims' log."""
    if not os.path.exists(log):
        return set(), []
    installed, others = set(), []
    for line in open(log).read().splitlines():
        words = line.split()
        if words[:2] == ["apt-get", "install"]:
            values = [w for i, w in enumerate(words[2:]) if not w.startswith("-") and words[1 + i] != "-o"]
            installed.update(values)
        elif words[:2] != ["apt-get", "update"]:
            others.append(line)
    return installed, others


class GivenLauncher(ZipChecks):
    """scripts/release --launcher: a game team's own launcher.exe, reskinned, into the release zip."""

    @classmethod
    def setUpClass(cls):
        art = solid_bmp("teal.bmp", 575, 385, (128, 128, 0))
        run(HOST_SKINPACK, "reskin", LAUNCHER, art, "-o", path("team-launcher.exe"))
        cls.launcher = path("team-launcher.exe")

    def test_reskinned_launcher_zip(self):
        with open(self.launcher, "rb") as f:
            launcher = f.read()
        with open(LAUNCHER, "rb") as f:
            self.assertNotEqual(f.read(), launcher)
        result = release("team", "--launcher", self.launcher, "--skinpack", SKINPACK_EXE)
        self.assertIn("release check passed", result.stdout)
        files = self.check_zip(zip_path("team"))
        self.assertEqual(launcher, files["launcher.exe"])
        with open(SKINPACK_EXE, "rb") as f:
            self.assertEqual(f.read(), files["skinpack.exe"])
        # Same inputs, same bytes.
        release("team-again", "--launcher", self.launcher, "--skinpack", SKINPACK_EXE)
        self.assertEqual(open(zip_path("team"), "rb").read(), open(zip_path("team-again"), "rb").read())
        # Without --skinpack the zip holds the launcher alone, and its README leaves out skinpack.
        release("team-alone", "--launcher", self.launcher)
        files = self.check_zip(zip_path("team-alone"), order=["launcher.exe", "README.txt", "SHA256SUMS"])
        self.assertEqual(launcher, files["launcher.exe"])

    def test_signing_time_is_not_before_the_certificate(self):
        # The test certificate was made now, after the commit: a signature dated at the commit
        # would be older than the certificate.
        not_before = openssl_time(run("openssl", "x509", "-noout", "-startdate", "-in",
                                      path("signer.pem")).stdout.strip().split("=", 1)[1])
        when = commit_time()
        if when is not None:
            self.assertLess(when, not_before, "the test needs a certificate made after the commit")
        release("team-signed", "--launcher", self.launcher, "--sign", path("signer.pfx"),
                "--password-file", path("password.txt"))
        _, files = zip_entries(zip_path("team-signed"))
        signed = path("team-signed", "launcher.exe")
        with open(signed, "wb") as f:
            f.write(files["launcher.exe"])
        told = run("osslsigncode", "verify", "-CAfile", path("signer.pem"), "-in", signed).stdout
        signing_time = openssl_time(re.search(r"Signing time: (.*)", told).group(1))
        self.assertEqual(max(when or 0, not_before), signing_time)
        run("osslsigncode", "verify", "-CAfile", path("signer.pem"), "-time", str(signing_time), "-in", signed)
        self.assertEqual(0, release_check(signed).returncode)
        # Signed again with the same certificate: the same zip.
        release("team-signed-again", "--launcher", self.launcher, "--sign", path("signer.pfx"),
                "--password-file", path("password.txt"))
        self.assertEqual(open(zip_path("team-signed"), "rb").read(),
                         open(zip_path("team-signed-again"), "rb").read())

    def test_refusals(self):
        with open(path("notes.exe"), "w") as f:
            f.write("not a program\n")
        cases = [
            ("a text file", ["--launcher", path("notes.exe")], "release check failed: PE headers: unreadable"),
            ("a program that is no launcher", ["--launcher", SKINPACK_EXE],
             "release check failed: skin: no SKIN_100 resource"),
            ("a launcher that is not there", ["--launcher", path("missing.exe")], "no launcher file"),
            ("a skinpack that is not there", ["--launcher", self.launcher, "--skinpack", path("missing.exe")],
             "no skinpack file"),
        ]
        for name, arguments, message in cases:
            with self.subTest(name):
                out = "refused-" + name.replace(" ", "-")
                result = release(out, *arguments, check=False)
                self.assertEqual(1, result.returncode, result.stdout)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(zip_path(out)))

    def test_installs_only_what_packaging_needs(self):
        signing = {"python3", "osslsigncode", "openssl", "ca-certificates"}
        runs = [
            ("launcher", ["--launcher", self.launcher], {"python3"}),
            ("launcher-signed", ["--launcher", self.launcher, "--sign", path("signer.pfx"),
                                 "--password-file", path("password.txt")], signing),
            ("from-build", ["--from-build", path("built")], {"python3"}),
        ]
        for name, arguments, packages in runs:
            with self.subTest(name):
                env, log = package_shims("shims-" + name)
                release("installs-" + name, *arguments, env=env)
                self.assertEqual((packages, []), apt_calls(log))


class Usage(unittest.TestCase):
    """--help, usage errors and missing files, for scripts/release and scripts/release-check."""

    def test_help_prints_usage_and_touches_nothing(self):
        env, log = package_shims("shims-help")
        for script, command in [("release", ["bash", RELEASE, "--out", path("help-out"), "--help"]),
                                ("release-check", [sys.executable, RELEASE_CHECK, "--help"])]:
            with self.subTest(script):
                result = run(*command, env=env)
                self.assertIn("scripts/%s [" % script, result.stdout)
                self.assertEqual("", result.stderr)
        self.assertFalse(os.path.exists(path("help-out")))
        self.assertEqual((set(), []), apt_calls(log))

    def test_usage_errors(self):
        cases = [
            (RELEASE, ["--launcher"], "--launcher needs a value"),
            (RELEASE, ["--sign"], "--sign needs a value"),
            (RELEASE, ["--launcher", LAUNCHER, "--from-build", path("built")], "--launcher and --from-build"),
            (RELEASE, ["--skinpack", SKINPACK_EXE], "--skinpack goes with --launcher"),
            (RELEASE, ["--launcher", LAUNCHER, "--timestamp", "http://127.0.0.1:9/"], "go with --sign"),
            (RELEASE, ["--sign-with", "x"], "unknown argument '--sign-with'"),
            (RELEASE_CHECK, ["--version"], "--version needs a value"),
            (RELEASE_CHECK, ["--versions", "1", LAUNCHER], "unknown option '--versions'"),
            (RELEASE_CHECK, [LAUNCHER, LAUNCHER], "one file at most"),
        ]
        for script, arguments, message in cases:
            name = os.path.basename(script)
            with self.subTest(name + " " + " ".join(arguments)):
                command = ["bash", script, "--out", path("usage-out")] if script == RELEASE else [sys.executable, script]
                result = run(*command, *arguments, check=False)
                self.assertEqual(2, result.returncode, result.stdout + result.stderr)
                first, rest = result.stderr.split("\n", 1)
                self.assertEqual(name + ": ", first[:len(name) + 2])
                self.assertIn(message, first)
                self.assertIn("scripts/%s [" % name, rest)
                self.assertFalse(os.path.exists(path("usage-out")))

    def test_release_check_unreadable_file(self):
        for name, target in [("missing", path("no-such.exe")), ("a folder", WORK)]:
            with self.subTest(name):
                result = release_check(target)
                self.assertEqual(1, result.returncode)
                self.assertEqual("", result.stderr)
                self.assertRegex(result.stdout, r"^release check failed: cannot read %s \(.+\)\n$" % re.escape(target))


class CleanBuild(ZipChecks):
    """scripts/release from the committed HEAD, built from scratch in a folder of its own."""

    def test_release_from_committed_head(self):
        # Run from a clone whose README text has a change not committed: the release holds
        # nothing of it, the README included.
        clone = path("clone")
        shutil.rmtree(clone, ignore_errors=True)
        run("git", "clone", "--quiet", SOURCE, clone)
        with open(os.path.join(clone, "scripts", "release-readme.txt"), "a", encoding="utf-8") as f:
            f.write("A LINE NOT COMMITTED\n")
        result = run("bash", os.path.join(clone, "scripts", "release"), "--out", path("clean"), "--allow-dirty",
                     env=dict(TMPDIR=path("tmp")))
        head = run("git", "-C", SOURCE, "rev-parse", "HEAD").stdout.strip()
        self.assertIn("Building commit %s" % head, result.stdout)
        files = self.check_zip(zip_path("clean"))
        self.assertNotIn("A LINE NOT COMMITTED", files["README.txt"].decode("utf-8"))
        self.assertTrue(release_check_passes(files["launcher.exe"]))
        # A clean work tree whose programs were built from HEAD gives the same zip.
        if not run("git", "-C", SOURCE, "status", "--porcelain", "--untracked-files=no").stdout:
            release("from-build", "--from-build", path("built"))
            self.assertEqual(open(zip_path("from-build"), "rb").read(), open(zip_path("clean"), "rb").read())


def release_check_passes(program_bytes):
    with open(path("clean-launcher.exe"), "wb") as f:
        f.write(program_bytes)
    return release_check(path("clean-launcher.exe")).returncode == 0


if __name__ == "__main__":
    suite = unittest.TestLoader().loadTestsFromTestCase(CleanBuild) if CLEAN_BUILD else unittest.TestSuite(
        unittest.TestLoader().loadTestsFromTestCase(case) for case in (Signatures, ReleaseZip, GivenLauncher, Usage))
    outcome = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if outcome.wasSuccessful() else 1)
