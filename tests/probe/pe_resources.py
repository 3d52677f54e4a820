"""Reads one resource's bytes out of a Windows PE file, without Windows, and the
headers that other checks want (the machine, PE32 or PE32+, the data directory).

Resources sit in a three-level directory (type, then name or id, then language)
inside the section that holds the resource data directory; the data entries at the
bottom give relative virtual addresses, which the section table maps back to file
offsets.
"""

import struct

_RESOURCE_DIRECTORY_INDEX = 2
_SUBDIRECTORY_FLAG = 0x80000000
_NAME_IS_STRING_FLAG = 0x80000000


class PeFormatError(Exception):
    """The file is not a PE image this reader understands."""


def _unpack(data, fmt, offset):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise PeFormatError(f"truncated: {size} bytes wanted at offset {offset}")
    return struct.unpack_from(fmt, data, offset)


class _Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeFormatError("no MZ header")
        (pe_offset,) = _unpack(data, "<I", 0x3C)
        if _unpack(data, "<4s", pe_offset)[0] != b"PE\0\0":
            raise PeFormatError("no PE signature")
        self.machine, section_count, _, _, _, optional_size, _ = _unpack(data, "<HHIIIHH", pe_offset + 4)
        optional = pe_offset + 24
        (self.magic,) = _unpack(data, "<H", optional)
        # The data directories follow the fixed part of the optional header, which is
        # 96 bytes in PE32 images and 112 in PE32+ ones.
        directories = optional + {0x10B: 96, 0x20B: 112}.get(self.magic, -1)
        if directories < optional:
            raise PeFormatError(f"unknown optional header magic 0x{self.magic:x}")
        self.directories = directories
        (directory_count,) = _unpack(data, "<I", directories - 4)
        if directory_count <= _RESOURCE_DIRECTORY_INDEX:
            raise PeFormatError("no resource data directory")
        self.resource_rva, self.resource_size = _unpack(data, "<II", directories + 8 * _RESOURCE_DIRECTORY_INDEX)
        self.sections = []
        for index in range(section_count):
            entry = optional + optional_size + 40 * index
            _, virtual_size, virtual_address, raw_size, raw_offset = _unpack(data, "<8sIIII", entry)
            self.sections.append((virtual_address, max(virtual_size, raw_size), raw_offset, raw_size))

    def offset_of(self, rva, length):
        for virtual_address, span, raw_offset, raw_size in self.sections:
            if virtual_address <= rva and rva + length <= virtual_address + span:
                inside = rva - virtual_address
                if inside + length > raw_size:
                    raise PeFormatError(f"RVA 0x{rva:x} lies in a section's uninitialised tail")
                return raw_offset + inside
        raise PeFormatError(f"RVA 0x{rva:x} (+{length}) lies in no section")


def headers(data):
    """(machine, optional header magic, file offset of the data directory) of a PE image."""
    image = _Image(bytes(data))
    return image.machine, image.magic, image.directories


def resource_section(data):
    """The bytes of the section that holds the resource directory, from the
    directory's start to the end of the section's data in the file."""
    image = _Image(bytes(data))
    start = image.offset_of(image.resource_rva, 16)
    for virtual_address, span, raw_offset, raw_size in image.sections:
        if raw_offset <= start < raw_offset + raw_size:
            return image.data[start:raw_offset + raw_size]
    raise PeFormatError("the resource directory lies in no section's data")


def _entries(image, base, directory_offset):
    """Yields (name, target offset relative to base, is_subdirectory) for one directory."""
    _, _, _, _, named, numbered = _unpack(image.data, "<IIHHHH", base + directory_offset)
    for index in range(named + numbered):
        name_field, target = _unpack(image.data, "<II", base + directory_offset + 16 + 8 * index)
        if name_field & _NAME_IS_STRING_FLAG:
            string_offset = base + (name_field & ~_NAME_IS_STRING_FLAG)
            (length,) = _unpack(image.data, "<H", string_offset)
            raw = image.data[string_offset + 2:string_offset + 2 + 2 * length]
            if len(raw) != 2 * length:
                raise PeFormatError("truncated resource name")
            name = raw.decode("utf-16-le")
        else:
            name = name_field & 0xFFFF
        yield name, target & ~_SUBDIRECTORY_FLAG, bool(target & _SUBDIRECTORY_FLAG)


def read_resource(data, resource_type, resource_id):
    """Returns the data of every language of resource (type, id), in directory order.

    resource_type and resource_id are each a number or a name; names are compared
    as stored, which resource compilers store in upper case.
    """
    image = _Image(bytes(data))
    if image.resource_size == 0:
        return []
    base = image.offset_of(image.resource_rva, 16)
    found = []
    for type_name, type_target, type_is_directory in _entries(image, base, 0):
        if type_name != resource_type or not type_is_directory:
            continue
        for name, name_target, name_is_directory in _entries(image, base, type_target):
            if name != resource_id or not name_is_directory:
                continue
            for _, language_target, language_is_directory in _entries(image, base, name_target):
                if language_is_directory:
                    raise PeFormatError("a fourth directory level, which PE resources do not have")
                data_rva, size, _, _ = _unpack(image.data, "<IIII", base + language_target)
                offset = image.offset_of(data_rva, size)
                found.append(image.data[offset:offset + size])
    return found
