"""The launcher from start to exit under Wine: its mode, the usage message, which
payloads it accepts, the probe class it writes and the files it removes."""

import os

import launcher_rig as rig
import payloads as pl
import wineharness as wh
from launcher_rig import CAPTION, IDC_DOWNLOAD_ADDRESS, IDCANCEL, IDOK, MESSAGE_TEXT_ID, USAGE, read

OPTIONS_USAGE = ("usage:\n\nRadad [/quiet] [/log <file>] [-- <arguments for the installer>]\n"
                 "Radad <version>:<vendor>:<os> ...")


class LauncherSpineTest(rig.LauncherTestCase):
    session_name = "launcher-spine"

    def assert_usage_shown_then_exit(self, process):
        self.s.wait_window(CAPTION, "msgbox", timeout=30)
        self.assertEqual(self.s.control_text(CAPTION, MESSAGE_TEXT_ID, "msgbox"), USAGE)
        self.assertEqual([w for w in self.rig.launcher_windows() if w.kind == "dialog"], [])
        self.s.press(CAPTION, IDOK, "msgbox")
        self.assertEqual(process.wait(30), rig.NO_PAYLOAD)

    def assert_accepted_then_cancel(self, process, address=None):
        controls = self.rig.no_vm_dialog()
        if address is not None:
            self.assertEqual(controls[IDC_DOWNLOAD_ADDRESS].text, address)
        self.s.press(CAPTION, IDCANCEL, "dialog")
        self.assertEqual(process.wait(30), rig.CANCELLED)

    def test_without_payload_shows_the_usage_message_and_removes_the_probe_class(self):
        process = self.start(wh.dist("radad.exe"))
        self.s.wait_window(CAPTION, "msgbox", timeout=30)
        probe = os.path.join(self.rig.run_folder()[1], "QvxVersion.class")
        self.assertEqual(read(probe), rig.probe_class(), "the probe class is written at start")
        self.assertEqual(len(self.rig.launcher_windows()), 1)
        self.assertEqual(self.s.control_text(CAPTION, MESSAGE_TEXT_ID, "msgbox"), USAGE)
        self.s.press(CAPTION, IDOK, "msgbox")
        self.assertEqual(process.wait(30), rig.NO_PAYLOAD)
        self.assertEqual(self.rig.leftovers(), [], "the probe class and its folder are removed")

    def test_payloads_are_accepted_or_refused_by_their_first_three_records(self):
        big_text = pl.record("CommandLine", b"a" * 260 + b"\0")
        eleven = pl.shipped_records() + [pl.record("extra%d" % i, b"x") for i in range(8)]
        cases = [
            ("the shipped layout", pl.shipped_records(), None, True),
            ("names in capitals", [pl.record("COMMANDLINE", pl.text("1.1:A:A")),
                                   pl.record("url", pl.text("http://a/")),
                                   pl.record("setup.class", b"x")], None, True),
            ("an installer of length 0", pl.shipped_records(installer=b""), None, True),
            ("a reserved word set", pl.shipped_records()[:2] + [pl.record("setup.class", b"x", reserved=1)],
             None, True),
            ("eleven records", eleven, None, True),
            ("records in another order", [pl.shipped_records()[1], pl.shipped_records()[0],
                                          pl.shipped_records()[2]], None, False),
            ("a prefix in capitals", [pl.record("CommandLine", pl.text("1.1:A:A"), prefix=b"QVX")]
             + pl.shipped_records()[1:], None, False),
            ("two records only", pl.shipped_records()[:2], None, False),
            ("an installer reaching past the end", pl.shipped_records()[:2]
             + [pl.record("setup.class", b"short", length=1000)], None, False),
            ("a requirement without a NUL in 260 bytes", [big_text] + pl.shipped_records()[1:], None, False),
            ("a trailer equal to the file size", pl.shipped_records(), "size", False),
            ("a trailer past the end", pl.shipped_records(), 0x7FFFFFF0, False),
        ]
        for what, records, trailer, accepted in cases:
            with self.subTest(what):
                if trailer == "size":
                    trailer = len(self.rig.stub) + len(b"".join(records)) + 4
                process = self.start(self.rig.launcher(records, trailer))
                if accepted:
                    self.assert_accepted_then_cancel(process)
                else:
                    self.assert_usage_shown_then_exit(process)
                self.assertEqual(self.rig.leftovers(), [])

    def test_the_download_address_comes_from_the_second_record(self):
        address = "http://kitebay.example/x?y=1"
        process = self.start(self.rig.launcher(pl.shipped_records(address=address)))
        self.assert_accepted_then_cancel(process, address=address)

    def test_files_of_the_records_names_that_this_run_did_not_write_are_left_alone(self):
        others = {"CommandLine": b"another program's", "URL": b"files", "setup.class": b"here"}
        for name, content in others.items():
            pl.write(os.path.join(self.rig.temp, name), content)
        process = self.start(self.rig.launcher(pl.shipped_records()))
        self.assert_accepted_then_cancel(process)
        for name, content in others.items():
            self.assertEqual(read(os.path.join(self.rig.temp, name)), content, name)

    def test_a_requirement_on_the_command_line_selects_list_mode(self):
        result = self.s.run([wh.dist("radad.exe"), "1.1:A:A"], timeout=60)
        self.assertEqual(result.returncode, 0)
        self.assertEqual((result.stdout, result.stderr), (b"0\r\n", b""))
        self.assertEqual(self.rig.launcher_windows(), [])
        self.assertEqual(self.rig.leftovers(), [])

    def test_a_requirement_longer_than_259_characters_is_refused_without_a_report(self):
        words = ["1.0:A:A"] * 32 + ["A:A"]
        fits = self.s.run([wh.dist("radad.exe"), *words], timeout=60)
        self.assertEqual(len(" ".join(words)), 259)
        self.assertEqual(fits.stdout, b"0\r\n")
        too_long = self.s.run([wh.dist("radad.exe"), *words, "x"], timeout=60)
        self.assertEqual(too_long.returncode, 0)
        self.assertEqual(too_long.stdout, b"")

    def test_runs_that_install_nothing_end_with_a_code_of_their_own_and_say_why(self):
        exe = self.rig.launcher(pl.shipped_records())
        self.rig.install_vm(rig.JDK, config="status=159\n")
        log = os.path.join(self.s.dir, "radad.log")
        cases = [
            # what, launcher, options, exit code, last line said on standard error
            ("no qualifying VM", exe, ["/quiet"], rig.NO_QUALIFYING_VM, "no Java VM qualifies for 1.1:A:A"),
            ("no payload", wh.dist("radad.exe"), ["/quiet"], rig.NO_PAYLOAD, "no acceptable payload: "),
            ("an option radad does not know", exe, ["/help", "/quiet", "--", "x"], rig.BAD_OPTION,
             "an option that radad does not know: " + OPTIONS_USAGE.replace("\n", " ")),
            ("a log that cannot be opened", exe, ["/log", "C:\\no such folder\\x.log"], 1622,
             "cannot open the log C:\\no such folder\\x.log (error 3: "),
        ]
        for what, launcher, options, code, said in cases:
            with self.subTest(what):
                self.rig.clear_temp()
                # A window would hold the run until the time-out.
                result = self.s.run([launcher, "/log", self.s.win_path(log), *options], timeout=60,
                                    full_exit_code=True)
                self.assertEqual(result.returncode, code)
                self.assertTrue(result.stderr.splitlines()[-1].decode().startswith(said), result.stderr)
                self.assertEqual(self.rig.leftovers(), [])
        lines = [rig.LOG_LINE.match(line).group(1) for line in read(log).decode().splitlines()]
        self.assertIn("C:\\jdk\\Bin\\java.exe: probe status 159, does not qualify", lines)

    def test_an_option_radad_does_not_know_shows_the_usage_and_runs_nothing(self):
        process = self.start(self.rig.launcher(pl.shipped_records()), "/QUIETER")
        self.s.wait_window(CAPTION, "msgbox", timeout=30)
        self.assertEqual((self.s.control_text(CAPTION, MESSAGE_TEXT_ID, "msgbox"), self.rig.leftovers()),
                         (OPTIONS_USAGE, []))
        self.s.press(CAPTION, IDOK, "msgbox")
        self.assertEqual(process.wait(30), rig.BAD_OPTION)

    def test_a_later_launcher_removes_the_folders_of_launchers_ended_by_force_and_no_other(self):
        vm = self.rig.install_vm(rig.JRE, program=rig.HOLDER)
        pl.write(vm.unix + ".status", b"314")
        stub = read(wh.dist("radad.exe"))
        b, c, d = (pl.write(os.path.join(self.s.dir, name), stub) for name in ("b.exe", "c.exe", "d.exe"))
        # A is ended while its installer runs, which holds the folder's lock too; B
        # while it shows its usage message; C runs on.
        a = self.rig.launcher(pl.shipped_records())
        self.start(a)
        self.rig.search_result()
        pl.write(vm.unix + ".hold", b"")
        self.s.press(CAPTION, IDOK, "dialog")
        self.rig.wait_runs(vm, 2)
        folders = {}
        for name, exe in (("a", None), ("b", b), ("c", c)):
            if exe:
                self.start(exe)
            folders[name] = rig.wait_until(lambda: set(self.run_folders()) - set(folders.values()),
                                           what="the folder of " + name).pop()
        for exe in (a, b):
            name = os.path.basename(exe)
            self.s.wine("taskkill", "/F", "/IM", name, check=True)
            rig.wait_until(lambda: self.s.process_count(name) == 0, what=name + " to end")
        # What another program put there: a folder with a lock that names a record, one without a lock.
        for folder, name, data in [("radad-1234abcd", "radad.lock", b"setup.class\0"), ("radad-1234abcd", "setup.class",
                                    b"x"), ("radad-1234abcd", "other.txt", b"y"), ("radad-abcd1234", "QvxVersion.class", b"")]:
            os.makedirs(os.path.join(self.rig.temp, folder), exist_ok=True)
            pl.write(os.path.join(self.rig.temp, folder, name), data)

        self.assertEqual(self.sweep(d), {
            folders["a"]: ["CommandLine", "QvxVersion.class", "URL", "radad.lock", "setup.class", "stdout.tmp"],
            folders["c"]: ["QvxVersion.class", "radad.lock"],
            "radad-1234abcd": ["other.txt"], "radad-abcd1234": ["QvxVersion.class"]})
        os.remove(vm.unix + ".hold")
        rig.wait_until(lambda: self.s.process_count("jre.exe") == 0, what="A's installer to end")
        self.assertNotIn(folders["a"], self.sweep(d))

    def run_folders(self):
        return [name for name in os.listdir(self.rig.temp) if rig.RUN_FOLDER.fullmatch(name)]

    def sweep(self, launcher):
        """What a launcher that starts leaves in the temporary directory: {folder: its files}."""
        result = self.s.run([launcher, "/quiet"], timeout=60, full_exit_code=True)
        self.assertEqual(result.returncode, rig.NO_PAYLOAD)
        return {name: sorted(os.listdir(os.path.join(self.rig.temp, name))) for name in os.listdir(self.rig.temp)}

    def test_a_temporary_directory_that_does_not_exist_ends_the_run_silently(self):
        # Nowhere to make the run's folder and write the probe class.
        for name in ("TEMP", "TMP"):
            self.s.reg_add("HKCU\\Environment", name, "C:\\no such folder")
        self.addCleanup(self.s.set_temp_dir, self.rig.temp_win.rstrip("\\"))
        result = self.s.run([wh.dist("radad.exe")], timeout=60, full_exit_code=True)
        self.assertEqual(result.returncode, rig.FAILED)
        self.assertEqual(self.rig.launcher_windows(), [])
        self.assertFalse(os.path.exists(self.s.unix_path("C:\\no such folder")))


if __name__ == "__main__":
    wh.main()
