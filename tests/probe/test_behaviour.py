#!/usr/bin/env python3
"""The probe's answers under the build machine's JVM, run as the launcher runs it:
java -cp DIR QvxVersion ARGS, each case once as it is and once with -Xverify:all.

Environment: JAVA (the java executable), PROBE_CLASS_FILE (the compiled probe),
PROPERTY_AGENT_JAR (the agent that sets or removes system properties).

What can be controlled on JDK 17: os.name follows -Dos.name; java.vendor and
the platform version ignore -D (they stay the JDK's own, "17" for the latter),
so those cases set them from a Java agent before main runs, which is
also how a case takes a property away. A 1.0
class library is stood in for by --limit-modules java.base, which leaves
java.awt.event.ActionEvent out of reach of Class.forName.

Linux hands a parent only the low 8 bits of an exit status, so the 314 of a YES
arrives as 58; a Windows VM would deliver 314 itself. The cases assert what this
platform can deliver.
"""

import os
import subprocess
import sys
import unittest
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass

YES_STATUS = 314 & 0xFF
NO_STATUS = 159

KEEP = object()  # leave the JVM's own value of a property
REMOVED = None  # take the property away before main runs

WITHOUT_DESKTOP = ("--limit-modules", "java.base")
VERIFY_ALL = ("-Xverify:all",)


@dataclass(frozen=True)
class Case:
    name: str
    args: tuple
    answer: str
    vendor: object = KEEP
    os_name: object = KEEP
    platform: object = KEEP  # the platform version, "17" on this JVM
    jvm_options: tuple = ()


CASES = [
    Case("no arguments", (), "NO"),
    Case("1.1 on a library with ActionEvent", ("1.1:A:A",), "YES"),
    Case("1.1 on a library without ActionEvent", ("1.1:A:A",), "NO", jvm_options=WITHOUT_DESKTOP),
    Case("1.1.8 counts as 1.1", ("1.1.8:A:A",), "YES"),
    Case("1.0 on any library", ("1.0:A:A",), "YES"),
    Case("1.0 on a library without ActionEvent", ("1.0:A:A",), "YES", jvm_options=WITHOUT_DESKTOP),
    Case("version beginning with A", ("Any:A:A",), "YES"),
    Case("all wildcards", ("A:A:A",), "YES"),
    Case("1.2 never matches", ("1.2:A:A",), "NO"),
    Case("version wildcard is upper case only", ("any:A:A",), "NO"),
    Case("only the second alternative matches", ("1.2:A:A", "1.0:A:A"), "YES"),
    Case("unknown vendor then a plain 1.0", ("1.1:NoSuchVendor:Windows", "1.0:A:A"), "YES"),
    Case("both alternatives fail", ("1.2:A:A", "1.0:NoSuchVendor:A"), "NO"),

    Case("vendor prefix", ("1.0:Sun:A",), "YES", vendor="Sun Microsystems Inc."),
    Case("vendor prefix in the wrong case", ("1.0:sun:A",), "NO", vendor="Sun Microsystems Inc."),
    Case("vendor text longer than the match", ("1.0:Sunny:A",), "NO", vendor="Sun Microsystems Inc."),
    Case("lower-case a is not the vendor wildcard", ("1.0:a:A",), "NO", vendor="Sun Microsystems Inc."),
    Case("lower-case a is compared as a prefix", ("1.0:a:A",), "YES", vendor="acme"),
    Case("empty vendor field", ("1.0::A",), "YES"),
    Case("empty vendor field without the property", ("1.0::A",), "YES", vendor=REMOVED),
    Case("missing vendor property counts as empty", ("1.0:Sun:A",), "NO", vendor=REMOVED),

    Case("os prefix of Windows NT", ("1.0:A:Win",), "YES", os_name="Windows NT"),
    Case("os prefix of Windows 95", ("1.0:A:Windows",), "YES", os_name="Windows 95"),
    Case("os prefix in the wrong case", ("1.0:A:win",), "NO", os_name="Windows NT"),
    Case("os field keeps its colons", ("1.0:A:Win:32",), "YES", os_name="Win:32s"),
    Case("os field is compared after its colon too", ("1.0:A:Win:64",), "NO", os_name="Win:32s"),
    Case("empty os field", ("1.0:A:",), "YES"),
    Case("empty os field without the property", ("1.0:A:",), "YES", os_name=REMOVED),
    Case("missing os property counts as empty", ("1.0:A:Linux",), "NO", os_name=REMOVED),
    Case("all three fields matched", ("1.1:Sun:Windows",), "YES", vendor="Sun Microsystems Inc.",
         os_name="Windows NT"),
    Case("os fails where version and vendor match", ("1.1:Sun:Linux",), "NO", vendor="Sun Microsystems Inc.",
         os_name="Windows NT"),

    # An alternative without two colons is skipped like a failing one, so the
    # alternatives after it still count.
    Case("one colon only", ("1.0:A",), "NO"),
    Case("no colon", ("1.0",), "NO"),
    Case("empty argument", ("",), "NO"),
    Case("skipped, not ended: a later alternative still matches", ("1.0:A", "1.0:A:A"), "YES"),
    Case("skipped, not ended: no colon then a match", ("A", "A:A:A"), "YES"),

    # Today's forms, against the platform version.
    Case("N or later, met", ("8+:A:A",), "YES"),
    Case("N or later, not met", ("18+:A:A",), "NO"),
    Case("1.N+ is N+", ("1.8+:A:A",), "YES", platform="1.8"),
    Case("1.8 counts as 8", ("9+:A:A",), "NO", platform="1.8"),
    Case("range, met at its upper end", ("11-17:A:A",), "YES"),
    Case("range, above it", ("8-16:A:A",), "NO"),
    Case("no platform version meets no new form", ("0+:A:A", "0-9999:A:A"), "NO", platform=REMOVED),
    Case("no platform version, the old forms as before", ("1.1:A:A",), "YES", platform=REMOVED),
    Case("forms the probe does not know", ("1.9+:A:A", "17:A:A", "+:A:A", "17++:A:A", "00017+:A:A", "8-00017:A:A",
                                           "1.8-11:A:A", "17.0+:A:A", "17-11:A:A"), "NO"),
    Case("1.10+ is the 1.1 form: no ActionEvent, no VM", ("1.10+:A:A",), "NO", jvm_options=WITHOUT_DESKTOP),
]


def _child_environment():
    # Options from the environment make the JVM print "Picked up ..." and could
    # change what it loads; the probe must be run bare.
    environment = dict(os.environ)
    for variable in ("JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS", "JDK_JAVA_OPTIONS", "CLASSPATH"):
        environment.pop(variable, None)
    return environment


class ProbeBehaviour(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.java = os.environ["JAVA"]
        cls.class_dir = os.path.dirname(os.environ["PROBE_CLASS_FILE"])
        cls.agent = os.environ["PROPERTY_AGENT_JAR"]
        cls.environment = _child_environment()
        cls.machine = cls._machine_properties()

    @classmethod
    def _machine_properties(cls):
        result = subprocess.run([cls.java, "-XshowSettings:properties", "-version"], capture_output=True,
                                text=True, env=cls.environment, check=True)
        properties = {}
        for line in result.stderr.splitlines():
            name, separator, value = line.strip().partition(" = ")
            if separator:
                properties[name] = value
        return properties

    def _command(self, case, extra_options):
        command = [self.java, *extra_options, *case.jvm_options]
        if case.vendor is not KEEP:
            command.append(f"-javaagent:{self.agent}=java.vendor" + ("" if case.vendor is REMOVED else
                                                                     f"={case.vendor}"))
        if case.platform is not KEEP:
            command.append(f"-javaagent:{self.agent}=java.specification.version" +
                           ("" if case.platform is REMOVED else f"={case.platform}"))
        if case.os_name is REMOVED:
            command.append(f"-javaagent:{self.agent}=os.name")
        elif case.os_name is not KEEP:
            command.append(f"-Dos.name={case.os_name}")
        return command + ["-cp", self.class_dir, "QvxVersion", *case.args]

    def _run_all(self, cases, extra_options):
        def run(case):
            return subprocess.run(self._command(case, extra_options), capture_output=True, text=True,
                                  env=self.environment, timeout=60)

        with ThreadPoolExecutor(max_workers=max(2, os.cpu_count() or 2)) as pool:
            return list(pool.map(run, cases))

    def _assert_answers(self, cases, extra_options):
        for case, result in zip(cases, self._run_all(cases, extra_options)):
            with self.subTest(case=case.name, options=" ".join(extra_options), args=case.args):
                expected_status = YES_STATUS if case.answer == "YES" else NO_STATUS
                self.assertEqual(result.stdout, case.answer + "\n" + self.machine["java.version"] + "\n",
                                 f"stderr: {result.stderr}")
                self.assertEqual(result.returncode, expected_status)

    def _machine_cases(self):
        # The JDK's own vendor and os name, which cannot be faked with -D for the vendor.
        vendor = self.machine["java.vendor"]
        os_name = self.machine["os.name"]
        self.assertTrue(vendor and os_name, "the JVM reported no java.vendor or os.name")
        return [
            Case("prefix of the JVM's own vendor", (f"1.0:{vendor[:3]}:A",), "YES"),
            Case("the JVM's own vendor in swapped case", (f"1.0:{vendor[:3].swapcase()}:A",), "NO"),
            Case("prefix of the JVM's own os name", (f"1.0:A:{os_name[:3]}",), "YES"),
            Case("the JVM's own os name in swapped case", (f"1.0:A:{os_name[:3].swapcase()}",), "NO"),
        ]

    def test_answers_as_run_by_the_launcher(self):
        self._assert_answers(CASES + self._machine_cases(), ())

    def test_answers_with_every_class_verified(self):
        self._assert_answers(CASES + self._machine_cases(), VERIFY_ALL)

    def test_the_verifier_checks_the_probe(self):
        # Without this, -Xverify:all passing could mean the class was never verified.
        result = subprocess.run([self.java, *VERIFY_ALL, "-Xlog:verification", "-cp", self.class_dir,
                                 "QvxVersion", "1.0:A:A"], capture_output=True, text=True, env=self.environment,
                                timeout=60)
        self.assertIn("Verifying class QvxVersion with old format", result.stdout)
        self.assertIn("End class verification for: QvxVersion", result.stdout)
        self.assertEqual(result.returncode, YES_STATUS)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
