#!/usr/bin/env python3
"""The PE resource reader finds exactly the resource asked for, in a fixture built
by the cross toolchain with the probe class as JAVACLASS 105 beside decoys that
share its type or its id.

Environment: PE_FIXTURE (the fixture executable), PROBE_CLASS_FILE.
"""

import os
import sys
import unittest
from dataclasses import dataclass

import pe_resources

# Written by CMakeLists.txt into the fixture's resources next to the probe class.
DECOY_SAME_TYPE = b"decoy: JAVACLASS 106"
DECOY_SAME_ID = b"decoy: OTHERTYPE 105"
DECOY_NUMBERED_TYPE = b"decoy: RCDATA 105"
RT_RCDATA = 10


@dataclass(frozen=True)
class Lookup:
    name: str
    resource_type: object
    resource_id: object
    expected: object  # list of bytes, or the name of the environment's file to read


LOOKUPS = [
    Lookup("the probe class", "JAVACLASS", 105, "PROBE_CLASS_FILE"),
    Lookup("same type, other id", "JAVACLASS", 106, [DECOY_SAME_TYPE]),
    Lookup("same id, other type", "OTHERTYPE", 105, [DECOY_SAME_ID]),
    Lookup("absent id", "JAVACLASS", 107, []),
    Lookup("type names are stored in upper case", "JavaClass", 105, []),
    Lookup("numbered type with the same id", RT_RCDATA, 105, [DECOY_NUMBERED_TYPE]),
]


def _read(path):
    with open(path, "rb") as source:
        return source.read()


class PeResourceReader(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.image = _read(os.environ["PE_FIXTURE"])

    def test_finds_exactly_the_resource_asked_for(self):
        for lookup in LOOKUPS:
            with self.subTest(lookup=lookup.name):
                expected = lookup.expected
                if isinstance(expected, str):
                    expected = [_read(os.environ[expected])]
                self.assertEqual(pe_resources.read_resource(self.image, lookup.resource_type, lookup.resource_id),
                                 expected)

    def test_rejects_what_is_not_a_pe_image(self):
        damaged = {
            "no MZ header": b"ZM" + self.image[2:],
            "cut inside the headers": self.image[:0x90],
            "cut before the resources": self.image[:len(self.image) // 4],
        }
        for name, data in damaged.items():
            with self.subTest(damage=name):
                with self.assertRaises(pe_resources.PeFormatError):
                    pe_resources.read_resource(data, "JAVACLASS", 105)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
