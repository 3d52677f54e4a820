"""The demo launcher installs for real: the machine's own JVM, reached through the
winelib bridge as a Windows java.exe, qualifies in the VM choice dialog and runs
the demo installer class, which leaves setup-ran.txt in its working directory."""

import os
import time
import unittest

import wineharness as wh

CAPTION = "Kitebay"
IDOK = 1
IDC_VM_LIST, IDC_MESSAGE_TEXT = 1001, 1002
ONE_VM = "One Java virtual machine was found.\nClick OK to install the application."
JAVA = "C:\\vm\\Bin\\java.exe"
BRIDGE = os.path.abspath(os.environ.get("JVMBRIDGE_BUILD_DIR")
                         or os.path.join(wh.REPO_ROOT, "build", "jvmbridge"))


class RealJvmInstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(os.path.join(BRIDGE, "bin", "java.exe")):
            raise unittest.SkipTest("the JVM bridge is not built in %s" % BRIDGE)
        cls.s = wh.WineSession("real-jvm-install", win64=True,
                               extra_env={"WINEDLLPATH": os.path.join(BRIDGE, "lib")})
        cls.s.install(os.path.join(BRIDGE, "bin", "java.exe"), JAVA)
        cls.s.reg_add("HKLM\\Software\\JavaSoft\\Java Development Kit", "CurrentVersion", "1.1")
        cls.s.reg_add("HKLM\\Software\\JavaSoft\\Java Development Kit\\1.1", "JavaHome", "C:\\vm")
        cls.temp_win, cls.temp = cls.s.temp_dir()

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def test_the_chosen_real_vm_runs_the_installer_class_from_the_temporary_directory(self):
        process = self.s.spawn([wh.dist("radad-demo.exe")])
        self.addCleanup(lambda: process.poll() is None and process.kill())
        self.s.wait_window(CAPTION, "dialog", timeout=60)
        deadline = time.monotonic() + 60
        while self.s.control_text(CAPTION, IDC_MESSAGE_TEXT, "dialog") != ONE_VM:
            self.assertLess(time.monotonic(), deadline, "the real JVM did not qualify")
            time.sleep(0.5)
        items, selection = self.s.combo(CAPTION, IDC_VM_LIST, "dialog")
        self.assertEqual([(item.data, item.text) for item in items], [(0, JAVA)])
        self.assertEqual(selection, 0)

        self.s.press(CAPTION, IDOK, "dialog")
        self.assertEqual(process.wait(60), 0)
        ran = os.path.join(self.temp, "setup-ran.txt")
        self.assertTrue(os.path.exists(ran), "the installer class did not run")
        with open(ran, encoding="latin-1") as f:
            self.assertIn("setup ran in", f.read())
        self.assertEqual(sorted(os.listdir(self.temp)), ["setup-ran.txt"],
                         "the launcher leaves only what the installer wrote")


if __name__ == "__main__":
    unittest.main()
