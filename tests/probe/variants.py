#!/usr/bin/env python3
"""Builds class files the probe check must reject, each from the real probe source.

Every variant is the shipped QvxVersion.java with one change (or none, compiled by
a newer compiler), so the rejection cases follow the source as it evolves. A
change whose original text is no longer in the source fails the build loudly
rather than quietly testing nothing.

Usage: variants.py SOURCE OUTDIR --ecj ECJ [--javac JAVAC]
writes OUTDIR/<variant>/QvxVersion.class (or OUTDIR/<variant>/SKIPPED with the
reason when the variant's compiler is missing).
"""

import argparse
import os
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass

ECJ_1_3 = "ecj -1.3"
ECJ_1_8 = "ecj -1.8"
JAVAC_8 = "javac --release 8"


@dataclass(frozen=True)
class Variant:
    name: str
    compiler: str
    original: str  # text of the real source to replace; empty for an unchanged copy
    replacement: str
    expected_problem: str  # what the check must say about the result


VARIANTS = [
    Variant(name="javac-release-8", compiler=JAVAC_8, original="", replacement="",
            expected_problem="format 52.0, expected 45.3"),
    Variant(name="ecj-1.8", compiler=ECJ_1_8, original="", replacement="",
            expected_problem="format 52.0, expected 45.3"),
    Variant(name="calls-string-isempty", compiler=ECJ_1_3,
            original='!vendor.equals("A")', replacement="!vendor.isEmpty()",
            expected_problem="java/lang/String.isEmpty()Z is not in the 1.0 allow-list"),
    Variant(name="property-without-default", compiler=ECJ_1_3,
            original='System.getProperty("os.name", "")', replacement='System.getProperty("os.name")',
            expected_problem="java/lang/System.getProperty(Ljava/lang/String;)Ljava/lang/String; "
                             "is not in the 1.0 allow-list"),
    Variant(name="marker-as-class", compiler=ECJ_1_3,
            original='Class.forName("java.awt.event.ActionEvent");',
            replacement="new java.awt.event.ActionEvent(args, 0, null);",
            expected_problem="java/awt/event/ActionEvent is referenced as a class"),
    Variant(name="catches-exception-only", compiler=ECJ_1_3,
            original="catch (Throwable notThere)", replacement="catch (Exception notThere)",
            expected_problem="catches java/lang/Exception"),
    Variant(name="string-concatenation", compiler=ECJ_1_3,
            original='System.out.println(qualified ? "YES" : "NO");',
            replacement='System.out.println((qualified ? "YES" : "NO") + qualified);',
            expected_problem="java/lang/StringBuffer"),
    Variant(name="extra-field", compiler=ECJ_1_3,
            original="public class QvxVersion {", replacement="public class QvxVersion {\n    static int tries;",
            expected_problem="declares field tries I, expected no fields"),
    Variant(name="package-private-bail", compiler=ECJ_1_3,
            original="public static void bail(", replacement="static void bail(",
            expected_problem="method bail has access flags 0x0008, expected 0x0009"),
    Variant(name="other-exit-status", compiler=ECJ_1_3,
            original="System.exit(qualified ? 314 : 159);", replacement="System.exit(qualified ? 315 : 159);",
            expected_problem="exit status 314 is never pushed"),
]


def _compile_command(variant, tools, source, classes):
    if variant.compiler == JAVAC_8:
        return [tools["javac"], "--release", "8", "-nowarn", "-d", classes, source] if tools["javac"] else None
    level = "-1.3" if variant.compiler == ECJ_1_3 else "-1.8"
    return [tools["ecj"], level, "-proc:none", "-nowarn", "-d", classes, source]


def _build(variant, original_source, outdir, tools):
    directory = os.path.join(outdir, variant.name)
    classes = os.path.join(directory, "classes")
    os.makedirs(classes, exist_ok=True)
    skipped = os.path.join(directory, "SKIPPED")
    if os.path.exists(skipped):
        os.remove(skipped)

    if variant.original and variant.original not in original_source:
        return f"{variant.name}: the text {variant.original!r} is no longer in the probe source; update the variant"
    text = original_source.replace(variant.original, variant.replacement, 1) if variant.original else original_source
    source = os.path.join(directory, "QvxVersion.java")
    with open(source, "w") as out:
        out.write(text)

    command = _compile_command(variant, tools, source, classes)
    if command is None:
        with open(skipped, "w") as out:
            out.write(f"{variant.compiler} is not installed (Debian package openjdk-17-jdk-headless)\n")
        return None
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0 or not os.path.exists(os.path.join(classes, "QvxVersion.class")):
        return f"{variant.name}: {' '.join(command)} failed:\n{result.stdout}{result.stderr}"
    return None


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.strip().splitlines()[0])
    parser.add_argument("source")
    parser.add_argument("outdir")
    parser.add_argument("--ecj", required=True)
    parser.add_argument("--javac", default="")
    arguments = parser.parse_args(argv[1:])
    with open(arguments.source) as source:
        original_source = source.read()
    tools = {"ecj": arguments.ecj, "javac": arguments.javac}
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        failures = [f for f in pool.map(lambda v: _build(v, original_source, arguments.outdir, tools), VARIANTS) if f]
    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
