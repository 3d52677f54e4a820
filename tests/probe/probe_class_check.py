#!/usr/bin/env python3
"""Decides whether a compiled QvxVersion.class can run on every VM the launcher serves.

No compiler guards this: ecj -1.3 writes the old format but compiles against the
build machine's class library, so a call that 1.0 VMs lack compiles cleanly and
only fails years later on a user's machine. This check reads the class file and
lists everything in it that a VM of the 1.0 generation could not load, or that
differs from what the launcher expects of the probe.

Usage: probe_class_check.py CLASSFILE   (exit status 0 when the class is fit)
"""

import sys

import classfile as cf

EXPECTED_VERSION = (45, 3)
CLASS_NAME = "QvxVersion"
ACC_PUBLIC, ACC_PRIVATE, ACC_STATIC, ACC_SUPER = 0x0001, 0x0002, 0x0008, 0x0020

# name -> (descriptor, access flags); nothing else may be declared.
EXPECTED_METHODS = {
    "<init>": ("()V", ACC_PUBLIC),
    "main": ("([Ljava/lang/String;)V", ACC_PUBLIC | ACC_STATIC),
    "bail": ("(Z)V", ACC_PUBLIC | ACC_STATIC),
    "number": ("(Ljava/lang/String;)I", ACC_PRIVATE | ACC_STATIC),
}

# What the 1.0 platform offers and the probe needs: nothing outside this list may
# be referenced, however harmless it looks on a modern VM.
ALLOWED_MEMBERS = {
    ("java/lang/Object", "<init>", "()V"),
    ("java/lang/String", "indexOf", "(I)I"),
    ("java/lang/String", "indexOf", "(II)I"),
    ("java/lang/String", "indexOf", "(Ljava/lang/String;)I"),
    ("java/lang/String", "indexOf", "(Ljava/lang/String;I)I"),
    ("java/lang/String", "substring", "(II)Ljava/lang/String;"),
    ("java/lang/String", "length", "()I"),
    ("java/lang/String", "startsWith", "(Ljava/lang/String;)Z"),
    ("java/lang/String", "equals", "(Ljava/lang/Object;)Z"),
    ("java/lang/System", "getProperty", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;"),
    ("java/lang/Class", "forName", "(Ljava/lang/String;)Ljava/lang/Class;"),
    ("java/lang/System", "out", "Ljava/io/PrintStream;"),
    ("java/io/PrintStream", "println", "(Ljava/lang/String;)V"),
    ("java/lang/System", "exit", "(I)V"),
}
ALLOWED_CATCH_TYPES = {"java/lang/Throwable"}
ALLOWED_CLASSES = ({owner for owner, _, _ in ALLOWED_MEMBERS} | ALLOWED_CATCH_TYPES | {CLASS_NAME})

# The class whose presence tells a 1.1 library from a 1.0 one: a reference to it as
# a class would make 1.0 VMs fail to link the probe instead of answering NO.
GENERATION_MARKER = "java.awt.event.ActionEvent"

EXPECTED_TEXTS = {"1.1", "1.0", "A", GENERATION_MARKER, "java.vendor", "os.name", "", "YES", "NO",
                  "1.", "java.specification.version", "0123456789", "java.version"}
EXPECTED_EXIT_STATUSES = {314, 159}

# invokedynamic; every other opcode up to 0xc9 was there from the start.
_LATER_OPCODES = {cf.INVOKEDYNAMIC}
_LAST_ORIGINAL_OPCODE = 0xC9


def _check_declaration(klass):
    problems = []
    if (klass.major, klass.minor) != EXPECTED_VERSION:
        problems.append(f"format {klass.major}.{klass.minor}, expected 45.3")
    if klass.this_class != CLASS_NAME:
        problems.append(f"class is named {klass.this_class}, expected {CLASS_NAME} in the default package")
    if klass.access & ~ACC_SUPER != ACC_PUBLIC:
        problems.append(f"class access flags 0x{klass.access:04x}, expected public and nothing more")
    if klass.super_class != "java/lang/Object":
        problems.append(f"superclass is {klass.super_class}, expected java/lang/Object")
    for interface in klass.interfaces:
        problems.append(f"implements {interface}, expected no interface")
    for extra in klass.fields:
        problems.append(f"declares field {extra.name} {extra.descriptor}, expected no fields")

    seen = set()
    for method in klass.methods:
        expected = EXPECTED_METHODS.get(method.name)
        seen.add(method.name)
        if expected is None:
            problems.append(f"declares method {method.name}{method.descriptor}, which is not part of the probe")
            continue
        descriptor, access = expected
        if method.descriptor != descriptor:
            problems.append(f"method {method.name} has descriptor {method.descriptor}, expected {descriptor}")
        if method.access != access:
            problems.append(f"method {method.name} has access flags 0x{method.access:04x}, expected 0x{access:04x}")
    if len(seen) != len(klass.methods):
        problems.append("declares a method name more than once")
    for missing in sorted(EXPECTED_METHODS.keys() - seen):
        problems.append(f"method {missing} is missing")
    return problems


def _element_class(name):
    """An array class is as old as its element type; a primitive array counts as Object's."""
    if not name.startswith("["):
        return name
    element = name.lstrip("[")
    return element[1:-1] if element.startswith("L") else "java/lang/Object"


def _describe_reference(klass, index):
    """Checks one constant that code or the pool refers to; returns a problem or None."""
    constant = klass.pool[index]
    if constant.tag == cf.CLASS:
        name = klass.class_name(index)
        if name.replace("/", ".") == GENERATION_MARKER:
            return f"{name} is referenced as a class; it may only appear as a text"
        if _element_class(name) not in ALLOWED_CLASSES:
            return f"class {name} is not in the 1.0 allow-list"
        return None
    if constant.tag in (cf.FIELDREF, cf.METHODREF, cf.INTERFACE_METHODREF):
        owner, name, descriptor = klass.member_ref(index)
        if owner == CLASS_NAME:
            declared = EXPECTED_METHODS.get(name)
            if declared is None or declared[0] != descriptor:
                return f"refers to {owner}.{name}{descriptor}, which the probe does not declare"
            return None
        if (owner, name, descriptor) not in ALLOWED_MEMBERS:
            return f"{owner}.{name}{descriptor} is not in the 1.0 allow-list"
        return None
    return None


def _check_references(klass):
    problems = []
    strings, statuses = set(), set()
    for method in klass.methods:
        if method.code is None:
            continue
        for instruction in method.code.instructions:
            if instruction.opcode in _LATER_OPCODES or instruction.opcode > _LAST_ORIGINAL_OPCODE:
                problems.append(f"{method.name} uses opcode 0x{instruction.opcode:02x}, unknown to 1.0 VMs")
            if instruction.immediate is not None:
                statuses.add(instruction.immediate)
            if instruction.pool_index:
                constant = klass.pool[instruction.pool_index]
                if constant.tag == cf.STRING:
                    strings.add(klass.utf8(constant.value[0]))
                elif constant.tag == cf.INTEGER:
                    statuses.add(constant.value)
                problem = _describe_reference(klass, instruction.pool_index)
                if problem:
                    problems.append(f"{method.name}: {problem}")
        for catch_index in method.code.catch_types:
            if catch_index == 0:
                continue
            catch_type = klass.class_name(catch_index)
            if catch_type not in ALLOWED_CATCH_TYPES:
                problems.append(f"{method.name} catches {catch_type}; only Throwable catches every failure "
                                f"of loading {GENERATION_MARKER}")

    # Constants no instruction uses can still make an old VM reject the class.
    for index, constant in enumerate(klass.pool):
        if constant is None:
            continue
        if constant.tag not in cf.ORIGINAL_TAGS:
            problems.append(f"constant #{index} has tag {constant.tag}, unknown to 1.0 VMs")
            continue
        problem = _describe_reference(klass, index)
        if problem and not any(problem in reported for reported in problems):
            problems.append(problem)

    for missing in sorted(EXPECTED_TEXTS - strings):
        problems.append(f"text {missing!r} is never used")
    for extra in sorted(strings - EXPECTED_TEXTS):
        problems.append(f"text {extra!r} is not one of the probe's texts")
    for missing in sorted(EXPECTED_EXIT_STATUSES - statuses):
        problems.append(f"exit status {missing} is never pushed")
    return problems


def _check_marker_only_as_text(klass):
    # A descriptor or a class constant naming the marker would make the VM resolve it.
    text_indices = {c.value[0] for c in klass.pool if c is not None and c.tag == cf.STRING}
    problems = []
    for index, constant in enumerate(klass.pool):
        if constant is None or constant.tag != cf.UTF8 or "ActionEvent" not in constant.value:
            continue
        if index not in text_indices or constant.value != GENERATION_MARKER:
            problems.append(f"ActionEvent appears as {constant.value!r} outside the text {GENERATION_MARKER!r}")
    return problems


def problems_of(data):
    """Returns the list of reasons why these class-file bytes are unfit; empty when fit."""
    try:
        klass = cf.parse(data)
        return _check_declaration(klass) + _check_references(klass) + _check_marker_only_as_text(klass)
    except cf.ClassFormatError as error:
        return [f"unreadable class file: {error}"]


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    with open(argv[1], "rb") as source:
        problems = problems_of(source.read())
    for problem in problems:
        print(f"{argv[1]}: {problem}")
    if not problems:
        print(f"{argv[1]}: format 45.3, declarations, references and texts as expected")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
