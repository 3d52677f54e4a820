"""List mode under Wine: which VMs the launcher finds, how it starts each with the
probe class, and the report it prints. Stand-in VMs (tests/standins/fakevm) answer
as each case configures them and log how they were started. After the three
classic kinds come the java.exe files of today's registrations, JAVA_HOME and PATH."""

import os
import time
import unittest

import wineharness as wh

JAVASOFT = "HKLM\\Software\\JavaSoft"
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
    installed = [JDK_EXE, JRE_EXE, JVIEW_EXE]

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
        for view in self.views():
            self.s.wine("reg", "delete", JAVASOFT, "/f", *view)
        for exe in self.installed:
            for suffix in ("", ".cfg", ".log"):
                path = self.s.unix_path(exe) + suffix
                if os.path.exists(path):
                    os.remove(path)
        del self.installed[3:]

    def views(self):
        """reg's options for the registry view the launcher reads, then for the other
        one where there is one (in a 64-bit prefix)."""
        other = self.other_view()
        return [self.s.reg_view] + ([other] if other else [])

    def other_view(self):
        if not self.s.win64:
            return None
        return ["/reg:64"] if self.s.reg_view == ["/reg:32"] else ["/reg:32"]

    def install_vm(self, exe, config="status=314", version="1.1", home=None):
        self.install_program(exe, config)
        key = {JDK_EXE: JDK_KEY, JRE_EXE: JRE_KEY}.get(exe)
        if key is not None:
            self.s.reg_add(key, "CurrentVersion", version)
            self.s.reg_add(key + "\\" + version, "JavaHome", home or exe.rsplit("\\", 2)[0])

    def install_program(self, exe, config="status=314", program=None):
        self.s.install(program or self.fakevm, exe)
        self.installed.append(exe)
        if config is not None:
            with open(self.s.unix_path(exe) + ".cfg", "w") as f:
                f.write(config + "\n")
        return exe

    def install_java(self, home, config="status=314"):
        """A stand-in java.exe in home\\bin; its path as the launcher lists it."""
        return self.install_program(home + "\\bin\\java.exe", config)

    def register(self, registrations, view=None):
        """(key under JavaSoft, version, JavaHome) triples, imported in one go into
        the launcher's registry view or the one given."""
        lines = ["REGEDIT4", ""]
        for key, version, home in registrations:
            lines += ["[HKEY_LOCAL_MACHINE\\Software\\JavaSoft\\%s\\%s]" % (key, version),
                      '"JavaHome"="%s"' % home.replace("\\", "\\\\"), ""]
        path = os.path.join(self.s.dir, "javasoft.reg")
        with open(path, "w", newline="") as f:
            f.write("\r\n".join(lines) + "\r\n")
        self.s.wine("reg", "import", self.s.win_path(path), *(self.s.reg_view if view is None else view),
                    check=True)

    def output_file(self):
        return self.s.unix_path("C:\\stdout.tmp")

    def runs_of(self, exe):
        path = self.s.unix_path(exe) + ".log"
        if not os.path.exists(path):
            return []
        with open(path, encoding="latin-1") as f:
            return parse_log(f.read())

    def list_mode(self, requirement="1.1:A:A", env=None, timeout=90, vm_left_running=False, exe=None):
        # Separate words, so that wine builds the command line a user would type.
        # No JAVA_HOME or PATH of the machine's own unless a case gives one.
        result = self.s.run([exe or wh.dist("radad.exe"), *requirement.split(" ")],
                            cwd=self.s.unix_path(WORK), env={"JAVA_HOME": None, "WINEPATH": None, **(env or {})},
                            timeout=timeout)
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

    def test_kinds_that_are_registered_incompletely_are_not_found_as_their_classic_kind(self):
        # A runtime whose Bin holds java.exe only, and a kit whose current version
        # has no JavaHome: neither classic kind is found, and each java.exe is
        # listed only where today's VMs are, after them, under its bin path.
        self.install_program("C:\\jre\\Bin\\java.exe")
        self.s.reg_add(JRE_KEY, "CurrentVersion", "1.3")
        self.s.reg_add(JRE_KEY + "\\1.3", "JavaHome", "C:\\jre")
        self.install_program(JDK_EXE)
        self.s.reg_add(JDK_KEY, "CurrentVersion", "1.2")
        self.s.reg_add(JDK_KEY + "\\1.1", "JavaHome", "C:\\jdk")
        self.assertEqual(self.list_mode(), "2\r\nYES C:\\jdk\\bin\\java.exe\r\nYES C:\\jre\\bin\\java.exe\r\n")
        self.assertEqual(len(self.runs_of(JDK_EXE)), 1)

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

    def test_a_java_home_and_a_temporary_directory_outside_the_ansi_code_page(self):
        # Code page 1252 spells neither omega. The launcher reads the home and
        # reports the VM through its UTF-8 code page; the VM is handed the
        # temporary directory's short name, which it can read whatever its own.
        greek_temp = "C:\\users\\\u03a9mega\\Temp"
        self.s.set_temp_dir(greek_temp)
        self.addCleanup(self.s.set_temp_dir, self.temp_win.rstrip("\\"))
        home = "C:\\J\u00e4v\u00e4 \u03a9"
        jre = self.install_program(home + "\\Bin\\jre.exe")
        self.s.reg_add(JRE_KEY, "CurrentVersion", "1.1")
        self.s.reg_add(JRE_KEY + "\\1.1", "JavaHome", home)
        self.assertEqual(self.list_mode(), "1\r\nYES %s\r\n" % jre.encode("utf-8").decode("latin-1"))
        run, = self.runs_of(jre)
        short = run["args"][1]
        self.assertRegex(short, r"^C:\\[!-~]+\\$", "not an ASCII path")
        self.assertEqual(run["classfile"], short + "QvxVersion.class")
        self.assertEqual(os.listdir(self.s.unix_path(greek_temp)), [])

    def test_todays_registrations_follow_the_classic_kinds_newest_version_first_within_each_key(self):
        self.install_vm(JDK_EXE, "status=314")
        jdk21 = self.install_java("C:\\jdk21")
        jdk17 = self.install_java("C:\\jdk17", "status=159")
        jdk11 = self.install_java("C:\\jdk11")
        jre21 = self.install_java("C:\\jre21")
        # A runtime of 1.2 to 8: java.exe, no jre.exe, registered twice and current.
        jre8 = self.install_java("C:\\jre8")
        self.s.reg_add(JRE_KEY, "CurrentVersion", "1.8")
        os.makedirs(self.s.unix_path("C:\\nojava\\bin"), exist_ok=True)
        self.register([("JDK", "11", "C:\\jdk11"), ("JDK", "21", "C:\\jdk21"), ("JDK", "17.0.2", "C:\\jdk17"),
                       ("JDK", "22", "C:\\nojava"), ("JRE", "21", "C:\\jre21"),
                       ("Java Runtime Environment", "1.8", "C:\\jre8"),
                       ("Java Runtime Environment", "1.8.0_392", "C:\\jre8")])
        self.assertEqual(self.list_mode(), "6\r\nYES %s\r\nYES %s\r\nNO %s\r\nYES %s\r\nYES %s\r\nYES %s\r\n"
                         % (JDK_EXE, jdk21, jdk17, jdk11, jre21, jre8))
        # Each VM is probed once, the java.exe found again under the kit's own key too.
        temp = self.temp_win
        for exe in (JDK_EXE, jdk21, jdk17, jdk11, jre21, jre8):
            run, = self.runs_of(exe)
            self.assertEqual(run["commandline"], '"%s" QvxVersion 1.1:A:A' % exe)
            self.assertEqual((run["cwd"], run["classpathvar"]), (temp.rstrip("\\"), temp))

    def test_a_vm_registered_only_in_the_other_registry_view_comes_after_this_views(self):
        other = self.other_view()
        near = self.install_java("C:\\near11")
        far = self.install_java("C:\\far21")
        both = self.install_java("C:\\both17")
        self.register([("JDK", "11", "C:\\near11"), ("JRE", "17", "C:\\both17")])
        if other is None:
            # A 32-bit Windows has a single view: there is no other to read, and
            # that is no error.
            self.assertEqual(self.list_mode(), "2\r\nYES %s\r\nYES %s\r\n" % (near, both))
            return
        self.register([("JDK", "21", "C:\\far21"), ("JDK", "17", "C:\\both17")], view=other)
        self.assertEqual(self.list_mode(), "3\r\nYES %s\r\nYES %s\r\nYES %s\r\n" % (near, both, far))

    def test_java_home_then_the_first_java_exe_on_path_follow_the_registry(self):
        registered = self.install_java("C:\\jdk17")
        self.register([("JDK", "17", "C:\\jdk17")])
        home = self.install_java("C:\\home")
        on_path = self.install_program("C:\\onpath\\java.exe")
        self.install_program("C:\\later\\java.exe")
        # Neither the launcher's own folder nor the current directory is searched.
        self.install_program(WORK + "\\java.exe")
        launcher = self.install_program("C:\\app\\radad.exe", None, wh.dist("radad.exe"))
        self.install_program("C:\\app\\java.exe")
        report = self.list_mode(env={"JAVA_HOME": "C:\\home", "WINEPATH": "C:\\empty;C:\\onpath;C:\\later"},
                                exe=launcher)
        self.assertEqual(report, "3\r\nYES %s\r\nYES %s\r\nYES %s\r\n" % (registered, home, on_path))

    def test_the_same_executable_found_three_ways_is_listed_and_probed_once(self):
        registered = self.install_java("C:\\jdk17")
        self.register([("JDK", "17", "C:\\jdk17")])
        report = self.list_mode(env={"JAVA_HOME": "c:\\JDK17\\", "WINEPATH": "C:\\Jdk17\\Bin"})
        self.assertEqual(report, "1\r\nYES %s\r\n" % registered)
        self.assertEqual(len(self.runs_of(registered)), 1)

    def test_thirty_two_vms_of_the_longest_paths_are_listed_and_a_home_too_long_is_skipped(self):
        # Homes whose java.exe path has 259 characters, the most a path may have.
        def home(version):
            return "C:\\%02d" % version + "x" * (259 - len("C:\\00\\bin\\java.exe"))
        registrations = [("JDK", str(version), home(version)) for version in range(2, 35)]
        for _, _, folder in registrations:
            self.install_program(folder + "\\bin\\java.exe", None)
        # The newest one's java.exe would need 260: a path cut to 259 would name this file.
        too_long = home(35) + "x"
        self.install_program(too_long + "\\bin\\java.ex", None)
        self.register(registrations + [("JDK", "35", too_long)])
        report = self.list_mode(timeout=300)
        self.assertEqual(report, "32\r\n" + "".join("NO %s\\bin\\java.exe\r\n" % home(version)
                                                    for version in range(34, 2, -1)))

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
