"""List mode under Wine: which VMs the launcher finds, how it starts each with the
probe class, and the report it prints. Stand-in VMs (tests/standins/fakevm) answer
as each case configures them and log how they were started."""

import os
import time
import unittest

import wineharness as wh

JDK_KEY = "HKLM\\Software\\JavaSoft\\Java Development Kit"
JRE_KEY = "HKLM\\Software\\JavaSoft\\Java Runtime Environment"
JDK_EXE = "C:\\jdk\\Bin\\java.exe"
JRE_EXE = "C:\\jre\\Bin\\jre.exe"
JVIEW_EXE = "C:\\windows\\jview.exe"
WORK = "C:\\work"


def parse_log(text):
    runs, current = [], None
    for line in text.splitlines():
        if line == "run":
            current = {"args": []}
        elif line == "end":
            runs.append(current)
        elif current is not None:
            key, _, value = line.partition("=")
            if key == "arg":
                current["args"].append(value)
            else:
                current[key] = value
    return runs


class ListModeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = wh.WineSession("list-mode", display=False)
        cls.fakevm = wh.cross("tests/standins/fakevm/fakevm.exe")
        os.makedirs(cls.s.unix_path(WORK), exist_ok=True)
        cls.temp_win, cls.temp = cls.s.temp_dir()

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def setUp(self):
        self.s.reg_delete(JDK_KEY)
        self.s.reg_delete(JRE_KEY)
        for exe in (JDK_EXE, JRE_EXE, JVIEW_EXE):
            for suffix in ("", ".cfg", ".log"):
                path = self.s.unix_path(exe) + suffix
                if os.path.exists(path):
                    os.remove(path)

    def install_vm(self, exe, config="status=314", version="1.1", home=None):
        self.s.install(self.fakevm, exe)
        with open(self.s.unix_path(exe) + ".cfg", "w") as f:
            f.write(config + "\n")
        key = {JDK_EXE: JDK_KEY, JRE_EXE: JRE_KEY}.get(exe)
        if key is not None:
            self.s.reg_add(key, "CurrentVersion", version)
            self.s.reg_add(key + "\\" + version, "JavaHome", home or exe.rsplit("\\", 2)[0])

    def output_file(self):
        return self.s.unix_path("C:\\stdout.tmp")

    def runs_of(self, exe):
        path = self.s.unix_path(exe) + ".log"
        if not os.path.exists(path):
            return []
        with open(path, encoding="latin-1") as f:
            return parse_log(f.read())

    def list_mode(self, requirement="1.1:A:A", env=None, timeout=90, vm_left_running=False):
        # Separate words, so that wine builds the command line a user would type.
        result = self.s.run([wh.dist("radad.exe"), *requirement.split(" ")], cwd=self.s.unix_path(WORK),
                            env=env, timeout=timeout)
        self.assertEqual(result.returncode, 0)
        if not vm_left_running:
            self.assertFalse(os.path.exists(self.output_file()), "the output file stays")
        self.assertFalse(os.path.exists(os.path.join(self.temp, "QvxVersion.class")))
        return result.stdout.decode("latin-1")

    def test_no_vm_installed_gives_the_count_zero_alone(self):
        self.assertEqual(self.list_mode(), "0\r\n")

    def test_each_kind_is_started_with_its_own_command_line_and_directory(self):
        self.install_vm(JDK_EXE, "status=314")
        self.install_vm(JRE_EXE, "status=159\noutput=YES")
        self.install_vm(JVIEW_EXE, "status=1\noutput=TRUE")
        report = self.list_mode()
        self.assertEqual(report, "3\r\nYES %s\r\nNO %s\r\nYES %s\r\n" % (JDK_EXE, JRE_EXE, JVIEW_EXE))

        temp = self.temp_win
        jdk, = self.runs_of(JDK_EXE)
        self.assertEqual(jdk["commandline"], '"%s" QvxVersion 1.1:A:A' % JDK_EXE)
        self.assertEqual(jdk["cwd"], temp.rstrip("\\"))
        self.assertEqual(jdk["classpathvar"], temp)
        jre, = self.runs_of(JRE_EXE)
        self.assertEqual(jre["commandline"], '"%s" -cp %s QvxVersion 1.1:A:A' % (JRE_EXE, temp))
        self.assertEqual(jre["cwd"], WORK, "the java.exe run puts the working directory back")
        self.assertEqual(jre["classpathvar"], "(none)")
        jview, = self.runs_of(JVIEW_EXE)
        self.assertEqual(jview["commandline"], '"%s" -cp:p %s QvxVersion 1.1:A:A' % (JVIEW_EXE, temp))
        self.assertEqual(jview["cwd"], temp.rstrip("\\"))
        for run in (jdk, jre, jview):
            self.assertEqual(run["classfile"], temp + "QvxVersion.class")
            self.assertEqual(int(run["classsize"]),
                             os.path.getsize(wh.cross("launcher/probe/classes/QvxVersion.class")))

    def test_alternatives_of_the_requirement_reach_the_probe_as_separate_arguments(self):
        self.install_vm(JRE_EXE, "status=314")
        self.assertEqual(self.list_mode("1.1:X:Windows 1.0:A:A"), "1\r\nYES %s\r\n" % JRE_EXE)
        run, = self.runs_of(JRE_EXE)
        self.assertEqual(run["args"][-2:], ["1.1:X:Windows", "1.0:A:A"])

    def test_kinds_that_are_registered_incompletely_are_not_found(self):
        # A runtime whose Bin holds java.exe only, and a kit without JavaHome.
        self.s.install(self.fakevm, "C:\\jre\\Bin\\java.exe")
        self.addCleanup(os.remove, self.s.unix_path("C:\\jre\\Bin\\java.exe"))
        self.s.reg_add(JRE_KEY, "CurrentVersion", "1.3")
        self.s.reg_add(JRE_KEY + "\\1.3", "JavaHome", "C:\\jre")
        self.s.install(self.fakevm, JDK_EXE)
        self.s.reg_add(JDK_KEY, "CurrentVersion", "1.2")
        self.s.reg_add(JDK_KEY + "\\1.1", "JavaHome", "C:\\jdk")
        self.assertEqual(self.list_mode(), "0\r\n")
        self.assertEqual(self.runs_of(JDK_EXE), [])

    def test_only_the_current_version_of_a_kind_counts(self):
        self.install_vm(JDK_EXE, "status=314", version="1.1")
        self.s.reg_add(JDK_KEY + "\\1.0", "JavaHome", "C:\\old")
        self.assertEqual(self.list_mode(), "1\r\nYES %s\r\n" % JDK_EXE)

    def test_a_vm_that_cannot_be_started_does_not_qualify_and_leaves_no_output_file(self):
        self.install_vm(JRE_EXE)
        with open(self.s.unix_path(JRE_EXE), "wb") as f:
            f.write(b"not a program")
        self.assertEqual(self.list_mode(), "1\r\nNO %s\r\n" % JRE_EXE)

    def test_a_classpath_of_the_users_own_does_not_hide_the_probe_from_java_exe(self):
        self.install_vm(JDK_EXE, "status=314")
        self.assertEqual(self.list_mode(env={"CLASSPATH": "C:\\elsewhere"}), "1\r\nYES %s\r\n" % JDK_EXE)
        run, = self.runs_of(JDK_EXE)
        self.assertEqual(run["classpathvar"], self.temp_win)

    def test_a_temporary_directory_with_a_blank_is_quoted_for_the_vm(self):
        spaced = "C:\\Documents and Settings\\tester\\Local Settings\\Temp\\"
        self.s.set_temp_dir(spaced.rstrip("\\"))
        self.addCleanup(self.s.set_temp_dir, self.temp_win.rstrip("\\"))
        self.install_vm(JRE_EXE, "status=314")
        self.install_vm(JVIEW_EXE, "status=314")
        self.install_vm(JDK_EXE, "status=314")
        self.assertEqual(self.list_mode(), "3\r\nYES %s\r\nYES %s\r\nYES %s\r\n" % (JDK_EXE, JRE_EXE, JVIEW_EXE))
        quoted = '"%s"' % spaced.rstrip("\\")
        jre, = self.runs_of(JRE_EXE)
        self.assertEqual(jre["commandline"], '"%s" -cp %s QvxVersion 1.1:A:A' % (JRE_EXE, quoted))
        self.assertEqual(jre["args"][1], spaced.rstrip("\\"))
        self.assertEqual(jre["classfile"], spaced + "QvxVersion.class")
        jview, = self.runs_of(JVIEW_EXE)
        self.assertEqual(jview["commandline"], '"%s" -cp:p %s QvxVersion 1.1:A:A' % (JVIEW_EXE, quoted))
        jdk, = self.runs_of(JDK_EXE)
        self.assertEqual(jdk["classfile"], spaced + "QvxVersion.class")

    def test_a_user_without_administrative_rights_finds_the_registered_kinds(self):
        # Everyone may only read the JavaSoft keys, as a standard user may under
        # HKEY_LOCAL_MACHINE\SOFTWARE on Windows.
        self.install_vm(JDK_EXE)
        self.install_vm(JRE_EXE)
        self.s.driver("regaccess", "HKLM", "Software\\JavaSoft", "read")
        self.addCleanup(self.s.driver, "regaccess", "HKLM", "Software\\JavaSoft", "full")
        self.assertEqual(self.list_mode(), "2\r\nYES %s\r\nYES %s\r\n" % (JDK_EXE, JRE_EXE))

    def test_a_vm_that_hangs_is_given_up_after_twenty_seconds_and_left_running(self):
        self.install_vm(JRE_EXE, "hang=1")
        started = time.monotonic()
        self.assertEqual(self.list_mode(timeout=120, vm_left_running=True), "1\r\nNO %s\r\n" % JRE_EXE)
        elapsed = time.monotonic() - started
        self.assertGreaterEqual(elapsed, 19.5)
        self.assertLess(elapsed, 40)
        hanging = [pid for pid in os.listdir("/proc") if pid.isdigit() and self.running_as(pid, "jre.exe")]
        self.assertTrue(hanging, "the hanging VM was stopped")
        # The VM still holds its standard output; the file goes as soon as it ends.
        for pid in hanging:
            os.kill(int(pid), 9)
        deadline = time.monotonic() + 10
        while os.path.exists(self.output_file()) and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertFalse(os.path.exists(self.output_file()), "the output file outlives the VM")

    @staticmethod
    def running_as(pid, name):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                return name.encode() in f.read()
        except OSError:
            return False


if __name__ == "__main__":
    unittest.main()
