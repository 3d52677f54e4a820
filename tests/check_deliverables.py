"""The shipped programs: small, and needing no DLL beyond those of Windows itself."""

import os
import subprocess
import unittest

DIST = os.environ.get("DIST_DIR", "dist")
OBJDUMP = "i686-w64-mingw32-objdump"
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "comdlg32.dll",
                "gdi32.dll", "msvcrt.dll", "ole32.dll"}
LAUNCHER_LIMIT = 96 * 1024


def imports(path):
    out = subprocess.run([OBJDUMP, "-p", path], stdout=subprocess.PIPE, check=True, text=True).stdout
    return {line.split()[-1].lower() for line in out.splitlines() if "DLL Name:" in line}


class DeliverablesTest(unittest.TestCase):
    def test_the_launcher_fits_its_size_limit(self):
        size = os.path.getsize(os.path.join(DIST, "radad.exe"))
        print("radad.exe: %d bytes" % size)
        self.assertLessEqual(size, LAUNCHER_LIMIT)

    def test_the_programs_import_only_windows_dlls(self):
        for name in ("radad.exe", "Brisnode.exe"):
            with self.subTest(name):
                found = imports(os.path.join(DIST, name))
                self.assertTrue(found, "no imports read from %s" % name)
                self.assertLessEqual(found, WINDOWS_DLLS)

    def test_the_demo_launcher_is_the_launcher_with_a_payload_appended(self):
        with open(os.path.join(DIST, "radad.exe"), "rb") as f:
            stub = f.read()
        with open(os.path.join(DIST, "radad-demo.exe"), "rb") as f:
            demo = f.read()
        self.assertEqual(demo[:len(stub)], stub)
        self.assertEqual(int.from_bytes(demo[-4:], "little"), len(stub))


if __name__ == "__main__":
    unittest.main()
