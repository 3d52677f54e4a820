"""radad-pack on the build machine: what it writes, lists and refuses."""

import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import payloads as pl  # noqa: E402

DIST = os.environ.get("DIST_DIR", "dist")
TOOL = os.path.join(DIST, "radad-pack")
# The launchers of both builds, real PE images that osslsigncode can sign.
LAUNCHERS = [("x86", os.path.join(DIST, "radad.exe")), ("x64", os.path.join(DIST, "x64", "radad.exe"))]
LAUNCHER = LAUNCHERS[1][1]


def pack(*args):
    return subprocess.run([TOOL, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


class RadadPackTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.stub = self.file("stub.exe", b"MZ" + b"\0" * 57854)

    def file(self, name, data):
        return pl.write(os.path.join(self.dir.name, name), data)

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def test_build_writes_exactly_the_format(self):
        installer = self.file("setup.class", b"\xca\xfe\xba\xbe" + bytes(range(256)) * 3)
        out = os.path.join(self.dir.name, "out.exe")
        # Without a checksum, which would be made right over the whole output.
        image = pefile.PE(LAUNCHER)
        image.OPTIONAL_HEADER.CheckSum = 0
        launcher = self.file("unsummed.exe", bytes(image.write()))
        result = pack("build", launcher, "-o", out, "CommandLine:=1.1:A:A",
                      "URL:=http://kitebay.example/getjava", "setup.class=" + installer)
        self.assertEqual(result.returncode, 0, result.stderr)
        records = [pl.record("CommandLine", pl.text("1.1:A:A")),
                   pl.record("URL", pl.text("http://kitebay.example/getjava")),
                   pl.record("setup.class", self.read(installer))]
        written = self.read(out)
        self.assertEqual(written, pl.launcher(self.read(launcher), records, align=8))
        # Zero bytes stand before the trailer, as many as the same records need
        # to reach a multiple of 8: this case needs some.
        padding = len(written) - len(pl.launcher(self.read(launcher), records))
        self.assertEqual((len(written) % 8, 0 < padding < 8), (0, True), "padding %d" % padding)
        help = pack("--help")
        self.assertEqual(help.returncode, 0)
        self.assertIn("The first three are, in this order:\n  CommandLine:=REQUIREMENT", help.stdout)
        self.assertIn("  --caption TEXT ", help.stdout)

    def test_list_shows_names_words_lengths_offsets_and_the_trailer(self):
        launcher = self.file("l.exe", pl.launcher(self.read(self.stub), pl.shipped_records(
            address="http://kitebay.example/java/1")))
        result = pack("list", launcher)
        self.assertEqual(result.returncode, 0)
        rows = [line.split() for line in result.stdout.splitlines()[2:5]]
        S = 57856
        self.assertEqual(rows, [["qvxCommandLine", "0", "8", str(S + 23)],
                                ["qvxURL", "0", "30", str(S + 46)],
                                ["qvxsetup.class", "0", str(len(pl.shipped_records()[2]) - 23), str(S + 99)]])
        self.assertIn("trailer 57856", result.stdout)

    def test_check_accepts_the_shipped_layout_and_names_what_is_wrong_otherwise(self):
        good = self.file("good.exe", pl.launcher(self.read(self.stub), pl.shipped_records()))
        self.assertEqual(pack("check", good).returncode, 0)
        cases = [
            ("no payload", self.read(self.stub) + b"\xff\xff\xff\x7f", "does not begin"),
            ("reserved word", pl.launcher(self.read(self.stub), pl.shipped_records()[:2]
                                          + [pl.record("setup.class", b"x", reserved=3)]), "reserved"),
            ("other order", pl.launcher(self.read(self.stub), pl.shipped_records()[::-1]), "record 1 is \"setup.class\""),
            ("a requirement no VM can meet", pl.launcher(self.read(self.stub), pl.shipped_records("1.8:A:A")),
             "no VM can meet the requirement string's \"1.8:A:A\""),
            ("a device name", pl.launcher(self.read(self.stub), pl.shipped_records()[:2]
                                          + [pl.record("NUL", b"x")]), "record NUL: the name is a device name"),
            ("a path for a name", pl.launcher(self.read(self.stub), pl.shipped_records()
                                              + [pl.record("..\\x", b"x")]), "path separator"),
        ]
        for what, data, word in cases:
            with self.subTest(what):
                result = pack("check", self.file("bad.exe", data))
                self.assertEqual(result.returncode, 1)
                self.assertIn(word, result.stdout)

    def test_build_refuses_what_the_launcher_could_not_read_back(self):
        long_text = self.file("long.txt", b"a" * 300)
        bitmap = struct.pack("<I", 40) + b"\0" * 60
        claims = self.file("claims.ico", struct.pack("<HHH", 0, 1, 9) + struct.pack("<4BHHII", 16, 16, 0, 0, 1, 32, 64, 22) + bitmap)
        cases = [
            ("a twenty-character name", ["CommandLine:=x", "URL:=y", "n" * 20 + ":=z"], "at most 19"),
            ("eleven records", ["CommandLine:=x", "URL:=y"] + ["r%d:=z" % i for i in range(9)], "at most 10"),
            ("a requirement without a NUL", ["CommandLine=" + long_text, "URL:=y", "s:=z"], "NUL"),
            ("a name that is a path", ["CommandLine:=x", "URL:=y", "..\\setup.class:=z"], "plain file name"),
            ("a device name", ["CommandLine:=x", "URL:=y", "Com1.class:=z"],
             'record 3 "Com1.class": the name is a device name of Windows'),
            ("a wildcard", ["CommandLine:=x", "URL:=y", "setup*.class:=z"],
             'record 3 "setup*.class": the name holds a character that Windows does not allow'),
            ("a trailing blank", ["CommandLine:=x", "URL:=y", "extra :=z"],
             'record 3 "extra ": the name ends in a dot or a blank'),
            # The options of the author's resources.
            ("an icon that claims more images than it holds", ["--icon", claims, "a:=b"],
             "claims.ico: the icon file claims 9 images, but its 86 bytes hold the directory of only 5"),
            ("a version with letters", ["--file-version", "2.1b", "a:=b"],
             '--file-version "2.1b": a version is one to four numbers'),
            ("a caption longer than radad holds", ["--product-name", "\u03a9" * 130, "a:=b"],
             "--product-name: a caption has 1 to 259 bytes in UTF-8, not 260"),
            # What the format allows but could never work.
            ("a requirement no VM can meet", ["CommandLine:=garbage", "URL:=y", "s.class:=z"],
             "no VM can meet the requirement string's \"garbage\": an alternative is VERSION:VENDOR:OS"),
            ("an option after a record", ["a:=b", "--caption", "x"], "--caption comes after a record: options come first"),
            ("a launcher that is no PE image", ["a:=b"], "stub.exe is no radad launcher: the file is no PE image", self.stub),
            ("a program that is no radad launcher", ["a:=b"], "Brisnode.exe is no radad launcher: it carries no probe "
             "class (resource JAVACLASS 105)", os.path.join(DIST, "x64", "Brisnode.exe")),
        ]
        for what, records, word, *launcher in cases:
            with self.subTest(what):
                out = os.path.join(self.dir.name, "refused.exe")
                result = pack("build", (launcher or [LAUNCHER])[0], "-o", out, *records)
                self.assertEqual(result.returncode, 1)
                self.assertIn(word, result.stderr)
                self.assertFalse(os.path.exists(out))
        # An output that cannot be opened, here a folder, is left as it was.
        folder = os.path.join(self.dir.name, "folder.exe")
        os.mkdir(folder)
        result = pack("build", LAUNCHER, "-o", folder, "CommandLine:=1.1:A:A", "URL:=y", "s.class:=z")
        self.assertEqual((result.returncode, os.path.isdir(folder)), (1, True), result.stderr)
        self.assertIn("cannot write", result.stderr)

    def test_build_refuses_a_stub_whose_size_spells_the_prefix(self):
        stub = self.file("odd.exe", self.read(LAUNCHER).ljust(0x787671, b"\0"))
        out = os.path.join(self.dir.name, "odd-out.exe")
        result = pack("build", stub, "-o", out, "CommandLine:=x", "URL:=y", "s:=z")
        self.assertEqual(result.returncode, 1)
        self.assertIn("prefix", result.stderr)

    def test_build_refuses_a_launcher_that_carries_a_payload_already(self):
        packed = self.file("packed.exe", pl.launcher(self.read(LAUNCHER), pl.shipped_records()))
        result = pack("build", packed, "-o", os.path.join(self.dir.name, "twice.exe"), "a:=b")
        self.assertEqual(result.returncode, 1)
        self.assertIn("already", result.stderr)

    # -- signed launchers -----------------------------------------------------

    def test_a_built_launcher_signs_without_padding_and_is_read_behind_its_signature(self):
        signer = pl.Signer(self.dir.name)
        for arch, stub in LAUNCHERS:
            with self.subTest(arch):
                unsigned, signed = (os.path.join(self.dir.name, arch + n) for n in ("-u.exe", "-s.exe"))
                built = pack("build", stub, "-o", unsigned, "CommandLine:=1.1:A:A", "URL:=http://k/", "s.class:=c")
                self.assertEqual(built.returncode, 0, built.stderr)
                signer.sign(unsigned, signed)
                self.assertEqual(signer.verify(signed)[0], 0, signer.verify(signed)[1])
                data, stub_size = self.read(signed), os.path.getsize(stub)
                offset, size = pl.security_entry(data)
                # The table begins right after the trailer: signing added no padding.
                self.assertEqual((offset, offset + size), (os.path.getsize(unsigned), len(data)))
                self.assertEqual(data[stub_size:offset], self.read(unsigned)[stub_size:])
                listing = pack("list", signed).stdout
                self.assertEqual([line.split()[0] for line in listing.splitlines()[2:5]],
                                 ["qvxCommandLine", "qvxURL", "qvxs.class"])
                self.assertIn("trailer %d at %d\ncertificate table at %d, %d bytes\n"
                              % (stub_size, offset - 4, offset, size), listing)
                self.assertEqual(pack("check", signed).returncode, 0)
                again = pack("build", signed, "-o", os.path.join(self.dir.name, "late.exe"), "a:=b")
                self.assertEqual(again.returncode, 1)
                self.assertIn("signing comes last", again.stderr)

    def test_check_explains_a_launcher_signed_unaligned_and_reads_a_malformed_entry_as_unsigned(self):
        signer = pl.Signer(self.dir.name)
        stub = self.read(LAUNCHERS[1][1])
        unaligned = self.file("unaligned.exe", pl.launcher(stub, pl.shipped_records()))
        signed = self.read(signer.sign(unaligned, os.path.join(self.dir.name, "unaligned-signed.exe")))
        padding = pl.security_entry(signed)[0] - os.path.getsize(unaligned)
        aligned = pl.launcher(stub, pl.shipped_records(), align=8)
        cases = [
            ("signed unaligned", signed, 1, "%d zero bytes stand between the trailer and the certificate "
             "table: the launcher was signed without being built to a multiple of 8 bytes" % padding),
            ("a byte after the signature", signed + b"\0", 1, "ignored: it does not end at the end of the file"),
            ("an entry outside the file", pl.with_security_entry(aligned, len(aligned) + 8, 16), 0,
             "ignored: it reaches outside the file; the file reads as unsigned"),
        ]
        for what, image, status, explanation in cases:
            with self.subTest(what):
                result = pack("check", self.file("case.exe", image))
                self.assertEqual(result.returncode, status, result.stdout)
                self.assertIn(explanation, result.stdout)

    # -- the author's resources ------------------------------------------------

    def test_an_installer_with_every_option_shows_them_to_independent_readers(self):
        icon = pl.author_icon(self.dir.name)
        images = icon_images(self.read(icon))
        self.assertIn(b"\x89PNG", [data[:4] for _, data in images], "the 256-pixel image is PNG-compressed")
        for arch, stub in LAUNCHERS:
            with self.subTest(arch):
                out = os.path.join(self.dir.name, arch + "-kitebay.exe")
                built = pack("build", stub, "-o", out, *pl.author_options(icon), "CommandLine:=1.1:A:A",
                             "URL:=http://k/", "s.class:=c")
                self.assertEqual(built.returncode, 0, built.stderr)
                pe = pefile.PE(out)
                self.assertEqual(pe.get_warnings(), [])
                self.assertEqual(pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum())
                version = {k.decode(): v.decode() for k, v in pe.FileInfo[0][0].StringTable[0].entries.items()}
                self.assertEqual(version, {**pl.AUTHOR, "OriginalFilename": arch + "-kitebay.exe"})
                fixed = pe.VS_FIXEDFILEINFO[0]
                self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS,
                                  fixed.ProductVersionLS), (0x20001, 0x7, 0x20001, 0))
                self.assertEqual(re.findall(rb'level="(\w+)"', resources(pe)[(24, 1)]), [b"requireAdministrator"])
                # wrestool puts the icon group and its images back together as an .ico.
                group = subprocess.run(["wrestool", "-x", "--type=14", out], stdout=subprocess.PIPE, check=True)
                self.assertEqual(icon_images(group.stdout), images)
                # Every other resource is as it was, the dialogs' reference to icon 107 included,
                # and so is every string but the caption, which is the product's name.
                kept = {key: data for key, data in resources(pefile.PE(stub)).items() if key[0] not in (3, 6, 14, 16, 24)}
                self.assertEqual({key: data for key, data in resources(pe).items() if key in kept}, kept)
                self.assertEqual(strings(pe), {**strings(pefile.PE(stub)), 2: pl.AUTHOR["ProductName"]})
                self.assertEqual([key for key in resources(pe) if key[0] in (3, 14)],
                                 [(3, i + 1) for i in range(len(images))] + [(14, 107)])

                self.assertIn("product name Kitebay \u03a9mega\ndescription Kitebay setup\ncompany Kitebay Ltd\n"
                              "copyright \u00a9 2026 Kitebay Ltd\nproduct version 2.1\nfile version 2.1.0.7\n"
                              "original file name %s-kitebay.exe\ncaption Kitebay \u03a9mega\n"
                              "icon 256x256 32-bit, 48x48 32-bit, 32x32 32-bit, 16x16 32-bit\n"
                              "elevation requireAdministrator\n" % arch, pack("list", out).stdout)

    def test_a_caption_given_apart_wins_over_the_product_name(self):
        out = os.path.join(self.dir.name, "captioned.exe")
        built = pack("build", LAUNCHER, "-o", out, "--caption", "Acme setup", "--product-name", "Acme",
                     "CommandLine:=1.1:A:A", "URL:=y", "s.class:=c")
        self.assertEqual(built.returncode, 0, built.stderr)
        self.assertEqual(strings(pefile.PE(out))[2], "Acme setup")

def icon_images(ico):
    """The (directory entry without its offset, image bytes) of each image of an .ico."""
    count = struct.unpack_from("<H", ico, 4)[0]
    images = []
    for i in range(count):
        entry = ico[6 + 16 * i:22 + 16 * i]
        size, offset = struct.unpack_from("<II", entry, 8)
        images.append((entry[:12], ico[offset:offset + size]))
    return images


def strings(pe):
    """{id: text} of the launcher's first string table block, as pefile reads it."""
    kind = [entry for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries if entry.id == 6][0]
    return [entry for entry in kind.directory.entries if entry.id == 1][0].directory.strings


def resources(pe):
    """{(type, name): data} of the first language of every resource, as pefile reads them."""
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for name in kind.directory.entries:
            entry = name.directory.entries[0].data.struct
            key = (kind.id if kind.id is not None else str(kind.name), name.id if name.id is not None else str(name.name))
            found[key] = pe.get_data(entry.OffsetToData, entry.Size)
    return found


if __name__ == "__main__":
    unittest.main()
