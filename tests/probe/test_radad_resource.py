#!/usr/bin/env python3
"""dist/radad.exe carries, as resource JAVACLASS 105, byte for byte the probe class
that the other probe tests checked.

Environment: RADAD_EXE (dist/radad.exe, built by the cross tree), PROBE_CLASS_FILE.
Exits with 77, which CTest reports as skipped, while the launcher is not built.
"""

import os
import sys
import unittest

import pe_resources

SKIPPED = 77


class ProbeClassInRadad(unittest.TestCase):
    def test_resource_105_is_the_checked_class(self):
        with open(os.environ["RADAD_EXE"], "rb") as launcher:
            found = pe_resources.read_resource(launcher.read(), "JAVACLASS", 105)
        with open(os.environ["PROBE_CLASS_FILE"], "rb") as probe:
            checked = probe.read()
        self.assertEqual(len(found), 1, "expected JAVACLASS 105 in exactly one language")
        self.assertEqual(found[0], checked, "JAVACLASS 105 differs from the checked probe class")


if __name__ == "__main__":
    if not os.path.exists(os.environ["RADAD_EXE"]):
        print(f"skipped: {os.environ['RADAD_EXE']} does not exist yet; build the cross tree (scripts/build.sh)")
        sys.exit(SKIPPED)
    unittest.main(argv=sys.argv[:1], verbosity=1)
