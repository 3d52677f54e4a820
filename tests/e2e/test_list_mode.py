"""List mode under Wine: which VMs the launcher finds, how it starts each with the
probe class, and the report it prints. Stand-in VMs (tests/standins/fakevm) answer
as each case configures them and log how they were started. After the three
classic kinds come a runtime beside the launcher, the java.exe files of today's
registrations (JavaSoft's and the vendors' keys, per machine and per user),
JAVA_HOME and PATH; the probes run side by side."""

import os
import re
import subprocess
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

    # No JAVA_HOME or PATH of the machine's own unless a case gives one.
    NO_JAVA_PLACES = {"JAVA_HOME": None, "WINEPATH": None}

    @staticmethod
    def command(requirement="1.1:A:A", exe=None):
        # Separate words, so that wine builds the command line a user would type.
        return [exe or wh.dist("radad.exe"), *requirement.split(" ")]

    def list_mode(self, requirement="1.1:A:A", env=None, timeout=90, exe=None, on=None):
        """The report of list mode, run by the launcher given (radad.exe by default)
        in the rig given (the suite's own by default)."""
        on = on or self.rig
        result = on.s.run(self.command(requirement, exe), cwd=on.s.unix_path(WORK),
                          env={**self.NO_JAVA_PLACES, **(env or {})}, timeout=timeout)
        self.assertEqual(result.returncode, 0)
        self.assertEqual(on.leftovers(), [], "the probe class, an output file or the run's folder stays")
        return result.stdout.decode("latin-1")

    def test_no_vm_installed_gives_the_count_zero_alone(self):
        self.assertEqual(self.list_mode(), "0\r\n")

    def test_each_kind_is_started_with_its_own_command_line_and_directory(self):
        jdk = self.rig.install_vm(JDK, config="status=314\n").win
        jre = self.rig.install_vm(JRE, config="status=159\noutput=YES\n").win
        jview = self.rig.install_vm(JVIEW, config="status=1\noutput=TRUE\n").win
        report = self.list_mode()
        self.assertEqual(report, "3\r\nYES %s\r\nNO %s\r\nYES %s\r\n" % (jdk, jre, jview))

        (jdk_run,), (jre_run,), (jview_run,) = (self.runs(vm) for vm in (jdk, jre, jview))
        temp = self.class_directory(jdk_run)
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
            self.assertEqual(run["injob"], "1")
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
        self.assertEqual(run["classpathvar"], self.class_directory(run))

    def test_a_temporary_directory_with_a_blank_is_quoted_for_the_vm(self):
        spaced = "C:\\Documents and Settings\\tester\\Local Settings\\Temp\\"
        self.s.set_temp_dir(spaced.rstrip("\\"))
        self.addCleanup(self.s.set_temp_dir, self.rig.temp_win.rstrip("\\"))
        jre, jview, jdk = (self.rig.install_vm(kind).win for kind in (JRE, JVIEW, JDK))
        self.assertEqual(self.list_mode(), "3\r\nYES %s\r\nYES %s\r\nYES %s\r\n" % (jdk, jre, jview))
        jre_run, = self.runs(jre)
        folder = jre_run["classfile"].rpartition("\\")[0]
        self.assertRegex(folder, "^" + re.escape(spaced) + rig.RUN_FOLDER.pattern + "$")
        quoted = '"%s"' % folder
        self.assertEqual(jre_run["commandline"], '"%s" -cp %s QvxVersion 1.1:A:A' % (jre, quoted))
        self.assertEqual(jre_run["args"][1], folder)
        jview_run, = self.runs(jview)
        self.assertEqual(jview_run["commandline"], '"%s" -cp:p %s QvxVersion 1.1:A:A' % (jview, quoted))
        jdk_run, = self.runs(jdk)
        self.assertEqual(jdk_run["classfile"], folder + "\\QvxVersion.class")

    def test_a_temporary_directory_that_the_ansi_code_page_cannot_spell_and_without_short_name(self):
        # Wine makes up a short name for every long name, but has none for a path
        # through the device namespace (\\.\), which stands in here for a volume
        # without 8.3 names. Code page 1252 cannot spell the omega; the VMs, which
        # read their command line and environment in it, get "." as their class
        # path and the class directory as their working directory.
        greek = "C:\\users\\\u03a9mega\\Temp"
        os.makedirs(self.s.unix_path(greek), exist_ok=True)
        for name in ("TEMP", "TMP"):
            self.s.reg_add("HKCU\\Environment", name, "\\\\.\\" + greek)
        self.addCleanup(self.s.set_temp_dir, self.rig.temp_win.rstrip("\\"))
        jdk, jre, jview = (self.rig.install_vm(kind, program=rig.FAKEVM_ANSI).win for kind in (JDK, JRE, JVIEW))
        self.assertEqual(self.list_mode(), "3\r\nYES %s\r\nYES %s\r\nYES %s\r\n" % (jdk, jre, jview))
        expected = [('"%s" QvxVersion 1.1:A:A' % jdk, "."), ('"%s" -cp . QvxVersion 1.1:A:A' % jre, "(none)"),
                    ('"%s" -cp:p . QvxVersion 1.1:A:A' % jview, "(none)")]
        runs = [self.runs(vm)[0] for vm in (jdk, jre, jview)]
        self.assertEqual([(run["commandline"], run["classpathvar"]) for run in runs], expected)
        for run in runs:
            self.assertRegex(run["cwd"], r"\\radad-[0-9a-f]{8}$")
            self.assertEqual((run["classfile"], int(run["classsize"]), run["classhash"]),
                             (".\\QvxVersion.class", len(rig.probe_class()), rig.fnv1a(rig.probe_class())))
        self.assertEqual(os.listdir(self.s.unix_path(greek)), [])

    def test_todays_registrations_follow_the_classic_kinds_newest_version_first_within_each_key(self):
        # Code page 1252 spells neither omega: the launcher reads the home and
        # reports and starts the VM through its UTF-8 code page.
        greek = "C:\\J\u00e4v\u00e4 \u03a9"
        jdk = self.rig.install_vm(JDK).win
        jdk21, jdk17, jdk11, jre21, jre8 = (
            self.rig.install_java(home, config).win
            for home, config in (("C:\\jdk21", "status=314\n"), ("C:\\jdk17", "status=159\n"),
                                 ("C:\\jdk11", "status=314\n"), (greek, "status=314\n"),
                                 ("C:\\jre8", "status=314\n")))
        # A runtime of 1.2 to 8: java.exe, no jre.exe, registered twice and current.
        self.s.reg_add(JRE_KEY, "CurrentVersion", "1.8")
        os.makedirs(self.s.unix_path("C:\\nojava\\bin"), exist_ok=True)
        self.rig.register([("JDK", "11", "C:\\jdk11"), ("JDK", "21", "C:\\jdk21"), ("JDK", "17.0.2", "C:\\jdk17"),
                           ("JDK", "22", "C:\\nojava"), ("JRE", "21", greek),
                           ("Java Runtime Environment", "1.8", "C:\\jre8"),
                           ("Java Runtime Environment", "1.8.0_392", "C:\\jre8")])
        report = "6\r\nYES %s\r\nYES %s\r\nNO %s\r\nYES %s\r\nYES %s\r\nYES %s\r\n" % (
            jdk, jdk21, jdk17, jdk11, jre21, jre8)
        self.assertEqual(self.list_mode(), wh.utf8(report))
        # Each VM is probed once, the java.exe found again under the kit's own key too.
        for exe in (jdk, jdk21, jdk17, jdk11, jre21, jre8):
            run, = self.runs(exe)
            temp = self.class_directory(run)
            self.assertEqual(run["commandline"], wh.utf8('"%s" QvxVersion 1.1:A:A' % exe))
            self.assertEqual((run["cwd"], run["classpathvar"]), (temp.rstrip("\\"), temp))

    def test_a_vm_registered_only_in_the_other_registry_view_comes_after_this_views(self):
        # A 32-bit Windows has a single view, which every other case reads twice.
        # The 32-bit build reads the 64-bit view in a 64-bit Windows, as a 64-bit
        # prefix has it.
        on = self.rig
        if not self.s.win64:
            wow64 = wh.WineSession("list-mode-wow64", display=False, win64=True)
            self.addCleanup(wow64.close)
            os.makedirs(wow64.unix_path(WORK), exist_ok=True)
            on = rig.Rig(wow64)
        near, far, both = (on.install_java(home).win for home in ("C:\\near11", "C:\\far21", "C:\\both17"))
        on.register([("JDK", "11", "C:\\near11"), ("JRE", "17", "C:\\both17")])
        on.register([("JDK", "21", "C:\\far21"), ("JDK", "17", "C:\\both17")], view=on.views()[1])
        self.assertEqual(self.list_mode(on=on), "3\r\nYES %s\r\nYES %s\r\nYES %s\r\n" % (near, both, far))

    def test_a_bundled_runtime_then_javasoft_vendor_and_per_user_keys_each_vm_once(self):
        launcher = self.rig.install_program("C:\\app\\radad.exe", wh.dist("radad.exe"), None).unix
        jdk = self.rig.install_vm(JDK).win
        bundled = [self.rig.install_java("C:\\app\\" + name).win for name in ("jre", "runtime")]
        javasoft = self.rig.install_java("C:\\jdk17").win
        self.rig.register([("JDK", "17", "C:\\jdk17")])
        # Each vendor's layout as its installer writes it: (key under Software,
        # version or product, subkey, value); the homes end in a backslash.
        layouts = [("Eclipse Adoptium\\JDK", "21.0.1.12", "\\hotspot\\MSI", "Path"),
                   ("Eclipse Adoptium\\JDK", "11.0.21.9", "\\hotspot\\MSI", "Path"),
                   ("Eclipse Adoptium\\JRE", "17.0.9.9", "\\hotspot\\MSI", "Path"),
                   ("Eclipse Foundation\\JDK", "16.0.2.7", "\\hotspot\\MSI", "Path"),
                   ("AdoptOpenJDK\\JDK", "15.0.2.7", "\\hotspot\\MSI", "Path"),
                   ("AdoptOpenJDK\\JDK", "15.0.2.7", "\\openj9\\MSI", "Path"),
                   ("AdoptOpenJDK\\JRE", "11.0.11.9", "\\openj9\\MSI", "Path"),
                   ("Semeru\\JDK", "17.0.8.1", "\\openj9\\MSI", "Path"),
                   ("Semeru\\JRE", "11.0.20.1", "\\openj9\\MSI", "Path"),
                   ("Microsoft\\JDK", "21.0.2.13", "\\hotspot\\MSI", "Path"),
                   ("Azul Systems\\Zulu", "zulu-17", "", "InstallationPath"),
                   ("BellSoft\\Liberica", "jdk-11", "", "InstallationPath")]
        # Listed in this order (the newest version of a key first, 21 before 11),
        # although the registry enumerates them in the order of their names.
        vendors = [self.rig.install_java("C:\\vendor%d" % number).win for number in range(len(layouts))]
        self.rig.register_values([("HKEY_LOCAL_MACHINE\\Software\\%s\\%s%s" % (key, version, under), value,
                                   "C:\\vendor%d\\" % number)
                                  for number, (key, version, under, value) in enumerate(layouts)])
        # A value that is not text is skipped.
        self.rig.install_java("C:\\multi")
        self.s.reg_add("HKLM\\Software\\BellSoft\\Liberica\\jdk-17", "InstallationPath", "C:\\multi\\", "REG_MULTI_SZ")
        other = []
        if len(self.rig.views()) == 2:
            other = [self.rig.install_java("C:\\other11").win]
            self.rig.register_values([("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\JDK\\11.0.22.7\\hotspot\\MSI",
                                       "Path", "C:\\other11\\")], view=self.rig.views()[1])
        per_user = [self.rig.install_java(home).win for home in ("C:\\user21", "C:\\user20", "C:\\user22")]
        self.rig.register_values([("HKEY_CURRENT_USER\\Software\\JavaSoft\\JDK\\20", "JavaHome", "C:\\user20"),
                                  ("HKEY_CURRENT_USER\\Software\\Eclipse Adoptium\\JDK\\22\\hotspot\\MSI",
                                   "Path", "C:\\user22\\")])
        # A home with an environment variable in it, as REG_EXPAND_SZ holds one.
        self.s.reg_add("HKCU\\Software\\JavaSoft\\JDK\\21", "JavaHome", "%SystemDrive%\\user21", "REG_EXPAND_SZ")
        home = self.rig.install_java("C:\\home").win
        expected = [jdk] + bundled + [javasoft] + vendors + other + per_user + [home]
        report = self.list_mode(env={"JAVA_HOME": "C:\\home"}, exe=launcher)
        self.assertEqual(report, "%d\r\n" % len(expected) + "".join("YES %s\r\n" % vm for vm in expected))
        for vm in expected:
            run, = self.runs(vm)
            self.assertEqual(run["commandline"], '"%s" QvxVersion 1.1:A:A' % vm)

    def test_java_home_then_the_first_java_exe_on_path_follow_the_registry(self):
        registered = self.rig.install_java("C:\\jdk17").win
        home = self.rig.install_java("C:\\home").win
        on_path = self.rig.install_program("C:\\onpath\\java.exe").win
        self.rig.install_program("C:\\later\\java.exe")
        # Neither the launcher's own folder nor the current directory is searched,
        # nor what an empty or relative JavaHome or PATH element leads to there or
        # at the root of the current drive ("C:" is drive C's current directory,
        # not its root).
        self.rig.install_program(WORK + "\\java.exe")
        self.rig.install_java(WORK + "\\jre")
        self.rig.install_program("C:\\bin\\java.exe")
        self.rig.install_program("C:\\bin\\jre.exe")
        self.rig.register([("JDK", "17", "C:\\jdk17"), ("JDK", "18", ""), ("JDK", "19", "jre"), ("JDK", "20", "C:")])
        self.s.reg_add(JDK_KEY, "CurrentVersion", "1.1")
        self.s.reg_add(JDK_KEY + "\\1.1", "JavaHome", "")
        self.s.reg_add(JRE_KEY, "CurrentVersion", "1.1")
        self.s.reg_add(JRE_KEY + "\\1.1", "JavaHome", "C:")
        launcher = self.rig.install_program("C:\\app\\radad.exe", wh.dist("radad.exe"), None).unix
        self.rig.install_program("C:\\app\\java.exe")
        report = self.list_mode(env={"JAVA_HOME": "C:\\home", "WINEPATH": "C:\\empty;;.;bin;C:\\onpath;C:\\later"},
                                exe=launcher)
        self.assertEqual(report, "3\r\nYES %s\r\nYES %s\r\nYES %s\r\n" % (registered, home, on_path))

    def test_the_same_executable_found_three_ways_is_listed_and_probed_once(self):
        # Under other names of the same file too: a drive letter given to its
        # folder (subst) and a link to its bin folder (as the javapath junction).
        registered = self.rig.install_java("C:\\jdk17")
        self.rig.register([("JDK", "17", "C:\\jdk17"), ("JRE", "17", "c:\\JDK17\\")])
        drive = os.path.join(self.s.prefix, "dosdevices", "j:")
        link = self.s.unix_path("C:\\javapath")
        for alias, target in ((drive, "C:\\jdk17"), (link, "C:\\jdk17\\bin")):
            os.symlink(self.s.unix_path(target), alias)
            self.addCleanup(os.remove, alias)
        report = self.list_mode(env={"JAVA_HOME": "J:\\", "WINEPATH": "C:\\javapath"})
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

    def test_vms_that_hang_are_ended_after_twenty_seconds_with_what_they_started_side_by_side(self):
        # The report is read through a pipe, as a script reads it: the pipe closes
        # when the launcher ends, since no VM inherited it or outlives the search.
        # The probes run side by side: the two VMs that hang take 20 seconds in
        # all, not 20 for each, and the last VM answers first, yet the report
        # keeps the order of the list.
        jdk = self.rig.install_vm(JDK, config="hang=1\nchild=1\n")
        jre = self.rig.install_vm(JRE, config="hang=1\nchild=1\n")
        jview = self.rig.install_vm(JVIEW, config="status=314\ndelay=2000\n")
        started = time.monotonic()
        result = subprocess.run([self.s.wine_loader, *self.command()], cwd=self.s.unix_path(WORK),
                                env={k: v for k, v in self.s.env.items() if k not in self.NO_JAVA_PLACES},
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                timeout=120, start_new_session=True)
        elapsed = time.monotonic() - started
        self.assertEqual(result.stdout.decode("latin-1"),
                         "3\r\nNO %s\r\nNO %s\r\nYES %s\r\n" % (jdk.win, jre.win, jview.win))
        self.assertGreaterEqual(elapsed, 19.5)
        self.assertLess(elapsed, 38)
        for vm in (jdk, jre):
            self.assertEqual(self.s.process_count(vm.kind.executable), 0, "the VM or its child still runs")
            run, = self.rig.runs(vm)
            self.assertEqual((run["injob"], run["pipes"]), ("1", "0"))
        self.assertEqual(self.rig.leftovers(), [])

    def test_two_launchers_at_once_each_probe_from_a_folder_of_their_own(self):
        # The second starts while the first probes its slow first VM, and probes its
        # second VM after the first launcher has cleaned up: each run's files are
        # its own.
        jdk = self.rig.install_vm(JDK, config="status=314\ndelay=1500\n")
        jre = self.rig.install_vm(JRE)
        launchers = []
        for _ in range(2):
            launchers.append(self.start(*self.command(), cwd=self.s.unix_path(WORK), env=self.NO_JAVA_PLACES))
            time.sleep(0.7)
        for launcher in launchers:
            self.assertEqual(launcher.wait(60), 0)
            self.assertEqual(launcher.stdout.decode("latin-1"), "2\r\nYES %s\r\nYES %s\r\n" % (jdk.win, jre.win))
        runs = self.rig.runs(jdk) + self.rig.runs(jre)
        self.assertEqual([int(run["classsize"]) for run in runs], [len(rig.probe_class())] * 4)
        self.assertEqual(len({self.class_directory(run) for run in runs}), 2)
        self.assertEqual(self.rig.leftovers(), [])


if __name__ == "__main__":
    wh.main()
