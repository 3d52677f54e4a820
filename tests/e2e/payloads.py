"""Launcher files with hand-written payloads, built byte by byte from the format
(prefix, name, NUL, reserved word, length, data; then the four-byte trailer), so
that the tests do not lean on the payload code they check; and Authenticode
signatures made with a throw-away certificate, to put launchers in the state
their users ship them in."""

import os
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "probe"))
import pe_resources  # noqa: E402

PREFIX = b"qvx"


def text(value):
    """A record text: the characters and a NUL."""
    return value.encode("latin-1") + b"\0"


def record(name, data, reserved=0, prefix=PREFIX, length=None):
    """One record; length overrides the stored data length (for broken records)."""
    stored = len(data) if length is None else length
    return prefix + name.encode("latin-1") + b"\0" + struct.pack("<II", reserved, stored) + data


def launcher(stub, records, trailer=None, align=1):
    """The stub's bytes, the records, zero bytes up to a multiple of align (radad-pack
    writes 8), and a trailer (by default the stub's size)."""
    body = stub + b"".join(records)
    body += b"\0" * (-(len(body) + 4) % align)
    return body + struct.pack("<I", len(stub) if trailer is None else trailer)


def record_data(image, name):
    """The data of the first record of that name in a launcher file."""
    at = image.index(PREFIX + name.encode("latin-1") + b"\0") + len(PREFIX) + len(name) + 1
    length = struct.unpack_from("<I", image, at + 4)[0]
    return image[at + 8:at + 8 + length]


def shipped_records(requirement="1.1:A:A", address="http://kitebay.example/getjava",
                    installer=b"\xca\xfe\xba\xbe demo installer bytes"):
    return [record("CommandLine", text(requirement)), record("URL", text(address)),
            record("setup.class", installer)]


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


# -- an author's installer ----------------------------------------------------

CONVERT = "/usr/bin/convert"  # /usr/local/bin/convert is a stand-in on the test machines
ICON_RGB = (0x20, 0x60, 0xC0)
AUTHOR = {"ProductName": "Kitebay \u03a9mega", "FileDescription": "Kitebay setup",
          "CompanyName": "Kitebay Ltd", "LegalCopyright": "\u00a9 2026 Kitebay Ltd",
          "ProductVersion": "2.1", "FileVersion": "2.1.0.7"}


def author_icon(folder):
    """An icon of one colour made by ImageMagick in 256 (PNG-compressed), 48, 32 and
    16 pixels; returns its path."""
    path = os.path.join(folder, "kitebay.ico")
    subprocess.run([CONVERT, "-size", "256x256", "xc:#%02X%02X%02X" % ICON_RGB, "-define",
                    "icon:auto-resize=256,48,32,16", path], check=True, timeout=60, stdin=subprocess.DEVNULL)
    return path


def author_options(icon):
    """radad-pack build's options for the author's icon, AUTHOR and requireAdministrator."""
    flags = {"ProductName": "--product-name", "FileDescription": "--description", "CompanyName": "--company",
             "LegalCopyright": "--copyright", "ProductVersion": "--product-version",
             "FileVersion": "--file-version"}
    options = ["--icon", icon, "--elevation", "requireAdministrator"]
    for key, flag in flags.items():
        options += [flag, AUTHOR[key]]
    return options


# -- Authenticode -------------------------------------------------------------


def _security_entry_at(image):
    """Offset of the security entry (the fifth) of the PE data directory."""
    return pe_resources.headers(image)[2] + 4 * 8


def security_entry(image):
    """(offset, size) of the certificate table as the PE headers give them."""
    return struct.unpack_from("<II", image, _security_entry_at(image))


def with_security_entry(image, offset, size):
    """The image with its security entry set to offset and size."""
    at = _security_entry_at(image)
    return image[:at] + struct.pack("<II", offset, size) + image[at + 8:]


class Signer:
    """A throw-away self-signed certificate made with openssl in folder, and
    osslsigncode to sign and verify with it."""

    def __init__(self, folder):
        self.key = os.path.join(folder, "signer-key.pem")
        self.cert = os.path.join(folder, "signer-cert.pem")
        self._run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", self.key,
                   "-out", self.cert, "-days", "2", "-subj", "/CN=Kitebay test signer"])

    @staticmethod
    def _run(args, check=True):
        result = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True, timeout=120)
        if check and result.returncode != 0:
            raise AssertionError("%s failed (%d):\n%s" % (" ".join(args), result.returncode, result.stdout))
        return result

    def sign(self, unsigned, signed):
        """Writes signed, the file unsigned with an Authenticode signature; returns its path."""
        self._run(["osslsigncode", "sign", "-certs", self.cert, "-key", self.key, "-in", unsigned,
                   "-out", signed])
        return signed

    def verify(self, path):
        """osslsigncode's verdict on path against the certificate: (exit code, output)."""
        result = self._run(["osslsigncode", "verify", "-CAfile", self.cert, path], check=False)
        return result.returncode, result.stdout
