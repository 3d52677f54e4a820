"""The machine's own JVM, reached through the winelib bridge as a Windows VM, in
one 64-bit prefix: it qualifies (or not) in list mode as the JDK's java.exe and
as the runtime's jre.exe, and the demo launcher installs for real under it, found
as the classic kit's java.exe or as a Java 17 registers itself today.

A YES in the report means the probe's status 314 crossed Linux, Wine and the
launcher intact: Linux alone would have delivered 58, which does not qualify."""

import os
import unittest

import launcher_rig as rig
import wineharness as wh
from launcher_rig import CAPTION, IDC_MESSAGE_TEXT, IDC_VM_LIST, IDOK, ONE_VM

JAVASOFT = "HKLM\\Software\\JavaSoft"
JDK_KEY = JAVASOFT + "\\Java Development Kit"
JRE_KEY = JAVASOFT + "\\Java Runtime Environment"
JDK17_KEY = JAVASOFT + "\\JDK\\17"
JAVA = "C:\\vm\\Bin\\java.exe"
JRE = "C:\\vm\\Bin\\jre.exe"
BRIDGE = os.path.abspath(os.environ.get("JVMBRIDGE_BUILD_DIR")
                         or os.path.join(wh.REPO_ROOT, "build", "jvmbridge"))


class RealJvmTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(os.path.join(BRIDGE, "bin", "java.exe")):
            raise unittest.SkipTest("the JVM bridge is not built in %s" % BRIDGE)
        cls.s = wh.WineSession("real-jvm", win64=True, extra_env={"WINEDLLPATH": os.path.join(BRIDGE, "lib")})
        cls.s.install(os.path.join(BRIDGE, "bin", "java.exe"), JAVA)
        cls.s.install(os.path.join(BRIDGE, "bin", "jre.exe"), JRE)
        cls.rig = rig.Rig(cls.s)

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def register(self, *keys):
        """The classic kinds' keys as version 1.1, or JDK17_KEY alone, for C:\\vm."""
        self.s.reg_delete(JAVASOFT)
        for key in keys:
            if key == JDK17_KEY:
                self.s.reg_add(key, "JavaHome", "C:\\vm")
                continue
            self.s.reg_add(key, "CurrentVersion", "1.1")
            self.s.reg_add(key + "\\1.1", "JavaHome", "C:\\vm")

    def test_list_mode_reports_what_the_real_vm_answers_for_each_requirement(self):
        self.register(JDK_KEY, JRE_KEY)
        work = self.s.unix_path("C:\\")
        for requirement, answer in (("1.1:A:A", "YES"), ("1.2:A:A", "NO"),
                                    ("1.2:A:A 1.0:A:Linux", "YES"), ("1.0:A:Windows", "NO"),
                                    ("8+:A:A", "YES"), ("9999+:A:A", "NO")):
            with self.subTest(requirement):
                result = self.s.run([wh.dist("radad.exe"), *requirement.split(" ")], cwd=work, timeout=120)
                self.assertEqual(result.stdout.decode("latin-1"),
                                 "2\r\n%s %s\r\n%s %s\r\n" % (answer, JAVA, answer, JRE))
                self.assertEqual(self.rig.leftovers(), [], "the run's folder is left")

    def test_the_chosen_real_vm_runs_the_installer_class_from_the_temporary_directory(self):
        cases = [
            # registration, the list's entry (slot, path)
            (JDK_KEY, (0, JAVA)),
            (JDK17_KEY, (3, "C:\\vm\\bin\\java.exe")),
        ]
        for key, entry in cases:
            with self.subTest(key):
                self.register(key)
                self.rig.clear_temp()
                process = self.s.spawn([wh.dist("radad-demo.exe")], test=self)
                self.assertEqual(self.rig.search_result(timeout=120)[IDC_MESSAGE_TEXT].text, ONE_VM)
                items, selection = self.s.combo(CAPTION, IDC_VM_LIST, "dialog")
                self.assertEqual([(item.data, item.text) for item in items], [entry])
                self.assertEqual(selection, 0)

                self.s.press(CAPTION, IDOK, "dialog")
                self.assertEqual(process.wait(60), 0)
                # The installer wrote into its working directory, the run's folder:
                # the launcher leaves that folder with only what the installer wrote.
                self.assertEqual(self.rig.leftovers(), ["radad-*", "radad-*/setup-ran.txt"])
                folder = self.rig.run_folder()[1]
                with open(os.path.join(folder, "setup-ran.txt"), encoding="latin-1") as f:
                    # The JVM itself is a Linux program, and names the folder so.
                    self.assertRegex(f.read(), "^setup ran in .*/%s\n$" % os.path.basename(folder))


if __name__ == "__main__":
    wh.main()
