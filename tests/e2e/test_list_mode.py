"""List mode under Wine: which VMs the launcher finds, how it starts each with the
probe class, and the report it prints. Stand-in VMs (tests/standins/fakevm) answer
as each case configures them and log how they were started. After the three
classic kinds come the java.exe files of today's registrations, JAVA_HOME and PATH."""

import os
import time

import launcher_rig as rig
import wineharness as wh
from launcher_rig import JDK, JRE, JVIEW

JDK_KEY = "HKLM\\Software\\JavaSoft\\Java Development Kit"
JRE_KEY = "HKLM\\Software\\JavaSoft\\Java Runtime Environment"
WORK = "C:\\work"


class ListModeTest(rig.LauncherTestCase):
    session_name = "list-mode"
    display = False

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        os.makedirs(cls.s.unix_path(WORK), exist_ok=True)

    def list_mode(self, requirement="1.1:A:A", env=None, timeout=90, vm_left_running=False, exe=None,
                  on=None):
        """The report of list mode, run by the launcher given (radad.exe by default)
        in the rig given (the suite's own by default)."""
        on = on or self.rig
        # Separate words, so that wine builds the command line a user would type.
        # No JAVA_HOME or PATH of the machine's own unless a case gives one.
        result = on.s.run([exe or wh.dist("radad.exe"), *requirement.split(" ")], cwd=on.s.unix_path(WORK),
                          env={"JAVA_HOME": None, "WINEPATH": None, **(env or {})}, timeout=timeout)
        self.assertEqual(result.returncode, 0)
        if not vm_left_running:
            self.assertFalse(os.path.exists(self.output_file(on)), "the output file stays")
        self.assertFalse(os.path.exists(os.path.join(on.temp, "QvxVersion.class")))
        return result.stdout.decode("latin-1")

    def output_file(self, on=None):
        return (on or self.rig).s.unix_path("C:\\stdout.tmp")

    def test_no_vm_installed_gives_the_count_zero_alone(self):
        self.assertEqual(self.list_mode(), "0\r\n")

    def test_each_kind_is_started_with_its_own_command_line_and_directory(self):
        jdk = self.rig.install_vm(JDK, config="status=314\n").win
        jre = self.rig.install_vm(JRE, config="status=159\noutput=YES\n").win
        jview = self.rig.install_vm(JVIEW, config="status=1\noutput=TRUE\n").win
        report = self.list_mode()
        self.assertEqual(report, "3\r\nYES %s\r\nNO %s\r\nYES %s\r\n" % (jdk, jre, jview))

        temp = self.rig.temp_win
        (jdk_run,), (jre_run,), (jview_run,) = (self.runs(vm) for vm in (jdk, jre, jview))
        self.assertEqual(jdk_run["commandline"], '"%s" QvxVersion 1.1:A:A' % jdk)
        self.assertEqual(jdk_run["cwd"], temp.rstrip("\\"))
        self.assertEqual(jdk_run["classpathvar"], temp)
        self.assertEqual(jre_run["commandline"], '"%s" -cp %s QvxVersion 1.1:A:A' % (jre, temp))
        self.assertEqual(jre_run["cwd"], WORK, "the java.exe run puts the working directory back")
        self.assertEqual(jre_run["classpathvar"], "(none)")
        self.assertEqual(jview_run["commandline"], '"%s" -cp:p %s QvxVersion 1.1:A:A' % (jview, temp))
        self.assertEqual(jview_run["cwd"], temp.rstrip("\\"))
        for run in (jdk_run, jre_run, jview_run):
            self.assertEqual(run["classfile"], temp + "QvxVersion.class")
            self.assertEqual((int(run["classsize"]), run["classhash"]),
                             (len(rig.probe_class()), rig.fnv1a(rig.probe_class())))

    def runs(self, win):
        """The runs that the stand-in at that Windows path logged."""
        return self.rig.runs(rig.Vm(None, win, self.s.unix_path(win)))

    def test_alternatives_of_the_requirement_reach_the_probe_as_separate_arguments(self):
        jre = self.rig.install_vm(JRE).win
        self.assertEqual(self.list_mode("1.1:X:Windows 1.0:A:A"), "1\r\nYES %s\r\n" % jre)
        run, = self.runs(jre)
        self.assertEqual(run["args"][-2:], ["1.1:X:Windows", "1.0:A:A"])

    def test_kinds_that_are_registered_incompletely_are_not_found_as_their_classic_kind(self):
        # A runtime whose Bin holds java.exe only, and a kit whose current version
        # has no JavaHome: neither classic kind is found, and each java.exe is
        # listed only where today's VMs are, after them, under its bin path.
        self.rig.install_program("C:\\jre\\Bin\\java.exe")
        self.s.reg_add(JRE_KEY, "CurrentVersion", "1.3")
        self.s.reg_add(JRE_KEY + "\\1.3", "JavaHome", "C:\\jre")
        jdk = self.rig.install_program("C:\\jdk\\Bin\\java.exe")
        self.s.reg_add(JDK_KEY, "CurrentVersion", "1.2")
        self.s.reg_add(JDK_KEY + "\\1.1", "JavaHome", "C:\\jdk")
        self.assertEqual(self.list_mode(), "2\r\nYES C:\\jdk\\bin\\java.exe\r\nYES C:\\jre\\bin\\java.exe\r\n")
        self.assertEqual(len(self.rig.runs(jdk)), 1)

    def test_only_the_current_version_of_a_kind_counts(self):
        jdk = self.rig.install_vm(JDK, version="1.1").win
        self.s.reg_add(JDK_KEY + "\\1.0", "JavaHome", "C:\\old")
        self.assertEqual(self.list_mode(), "1\r\nYES %s\r\n" % jdk)

    def test_a_vm_that_cannot_be_started_does_not_qualify_and_leaves_no_output_file(self):
        jre = self.rig.install_vm(JRE)
        with open(jre.unix, "wb") as f:
            f.write(b"not a program")
        self.assertEqual(self.list_mode(), "1\r\nNO %s\r\n" % jre.win)

    def test_a_classpath_of_the_users_own_does_not_hide_the_probe_from_java_exe(self):
        jdk = self.rig.install_vm(JDK).win
        self.assertEqual(self.list_mode(env={"CLASSPATH": "C:\\elsewhere"}), "1\r\nYES %s\r\n" % jdk)
        run, = self.runs(jdk)
        self.assertEqual(run["classpathvar"], self.rig.temp_win)

    def test_a_temporary_directory_with_a_blank_is_quoted_for_the_vm(self):
        spaced = "C:\\Documents and Settings\\tester\\Local Settings\\Temp\\"
        self.s.set_temp_dir(spaced.rstrip("\\"))
        self.addCleanup(self.s.set_temp_dir, self.rig.temp_win.rstrip("\\"))
        jre, jview, jdk = (self.rig.install_vm(kind).win for kind in (JRE, JVIEW, JDK))
        self.assertEqual(self.list_mode(), "3\r\nYES %s\r\nYES %s\r\nYES %s\r\n" % (jdk, jre, jview))
        quoted = '"%s"' % spaced.rstrip("\\")
        jre_run, = self.runs(jre)
        self.assertEqual(jre_run["commandline"], '"%s" -cp %s QvxVersion 1.1:A:A' % (jre, quoted))
        self.assertEqual(jre_run["args"][1], spaced.rstrip("\\"))
        self.assertEqual(jre_run["classfile"], spaced + "QvxVersion.class")
        jview_run, = self.runs(jview)
        self.assertEqual(jview_run["commandline"], '"%s" -cp:p %s QvxVersion 1.1:A:A' % (jview, quoted))
        jdk_run, = self.runs(jdk)
        self.assertEqual(jdk_run["classfile"], spaced + "QvxVersion.class")

    def test_a_java_home_and_a_temporary_directory_outside_the_ansi_code_page(self):
        # Code page 1252 spells neither omega. The launcher reads the home and
        # reports the VM through its UTF-8 code page; the VM is handed the
        # temporary directory's short name, which it can read whatever its own.
        greek_temp = "C:\\users\\\u03a9mega\\Temp"
        self.s.set_temp_dir(greek_temp)
        self.addCleanup(self.s.set_temp_dir, self.rig.temp_win.rstrip("\\"))
        jre = self.rig.install_vm(JRE, "C:\\J\u00e4v\u00e4 \u03a9")
        self.assertEqual(self.list_mode(), "1\r\nYES %s\r\n" % wh.utf8(jre.win))
        run, = self.rig.runs(jre)
        short = run["args"][1]
        self.assertRegex(short, r"^C:\\[!-~]+\\$", "not an ASCII path")
        self.assertEqual(run["classfile"], short + "QvxVersion.class")
        self.assertEqual(os.listdir(self.s.unix_path(greek_temp)), [])

    def test_todays_registrations_follow_the_classic_kinds_newest_version_first_within_each_key(self):
        jdk = self.rig.install_vm(JDK).win
        jdk21, jdk17, jdk11, jre21, jre8 = (
            self.rig.install_java(home, config).win
            for home, config in (("C:\\jdk21", "status=314\n"), ("C:\\jdk17", "status=159\n"),
                                 ("C:\\jdk11", "status=314\n"), ("C:\\jre21", "status=314\n"),
                                 ("C:\\jre8", "status=314\n")))
        # A runtime of 1.2 to 8: java.exe, no jre.exe, registered twice and current.
        self.s.reg_add(JRE_KEY, "CurrentVersion", "1.8")
        os.makedirs(self.s.unix_path("C:\\nojava\\bin"), exist_ok=True)
        self.rig.register([("JDK", "11", "C:\\jdk11"), ("JDK", "21", "C:\\jdk21"), ("JDK", "17.0.2", "C:\\jdk17"),
                           ("JDK", "22", "C:\\nojava"), ("JRE", "21", "C:\\jre21"),
                           ("Java Runtime Environment", "1.8", "C:\\jre8"),
                           ("Java Runtime Environment", "1.8.0_392", "C:\\jre8")])
        self.assertEqual(self.list_mode(), "6\r\nYES %s\r\nYES %s\r\nNO %s\r\nYES %s\r\nYES %s\r\nYES %s\r\n"
                         % (jdk, jdk21, jdk17, jdk11, jre21, jre8))
        # Each VM is probed once, the java.exe found again under the kit's own key too.
        temp = self.rig.temp_win
        for exe in (jdk, jdk21, jdk17, jdk11, jre21, jre8):
            run, = self.runs(exe)
            self.assertEqual(run["commandline"], '"%s" QvxVersion 1.1:A:A' % exe)
            self.assertEqual((run["cwd"], run["classpathvar"]), (temp.rstrip("\\"), temp))

    def test_a_vm_registered_only_in_the_other_registry_view_comes_after_this_views(self):
        rigs = [self.rig]
        if self.s.arch == "x86":
            # The 32-bit build reads the 64-bit view only where there is one: in a
            # 64-bit Windows, as a 64-bit prefix has it.
            wow64 = wh.WineSession("list-mode-wow64", display=False, win64=True)
            self.addCleanup(wow64.close)
            os.makedirs(wow64.unix_path(WORK), exist_ok=True)
            rigs.append(rig.Rig(wow64))
        for on in rigs:
            with self.subTest(prefix=on.s.prefix_arch):
                near, far, both = (on.install_java(home).win for home in ("C:\\near11", "C:\\far21", "C:\\both17"))
                on.register([("JDK", "11", "C:\\near11"), ("JRE", "17", "C:\\both17")])
                views = on.views()
                if len(views) == 1:
                    # A 32-bit Windows has a single view: there is no other to read,
                    # and that is no error.
                    self.assertEqual(self.list_mode(on=on), "2\r\nYES %s\r\nYES %s\r\n" % (near, both))
                    continue
                on.register([("JDK", "21", "C:\\far21"), ("JDK", "17", "C:\\both17")], view=views[1])
                self.assertEqual(self.list_mode(on=on), "3\r\nYES %s\r\nYES %s\r\nYES %s\r\n" % (near, both, far))

    def test_java_home_then_the_first_java_exe_on_path_follow_the_registry(self):
        registered = self.rig.install_java("C:\\jdk17").win
        self.rig.register([("JDK", "17", "C:\\jdk17")])
        home = self.rig.install_java("C:\\home").win
        on_path = self.rig.install_program("C:\\onpath\\java.exe").win
        self.rig.install_program("C:\\later\\java.exe")
        # Neither the launcher's own folder nor the current directory is searched.
        self.rig.install_program(WORK + "\\java.exe")
        launcher = self.rig.install_program("C:\\app\\radad.exe", wh.dist("radad.exe"), None).unix
        self.rig.install_program("C:\\app\\java.exe")
        report = self.list_mode(env={"JAVA_HOME": "C:\\home", "WINEPATH": "C:\\empty;C:\\onpath;C:\\later"},
                                exe=launcher)
        self.assertEqual(report, "3\r\nYES %s\r\nYES %s\r\nYES %s\r\n" % (registered, home, on_path))

    def test_the_same_executable_found_three_ways_is_listed_and_probed_once(self):
        registered = self.rig.install_java("C:\\jdk17")
        self.rig.register([("JDK", "17", "C:\\jdk17")])
        report = self.list_mode(env={"JAVA_HOME": "c:\\JDK17\\", "WINEPATH": "C:\\Jdk17\\Bin"})
        self.assertEqual(report, "1\r\nYES %s\r\n" % registered.win)
        self.assertEqual(len(self.rig.runs(registered)), 1)

    def test_thirty_two_vms_of_the_longest_paths_are_listed_and_a_home_too_long_is_skipped(self):
        # Homes whose java.exe path has 259 characters, the most a path may have.
        def home(version):
            return "C:\\%02d" % version + "x" * (259 - len("C:\\00\\bin\\java.exe"))
        registrations = [("JDK", str(version), home(version)) for version in range(2, 35)]
        for _, _, folder in registrations:
            self.rig.install_java(folder, None)
        # The newest one's java.exe would need 260: a path cut to 259 would name this file.
        too_long = home(35) + "x"
        self.rig.install_program(too_long + "\\bin\\java.ex", config=None)
        self.rig.register(registrations + [("JDK", "35", too_long)])
        report = self.list_mode(timeout=300)
        self.assertEqual(report, "32\r\n" + "".join("NO %s\\bin\\java.exe\r\n" % home(version)
                                                    for version in range(34, 2, -1)))

    def test_a_user_without_administrative_rights_finds_the_registered_kinds(self):
        # Everyone may only read the JavaSoft keys, as a standard user may under
        # HKEY_LOCAL_MACHINE\SOFTWARE on Windows.
        jdk, jre = self.rig.install_vm(JDK).win, self.rig.install_vm(JRE).win
        self.s.driver("regaccess", "HKLM", "Software\\JavaSoft", "read")
        self.addCleanup(self.s.driver, "regaccess", "HKLM", "Software\\JavaSoft", "full")
        # The narrowed rights take effect: a write is refused, as it would be with
        # the rights that a launcher asking for more than reading would need.
        refused = self.s.wine("reg", "add", JDK_KEY, "/v", "Written", "/d", "x", "/f", *self.s.reg_view)
        self.assertNotEqual(refused.returncode, 0, "a write under the read-only key was allowed")
        self.assertIsNone(self.s.reg_query(JDK_KEY, "Written"))
        self.assertEqual(self.list_mode(), "2\r\nYES %s\r\nYES %s\r\n" % (jdk, jre))

    def test_a_vm_that_hangs_is_given_up_after_twenty_seconds_and_left_running(self):
        jre = self.rig.install_vm(JRE, config="hang=1\n").win
        started = time.monotonic()
        self.assertEqual(self.list_mode(timeout=120, vm_left_running=True), "1\r\nNO %s\r\n" % jre)
        elapsed = time.monotonic() - started
        self.assertGreaterEqual(elapsed, 19.5)
        self.assertLess(elapsed, 40)
        hanging = [pid for pid in os.listdir("/proc") if pid.isdigit() and self.running_here(pid, "jre.exe")]
        self.assertTrue(hanging, "the hanging VM was stopped")
        # The VM still holds its standard output; the file goes as soon as it ends.
        for pid in hanging:
            os.kill(int(pid), 9)
        rig.wait_until(lambda: not os.path.exists(self.output_file()), timeout=10,
                       what="the output file's removal after the VM's end")

    def running_here(self, pid, name):
        """Whether the process runs name in this suite's prefix (the other build's
        suite may hang a VM of the same name at the same time)."""
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f, open("/proc/%s/environ" % pid, "rb") as e:
                return name.encode() in f.read() and b"WINEPREFIX=%s\0" % self.s.prefix.encode() in e.read()
        except OSError:
            return False


if __name__ == "__main__":
    wh.main()
