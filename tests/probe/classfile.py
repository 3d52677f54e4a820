"""Reads a Java class file into the parts the probe check looks at.

Only what the check needs: the version, the constant pool, the class's own
declarations, and for each method the constants its code refers to and the catch
types of its exception table. Everything else (line tables, source file) is
skipped by length, so newer class files read just as well and can be rejected
for what they contain rather than for failing to parse.
"""

import struct
from dataclasses import dataclass, field

UTF8, INTEGER, FLOAT, LONG, DOUBLE = 1, 3, 4, 5, 6
CLASS, STRING, FIELDREF, METHODREF, INTERFACE_METHODREF, NAME_AND_TYPE = 7, 8, 9, 10, 11, 12
METHOD_HANDLE, METHOD_TYPE, DYNAMIC, INVOKE_DYNAMIC, MODULE, PACKAGE = 15, 16, 17, 18, 19, 20

# Constant kinds a VM of the 1.0 generation knows; later tags came with format 51 and up.
ORIGINAL_TAGS = {UTF8, INTEGER, FLOAT, LONG, DOUBLE, CLASS, STRING, FIELDREF, METHODREF,
                 INTERFACE_METHODREF, NAME_AND_TYPE}

# Size of every constant kind after its tag byte; Utf8 is the one of variable size.
_FIXED_CONSTANT_SIZE = {INTEGER: 4, FLOAT: 4, LONG: 8, DOUBLE: 8, CLASS: 2, STRING: 2,
                        FIELDREF: 4, METHODREF: 4, INTERFACE_METHODREF: 4, NAME_AND_TYPE: 4,
                        METHOD_HANDLE: 3, METHOD_TYPE: 2, DYNAMIC: 4, INVOKE_DYNAMIC: 4,
                        MODULE: 2, PACKAGE: 2}

# Opcodes whose two-byte operand is a constant pool index, and ldc's one-byte form.
_POOL_INDEX_U2 = {0x13, 0x14, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA,
                  0xBB, 0xBD, 0xC0, 0xC1, 0xC5}
LDC, SIPUSH, BIPUSH, WIDE, TABLESWITCH, LOOKUPSWITCH = 0x12, 0x11, 0x10, 0xC4, 0xAA, 0xAB
INVOKEDYNAMIC = 0xBA

# Length of each fixed-size instruction, operands included; the switches and wide
# are measured where they occur.
_INSTRUCTION_LENGTH = {}
for _op in range(0x00, 0x10):
    _INSTRUCTION_LENGTH[_op] = 1
_INSTRUCTION_LENGTH.update({0x10: 2, 0x11: 3, 0x12: 2, 0x13: 3, 0x14: 3})
for _op in range(0x15, 0x1A):
    _INSTRUCTION_LENGTH[_op] = 2
for _op in range(0x1A, 0x36):
    _INSTRUCTION_LENGTH[_op] = 1
for _op in range(0x36, 0x3B):
    _INSTRUCTION_LENGTH[_op] = 2
for _op in range(0x3B, 0x84):
    _INSTRUCTION_LENGTH[_op] = 1
_INSTRUCTION_LENGTH[0x84] = 3
for _op in range(0x85, 0x99):
    _INSTRUCTION_LENGTH[_op] = 1
for _op in range(0x99, 0xA9):
    _INSTRUCTION_LENGTH[_op] = 3
_INSTRUCTION_LENGTH.update({0xA9: 2})
for _op in range(0xAC, 0xB2):
    _INSTRUCTION_LENGTH[_op] = 1
for _op in range(0xB2, 0xB9):
    _INSTRUCTION_LENGTH[_op] = 3
_INSTRUCTION_LENGTH.update({0xB9: 5, 0xBA: 5, 0xBB: 3, 0xBC: 2, 0xBD: 3, 0xBE: 1, 0xBF: 1,
                            0xC0: 3, 0xC1: 3, 0xC2: 1, 0xC3: 1, 0xC5: 4, 0xC6: 3, 0xC7: 3,
                            0xC8: 5, 0xC9: 5})


class ClassFormatError(Exception):
    """The bytes are not a well-formed class file."""


@dataclass
class Constant:
    tag: int
    # Utf8: the decoded text; Integer/Float/Long/Double: the raw number;
    # every other kind: the tuple of pool indices it refers to.
    value: object


@dataclass
class Instruction:
    offset: int
    opcode: int
    pool_index: int = 0  # 0 when the instruction names no constant
    immediate: int = None  # the value pushed by bipush or sipush


@dataclass
class Code:
    instructions: list
    catch_types: list  # pool indices, 0 for a handler that catches everything


@dataclass
class Member:
    access: int
    name: str
    descriptor: str
    attribute_names: list
    code: Code = None


@dataclass
class ClassFile:
    minor: int
    major: int
    pool: list  # index 0 and the slot after a Long or Double hold None
    access: int
    this_class: str
    super_class: str
    interfaces: list
    fields: list
    methods: list
    attribute_names: list = field(default_factory=list)

    def utf8(self, index):
        return _utf8_at(self.pool, index)

    def class_name(self, index):
        return _class_name_at(self.pool, index)

    def member_ref(self, index):
        """(class, name, descriptor) of a Fieldref, Methodref or InterfaceMethodref."""
        constant = _constant_at(self.pool, index)
        if constant.tag not in (FIELDREF, METHODREF, INTERFACE_METHODREF):
            raise ClassFormatError(f"constant #{index} is not a field or method reference")
        class_index, name_and_type_index = constant.value
        name_and_type = _constant_at(self.pool, name_and_type_index)
        if name_and_type.tag != NAME_AND_TYPE:
            raise ClassFormatError(f"constant #{name_and_type_index} is not a NameAndType")
        name_index, descriptor_index = name_and_type.value
        return (self.class_name(class_index), self.utf8(name_index), self.utf8(descriptor_index))


class _Reader:
    def __init__(self, data):
        self.data = data
        self.position = 0

    def take(self, count):
        if self.position + count > len(self.data):
            raise ClassFormatError(f"truncated at byte {self.position}: {count} more expected")
        chunk = self.data[self.position:self.position + count]
        self.position += count
        return chunk

    def u1(self):
        return self.take(1)[0]

    def u2(self):
        return struct.unpack(">H", self.take(2))[0]

    def u4(self):
        return struct.unpack(">I", self.take(4))[0]


def _constant_at(pool, index):
    if not 0 < index < len(pool) or pool[index] is None:
        raise ClassFormatError(f"constant pool index #{index} is out of range or unusable")
    return pool[index]


def _utf8_at(pool, index):
    constant = _constant_at(pool, index)
    if constant.tag != UTF8:
        raise ClassFormatError(f"constant #{index} is not a Utf8")
    return constant.value


def _class_name_at(pool, index):
    constant = _constant_at(pool, index)
    if constant.tag != CLASS:
        raise ClassFormatError(f"constant #{index} is not a Class")
    return _utf8_at(pool, constant.value[0])


def _decode_modified_utf8(raw):
    # Class files encode NUL as two bytes and supplementary characters as surrogate
    # pairs; the surrogatepass round trip reads both without rejecting them.
    return raw.replace(b"\xc0\x80", b"\x00").decode("utf-8", errors="surrogatepass")


def _read_pool(reader):
    count = reader.u2()
    pool = [None] * max(count, 1)
    index = 1
    while index < count:
        tag = reader.u1()
        if tag == UTF8:
            pool[index] = Constant(tag, _decode_modified_utf8(reader.take(reader.u2())))
        elif tag in (INTEGER, FLOAT):
            pool[index] = Constant(tag, struct.unpack(">i", reader.take(4))[0])
        elif tag in (LONG, DOUBLE):
            pool[index] = Constant(tag, struct.unpack(">q", reader.take(8))[0])
            index += 1  # a long or double takes two slots
        elif tag == METHOD_HANDLE:
            kind = reader.u1()
            pool[index] = Constant(tag, (kind, reader.u2()))
        elif tag in _FIXED_CONSTANT_SIZE:
            size = _FIXED_CONSTANT_SIZE[tag]
            pool[index] = Constant(tag, struct.unpack(">" + "H" * (size // 2), reader.take(size)))
        else:
            raise ClassFormatError(f"constant #{index} has unknown tag {tag}")
        index += 1
    return pool


def _read_instructions(code_bytes):
    instructions = []
    position = 0
    while position < len(code_bytes):
        opcode = code_bytes[position]
        instruction = Instruction(position, opcode)
        if opcode in (TABLESWITCH, LOOKUPSWITCH):
            operands = (position + 4) & ~3  # operands start at the next multiple of four
            if operands + (12 if opcode == TABLESWITCH else 8) > len(code_bytes):
                raise ClassFormatError(f"switch at {position} runs past the code")
            if opcode == TABLESWITCH:
                low, high = struct.unpack(">ii", code_bytes[operands + 4:operands + 12])
                length = operands + 12 + 4 * (high - low + 1) - position
            else:
                (pairs,) = struct.unpack(">i", code_bytes[operands + 4:operands + 8])
                length = operands + 8 + 8 * pairs - position
        elif opcode == WIDE:
            if position + 1 >= len(code_bytes):
                raise ClassFormatError(f"wide at {position} has no instruction to widen")
            length = 6 if code_bytes[position + 1] == 0x84 else 4
        elif opcode in _INSTRUCTION_LENGTH:
            length = _INSTRUCTION_LENGTH[opcode]
        else:
            raise ClassFormatError(f"opcode 0x{opcode:02x} at {position} is not a JVM instruction")
        if length <= 0 or position + length > len(code_bytes):
            raise ClassFormatError(f"instruction 0x{opcode:02x} at {position} runs past the code")
        if opcode == LDC:
            instruction.pool_index = code_bytes[position + 1]
        elif opcode in _POOL_INDEX_U2:
            instruction.pool_index = struct.unpack(">H", code_bytes[position + 1:position + 3])[0]
        elif opcode == BIPUSH:
            instruction.immediate = struct.unpack(">b", code_bytes[position + 1:position + 2])[0]
        elif opcode == SIPUSH:
            instruction.immediate = struct.unpack(">h", code_bytes[position + 1:position + 3])[0]
        instructions.append(instruction)
        position += length
    return instructions


def _read_code(attribute_bytes):
    reader = _Reader(attribute_bytes)
    reader.u2()  # max_stack
    reader.u2()  # max_locals
    instructions = _read_instructions(reader.take(reader.u4()))
    catch_types = []
    for _ in range(reader.u2()):
        reader.take(6)  # start, end and handler offsets
        catch_types.append(reader.u2())
    return Code(instructions, catch_types)


def _read_attributes(reader, pool):
    """Returns the attribute names and the parsed Code attribute, if any."""
    names = []
    code = None
    for _ in range(reader.u2()):
        name = _utf8_at(pool, reader.u2())
        body = reader.take(reader.u4())
        names.append(name)
        if name == "Code":
            code = _read_code(body)
    return names, code


def _read_members(reader, pool):
    members = []
    for _ in range(reader.u2()):
        access = reader.u2()
        name = _utf8_at(pool, reader.u2())
        descriptor = _utf8_at(pool, reader.u2())
        attribute_names, code = _read_attributes(reader, pool)
        members.append(Member(access, name, descriptor, attribute_names, code))
    return members


def parse(data):
    """Parses a whole class file; raises ClassFormatError for malformed input."""
    reader = _Reader(bytes(data))
    if reader.u4() != 0xCAFEBABE:
        raise ClassFormatError("not a class file (magic number is not CAFEBABE)")
    minor = reader.u2()
    major = reader.u2()
    pool = _read_pool(reader)
    access = reader.u2()
    this_class = _class_name_at(pool, reader.u2())
    super_index = reader.u2()
    super_class = _class_name_at(pool, super_index) if super_index else None
    interfaces = [_class_name_at(pool, reader.u2()) for _ in range(reader.u2())]
    fields = _read_members(reader, pool)
    methods = _read_members(reader, pool)
    attribute_names, _ = _read_attributes(reader, pool)
    if reader.position != len(reader.data):
        raise ClassFormatError(f"{len(reader.data) - reader.position} bytes after the class file's end")
    return ClassFile(minor, major, pool, access, this_class, super_class, interfaces, fields,
                     methods, attribute_names)
