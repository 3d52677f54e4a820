"""Launcher files with hand-written payloads, built byte by byte from the format
(prefix, name, NUL, reserved word, length, data; then the four-byte trailer), so
that the tests do not lean on the payload code they check."""

import struct

PREFIX = b"qvx"


def text(value):
    """A record text: the characters and a NUL."""
    return value.encode("latin-1") + b"\0"


def record(name, data, reserved=0, prefix=PREFIX, length=None):
    """One record; length overrides the stored data length (for broken records)."""
    stored = len(data) if length is None else length
    return prefix + name.encode("latin-1") + b"\0" + struct.pack("<II", reserved, stored) + data


def launcher(stub, records, trailer=None):
    """The stub's bytes, the records, and a trailer (by default the stub's size)."""
    body = stub + b"".join(records)
    return body + struct.pack("<I", len(stub) if trailer is None else trailer)


def shipped_records(requirement="1.1:A:A", address="http://kitebay.example/getjava",
                    installer=b"\xca\xfe\xba\xbe demo installer bytes"):
    return [record("CommandLine", text(requirement)), record("URL", text(address)),
            record("setup.class", installer)]


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path
