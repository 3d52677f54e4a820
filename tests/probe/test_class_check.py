#!/usr/bin/env python3
"""The probe class check accepts the shipped class and rejects every unfit one,
each for the reason that makes it unfit.

Environment: PROBE_CLASS_FILE (the compiled probe), PROBE_VARIANTS_DIR (the
variants that variants.py built from the same source).
"""

import os
import struct
import sys
import unittest
from dataclasses import dataclass

import probe_class_check
from variants import VARIANTS


def _read(path):
    with open(path, "rb") as source:
        return source.read()


@dataclass(frozen=True)
class Corruption:
    name: str
    damage: object  # bytes -> bytes
    expected_problem: str


def _with_version(major, minor):
    return lambda data: data[:4] + struct.pack(">HH", minor, major) + data[8:]


CORRUPTIONS = [
    Corruption("minor version 0", _with_version(45, 0), "format 45.0, expected 45.3"),
    Corruption("format of Java 1.2", _with_version(46, 0), "format 46.0, expected 45.3"),
    Corruption("not a class file", lambda data: b"\xca\xfe\xba\xbf" + data[4:], "magic number"),
    Corruption("cut short", lambda data: data[:len(data) // 2], "unreadable class file: truncated"),
    Corruption("trailing bytes", lambda data: data + b"\0", "1 bytes after the class file's end"),
]


class ProbeClassCheck(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.probe = _read(os.environ["PROBE_CLASS_FILE"])
        cls.variants_dir = os.environ["PROBE_VARIANTS_DIR"]

    def test_shipped_class_is_fit(self):
        self.assertEqual(probe_class_check.problems_of(self.probe), [])

    def test_variants_are_rejected_for_their_fault(self):
        for variant in VARIANTS:
            with self.subTest(variant=variant.name):
                directory = os.path.join(self.variants_dir, variant.name)
                skipped = os.path.join(directory, "SKIPPED")
                if os.path.exists(skipped):
                    self.skipTest(f"{variant.name}: {_read(skipped).decode().strip()}")
                problems = probe_class_check.problems_of(_read(os.path.join(directory, "classes",
                                                                            "QvxVersion.class")))
                self.assertTrue(any(variant.expected_problem in problem for problem in problems),
                                f"expected {variant.expected_problem!r} among {problems}")

    def test_damaged_copies_are_rejected(self):
        for corruption in CORRUPTIONS:
            with self.subTest(corruption=corruption.name):
                problems = probe_class_check.problems_of(corruption.damage(self.probe))
                self.assertTrue(any(corruption.expected_problem in problem for problem in problems),
                                f"expected {corruption.expected_problem!r} among {problems}")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
