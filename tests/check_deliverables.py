"""The shipped programs of both builds (and radad-pack.exe of the x86-64 one): the
right machine, small, and needing no DLL beyond those of Windows itself; the
payload tool works on both launchers."""

import os
import subprocess
import sys
import unittest

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "probe"))
sys.dont_write_bytecode = True
import pe_resources  # noqa: E402

DIST = os.environ.get("DIST_DIR", "dist")
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "comdlg32.dll",
                "gdi32.dll", "msvcrt.dll", "ole32.dll"}
LAUNCHER_LIMIT = 96 * 1024

# folder, PE machine, PE optional header magic, objdump that reads it
BUILDS = [
    ("", 0x14C, 0x10B, "i686-w64-mingw32-objdump"),
    ("x64", 0x8664, 0x20B, "x86_64-w64-mingw32-objdump"),
]


def path(folder, name):
    return os.path.join(DIST, folder, name)


def read(file_path):
    with open(file_path, "rb") as f:
        return f.read()


def imports(objdump, file_path):
    out = subprocess.run([objdump, "-p", file_path], stdout=subprocess.PIPE, check=True, text=True).stdout
    return {line.split()[-1].lower() for line in out.splitlines() if "DLL Name:" in line}


def pack(*args):
    return subprocess.run([path("", "radad-pack"), *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


class DeliverablesTest(unittest.TestCase):
    def test_each_build_is_for_its_machine_and_imports_only_windows_dlls(self):
        for folder, machine, magic, objdump in BUILDS:
            for name in ("radad.exe", "Brisnode.exe", "radad-demo.exe") + (("radad-pack.exe",) if folder else ()):
                with self.subTest(folder=folder or "x86", program=name):
                    file_path = path(folder, name)
                    self.assertEqual(pe_resources.headers(read(file_path))[:2], (machine, magic))
                    found = imports(objdump, file_path)
                    self.assertTrue(found, "no imports read from %s" % file_path)
                    self.assertLessEqual(found, WINDOWS_DLLS)
                    print("%s: %d bytes" % (os.path.relpath(file_path, DIST), os.path.getsize(file_path)))

    def test_each_launcher_fits_its_size_limit(self):
        for folder, _, _, _ in BUILDS:
            with self.subTest(folder=folder or "x86"):
                self.assertLessEqual(os.path.getsize(path(folder, "radad.exe")), LAUNCHER_LIMIT)

    def test_each_demo_launcher_is_its_launcher_with_a_payload_the_tool_accepts(self):
        for folder, _, _, _ in BUILDS:
            with self.subTest(folder=folder or "x86"):
                stub = read(path(folder, "radad.exe"))
                demo = read(path(folder, "radad-demo.exe"))
                # The same image, but for the checksum, which covers the payload too.
                _, magic, directories = pe_resources.headers(demo)
                at = directories - {0x10B: 96, 0x20B: 112}[magic] + 64
                self.assertEqual(demo[:at] + demo[at + 4:len(stub)], stub[:at] + stub[at + 4:])
                self.assertEqual(int.from_bytes(demo[at:at + 4], "little"), pefile.PE(data=demo).generate_checksum())
                self.assertEqual(int.from_bytes(demo[-4:], "little"), len(stub))
                listing = pack("list", path(folder, "radad-demo.exe"))
                self.assertEqual(listing.returncode, 0, listing.stderr)
                self.assertIn("trailer %d" % len(stub), listing.stdout)
                check = pack("check", path(folder, "radad-demo.exe"))
                self.assertEqual(check.returncode, 0, check.stdout + check.stderr)

if __name__ == "__main__":
    unittest.main()
