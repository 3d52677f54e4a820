"""The launcher's interactive installation under Wine: the VM choice dialog while
the search runs and after it, the installer written into the temporary directory
and started under the chosen VM, a temporary directory outside the ANSI code
page, the cancel confirmation, and a payload whose installer cannot be written."""

import os
import re
import time

import launcher_rig as rig
import payloads as pl
import wineharness as wh
from launcher_rig import (CAPTION, CONFIRM_CANCEL, IDC_MESSAGE_TEXT, IDC_VM_LIST, IDCANCEL, IDNO, IDOK, IDYES,
                          JDK, JDK_TODAY, JRE, JRE_TODAY, JVIEW, MESSAGE_TEXT_ID, ONE_VM, SEARCHING, SEVERAL_VMS,
                          listed)

REQUIREMENT = "1.1:A:A"
ADDRESS = "http://kitebay.example/getjava"
# More than two copy buffers' worth, so that the copy takes several read/write pairs.
INSTALLER = bytes((i * 7919 + i // 251) & 0xFF for i in range(70001))
PLANTED = "tests/standins/planted/planted.dll"


TRACE_LINE = re.compile(r"^([0-9a-f]+):trace:(?:ole|imm):(\w+) ?(.*)$")


def apartment_calls(trace):
    """What the launcher's main thread did about its COM apartment, in order, as
    Wine traces it: ("CoInitializeEx", threading model), ("CoUninitialize", ""),
    and ("implicit", "") where Wine's input method code enters an apartment for a
    thread by itself when the thread creates windows. The trace's first line is
    the main thread loading its libraries."""
    lines = [m.groups() for m in map(TRACE_LINE.match, trace.decode("latin-1").splitlines()) if m]
    calls = []
    for thread, name, arguments in lines:
        if thread != lines[0][0]:
            continue
        if name == "imm_coinit_thread":
            calls.append(("implicit", ""))
        elif name == "CoInitializeEx" and not arguments.startswith("Initializing"):
            calls.append((name, arguments.rpartition(", ")[2]))
        elif name == "CoUninitialize" and not arguments.startswith("Releasing"):
            calls.append((name, ""))
    return calls


class VmChoiceDialogTest(rig.LauncherTestCase):
    session_name = "vm-choice-dialog"
    payload = (REQUIREMENT, ADDRESS, INSTALLER)

    def start(self, exe=None, **spawn_options):
        process = super().start(exe or self.exe, **spawn_options)
        self.s.wait_window(CAPTION, "dialog", timeout=30)
        return process

    def test_the_dialog_shows_the_search_centred_then_one_vm_and_runs_the_installer_from_its_files(self):
        # Records after the installer are written out too, an empty one as an empty file.
        extra = {"readme.txt": b"Kitebay\r\n", "empty.dat": b""}
        exe = self.rig.launcher(self.records + [pl.record(n, d) for n, d in extra.items()])
        # The stand-in VM holds the launcher at the two moments to look at: while
        # its probe runs, and while the installer runs from the extracted files.
        vm = self.rig.install_vm(JRE, program=rig.HOLDER)
        hold = vm.unix + ".hold"
        pl.write(vm.unix + ".status", b"314")
        pl.write(hold, b"")
        process = self.start(exe)
        self.rig.wait_runs(vm, 1)

        controls = {c.id: c for c in self.s.controls(CAPTION, "dialog")}
        self.assertEqual(controls[IDC_MESSAGE_TEXT].text, SEARCHING)
        self.assertEqual(controls[IDC_VM_LIST].text, "")
        self.assertNotEqual(controls[IDOK].checked, -1, "the dialog does not answer while it searches")
        rect = self.s.rect(CAPTION, "dialog")
        self.assert_centred(rect)
        # The text must be on the screen, not only in the control: the client area
        # (inside the frame, below the caption) holds dark text pixels.
        pixels = self.rig.screen_area_pixels(rect.left + 8, rect.top + 30, rect.right - 8, rect.bottom - 8)
        self.assertGreater(sum(1 for p in pixels if p < 96), 50, "the searching text is not painted")

        os.remove(hold)
        controls = self.rig.search_result()
        self.assertEqual(controls[IDC_MESSAGE_TEXT].text, ONE_VM)
        self.assertEqual(self.s.combo(CAPTION, IDC_VM_LIST, "dialog"),
                         ([wh.ComboItem(0, 1, "C:\\jre\\Bin\\jre.exe")], 0))
        self.assert_centred(self.s.rect(CAPTION, "dialog"))

        pl.write(hold, b"")
        self.s.press(CAPTION, IDOK, "dialog")
        runs = self.rig.wait_runs(vm, 2)
        started = time.monotonic()
        folder = self.rig.run_folder()[0]
        self.assertEqual(runs[1]["commandline"], '"C:\\jre\\Bin\\jre.exe" -cp %s setup' % folder)
        # An installer outlives the probes' 20 s: the launcher hides its dialog and
        # waits, answering messages, and the files stay until the installer ends.
        time.sleep(max(0.0, 22 - (time.monotonic() - started)))
        self.assertIsNone(process.poll())
        self.assertEqual(self.rig.launcher_windows(), [])
        ok_button = [c for c in self.s.controls(CAPTION, "dialog", hidden=True) if c.id == IDOK]
        self.assertNotEqual(ok_button[0].checked, -1, "the launcher's thread does not answer")
        expected = {"CommandLine": pl.text(REQUIREMENT), "URL": pl.text(ADDRESS), "setup.class": INSTALLER,
                    **extra}
        files = self.rig.run_files()
        self.assertEqual(sorted(files), sorted(list(expected) + ["QvxVersion.class", "stdout.tmp", "radad.lock"]))
        # The lock names the files written, for a later launcher should this one be ended by force.
        self.assertEqual(files["radad.lock"], b"".join(name.encode() + b"\0" for name in ["QvxVersion.class", *expected]))
        for name, data in expected.items():
            with self.subTest(file=name):
                self.assertEqual(files[name], data)
        os.remove(hold)
        # The installer's own exit code (the stand-in's status).
        self.assert_ended_cleanly(process, 314)

    def test_ok_with_one_vm_starts_setup_under_it_as_its_kind_requires(self):
        # The run's folder stands for {run} (without its trailing backslash).
        cases = [
            # kind, installer record's name, command line after the quoted path, working directory
            (JDK, "setup.class", "setup", "{run}"),
            (JRE, "setup.class", "-cp {run}\\ setup", "C:\\"),
            (JVIEW, "setup.class", "-cp:p {run}\\ setup", "{run}"),
            (JDK_TODAY, "setup.class", "setup", "{run}"),
            # The class name is the record's name cut at its last dot only.
            (JDK, "kite.setup.class", "kite.setup", "{run}"),
        ]
        for kind, installer_name, tail, cwd in cases:
            with self.subTest(kind=kind.name, installer=installer_name):
                self.rig.reset()
                vm = self.rig.install_vm(kind)
                exe = self.exe
                if installer_name != "setup.class":
                    exe = self.rig.launcher(self.records[:2] + [pl.record(installer_name, INSTALLER)])
                process = self.start(exe)
                controls = self.rig.search_result()
                self.assertEqual(controls[IDC_MESSAGE_TEXT].text, ONE_VM)
                items, selection = self.s.combo(CAPTION, IDC_VM_LIST, "dialog")
                self.assertEqual([(i.text, i.data) for i in items], [(listed(vm), kind.slot)])
                self.assertEqual(selection, 0)
                self.s.press(CAPTION, IDOK, "dialog")
                self.assert_ended_cleanly(process, 314)
                probe, installer = self.rig.runs(vm)
                self.assertEqual(probe["class"], "QvxVersion")
                run = self.class_directory(installer).rstrip("\\")
                self.assertEqual(installer["commandline"], '"%s" %s' % (listed(vm), tail.format(run=run)))
                self.assertEqual(installer["cwd"], cwd.format(run=run))
                # Both run in a job of the launcher's: the probe's ends it, the
                # installer's only counts its processes.
                self.assertEqual((probe["injob"], installer["injob"]), ("1", "1"))
                self.assertEqual((installer["classsize"], installer["classhash"]),
                                 (str(len(INSTALLER)), rig.fnv1a(INSTALLER)))

    def test_a_quiet_installation_shows_nothing_passes_the_arguments_logs_and_waits_for_the_installers_copy(self):
        # Sorted, C:\aa's jre.exe comes before C:\zz's java.exe: the VM the dialog would
        # preselect, though the search found the other one first.
        self.rig.install_vm(JDK, "C:\\zz")
        vm = self.rig.install_vm(JRE, "C:\\aa", config="status:QvxVersion=314\nstatus=3010\noutput=installer out\n"
                                                       "errors=installer err\nrelaunch=2000\n")
        log = "C:\\deploy logs\\kitebay.log"
        os.makedirs(os.path.dirname(self.s.unix_path(log)), exist_ok=True)
        pl.write(self.s.unix_path(log), b"an earlier run's line\r\n")
        # One inherited from whatever started the launcher is not for the probes.
        process = rig.LauncherTestCase.start(self, self.exe, "/QUIET", "/Log", log, "--", "-dir",
                                             "C:\\Program Files\\Kitebay", env={"RADAD_LAUNCHER": "C:\\x.exe"})
        self.rig.wait_runs(vm, 2)
        # The first VM has ended, its copy runs for two seconds more: no window of
        # the launcher's, hidden or not.
        self.assertEqual([w for w in self.s.windows(hidden=True) if w.caption == CAPTION], [])
        self.assertEqual(process.wait(30), 3010, "the installer's own exit code")
        probe, installer, copy = self.rig.runs(vm)
        folder = self.class_directory(installer)
        command = '"C:\\aa\\Bin\\jre.exe" -cp %s setup -dir "C:\\Program Files\\Kitebay"' % folder
        self.assertEqual(installer["commandline"], command)
        launcher = self.s.win_path(self.exe)
        self.assertEqual([r["launcher"] for r in (probe, installer, copy)], ["(none)", launcher, launcher])
        # The copy looked two seconds after the first VM had ended: the records were there.
        self.assertEqual((copy["relaunched"], copy["classsize"]), ("1", str(len(INSTALLER))))
        # Wine keeps no DACL of its own but derives one from the Unix mode, which it
        # derives from the DACL given: today's folder granted Everyone (WD) read.
        self.assertRegex(installer["folderdacl"], r"^D:[^W]*\(A;OICI;FA;;;S-1-5-21-[-0-9]+\)$")
        self.assertEqual(self.rig.leftovers(), [])

        lines = rig.read(self.s.unix_path(log)).decode("utf-8").split("\r\n")
        # The earlier run's line is kept, the installer's output lies among the launcher's lines.
        self.assertEqual([line for line in lines if not rig.LOG_LINE.match(line)],
                         ["an earlier run's line", "installer out", "installer err", ""])
        texts = [m.group(1) for m in map(rig.LOG_LINE.match, lines) if m]
        self.assertEqual({"payload accepted: requirement %s, download address %s, installer setup.class" % (
            REQUIREMENT, ADDRESS), "the run's folder is " + folder, "found C:\\zz\\Bin\\java.exe",
            "C:\\zz\\Bin\\java.exe: probe status 314, qualifies"} - set(texts), set())
        self.assertRegex(texts[-2], r"^started process \d+: " + re.escape(command) + "$")
        self.assertEqual(texts[-1], "the installer ended with exit code 3010")
        self.assertEqual(process.stderr.splitlines()[-1], texts[-1].encode())

    def test_a_temporary_directory_outside_the_ansi_code_page_holds_the_installation(self):
        # Code page 1252 cannot spell the omega: the launcher reaches the folder
        # through its UTF-8 code page, and hands the VM the folder's short name,
        # which a VM that reads its command line and environment in the ANSI
        # code page can read too.
        greek_win = "C:\\users\\\u03a9mega\\Temp"
        self.s.set_temp_dir(greek_win)
        self.addCleanup(self.s.set_temp_dir, self.rig.temp_win.rstrip("\\"))
        greek = self.s.unix_path(greek_win)
        # A DLL beside the launcher under the name of one it loads late, which
        # Wine would prefer to its own when the search reached that folder.
        planted = self.s.install(wh.cross(PLANTED), self.s.win_path(os.path.dirname(self.exe)) + "\\ole32.dll")
        self.addCleanup(os.remove, planted)
        vm = self.rig.install_vm(JDK)
        process = self.start(env={"WINEDLLOVERRIDES": "ole32=n,b"})
        self.rig.search_result()
        self.s.press(CAPTION, IDOK, "dialog")
        self.assert_ended_cleanly(process, 314)
        self.assertFalse(os.path.exists(planted + ".loaded"), "ole32.dll was taken from the launcher's folder")
        probe, installer = self.rig.runs(vm)
        short = probe["classpathvar"]
        self.assertRegex(short, r"^C:\\[!-~]+\\$", "not an ASCII path")
        self.assertEqual([(run["cwd"], run["classpathvar"], run["classfile"]) for run in (probe, installer)],
                         [(short.rstrip("\\"), short, short + name + ".class") for name in ("QvxVersion", "setup")])
        self.assertEqual((installer["classsize"], installer["classhash"]), (str(len(INSTALLER)), rig.fnv1a(INSTALLER)))
        self.assertEqual(os.listdir(greek), [], "the files of the run are removed")

    def test_several_vms_are_listed_in_sorted_order_and_ok_runs_the_vm_of_the_entrys_slot(self):
        # Homes chosen so that the sorted order differs from the slot order.
        cases = [
            # what, installed (kind, home, qualifies), expected entries (path, slot), index chosen
            ("two VMs", [(JDK, "C:\\zz", True), (JRE, "C:\\aa", True)],
             [("C:\\aa\\Bin\\jre.exe", 1), ("C:\\zz\\Bin\\java.exe", 0)], 1),
            ("three VMs", [(JDK, "C:\\zz", True), (JRE, "C:\\mm", True), (JVIEW, None, True)],
             [("C:\\mm\\Bin\\jre.exe", 1), ("C:\\windows\\jview.exe", 2), ("C:\\zz\\Bin\\java.exe", 0)], 1),
            ("three found, one not qualifying",
             [(JDK, "C:\\zz", True), (JRE, "C:\\mm", False), (JVIEW, None, True)],
             [("C:\\windows\\jview.exe", 2), ("C:\\zz\\Bin\\java.exe", 0)], 1),
            # Today's VMs follow in slots 3 on: newest first under JDK, then JRE.
            ("six found, three of today's keys",
             [(JDK, "C:\\zz", True), (JRE, "C:\\yy", True), (JVIEW, None, True),
              (JDK_TODAY, "C:\\bb", True, "17"), (JDK_TODAY, "C:\\aa", True, "21"), (JRE_TODAY, "C:\\cc", True)],
             [("C:\\aa\\bin\\java.exe", 3), ("C:\\bb\\bin\\java.exe", 4), ("C:\\cc\\bin\\java.exe", 5),
              ("C:\\windows\\jview.exe", 2), ("C:\\yy\\Bin\\jre.exe", 1), ("C:\\zz\\Bin\\java.exe", 0)], 2),
        ]
        for what, installed, entries, chosen in cases:
            with self.subTest(what):
                self.rig.reset()
                vms = [self.rig.install_vm(kind, home, config="status=%d\n" % (314 if ok else 159),
                                           version=version[0] if version else "1.1")
                       for kind, home, ok, *version in installed]
                process = self.start()
                controls = self.rig.search_result()
                self.assertEqual(controls[IDC_MESSAGE_TEXT].text, SEVERAL_VMS)
                items, selection = self.s.combo(CAPTION, IDC_VM_LIST, "dialog")
                self.assertEqual([(i.text, i.data) for i in items], entries)
                self.assertEqual(selection, 0)
                self.s.select(CAPTION, IDC_VM_LIST, chosen, "dialog")
                self.s.press(CAPTION, IDOK, "dialog")
                self.assert_ended_cleanly(process, 314)
                chosen_path = entries[chosen][0]
                for vm in vms:
                    classes = [r["class"] for r in self.rig.runs(vm)]
                    expected = ["QvxVersion", "setup"] if listed(vm) == chosen_path else ["QvxVersion"]
                    self.assertEqual(classes, expected, vm.win)

    def test_cancel_asks_first_no_keeps_the_dialog_and_its_selection_yes_ends_it_without_extracting(self):
        ways = [("the Cancel button", lambda: self.s.press(CAPTION, IDCANCEL, "dialog")),
                ("Esc", lambda: self.s.key(CAPTION, "esc", "dialog"))]
        # Files of the records' names that another program put into the run's
        # folder: an extraction would replace them.
        others = {"CommandLine": b"not ours", "URL": b"nor this", "setup.class": b"nor that"}
        for how, cancel in ways:
            with self.subTest(how):
                self.rig.reset()
                vms = [self.rig.install_vm(JDK, "C:\\zz"), self.rig.install_vm(JRE, "C:\\aa")]
                process = self.start()
                self.rig.search_result()
                folder = self.rig.run_folder()[1]
                for name, data in others.items():
                    pl.write(os.path.join(folder, name), data)
                dialog = [w for w in self.s.windows("dialog") if w.caption == CAPTION][0]
                self.s.select(CAPTION, IDC_VM_LIST, 1, "dialog")

                cancel()
                self.s.wait_window(CAPTION, "msgbox")
                box = [w for w in self.s.windows("msgbox") if w.caption == CAPTION]
                self.assertEqual([w.owner for w in box], [dialog.handle])
                self.assertEqual(self.s.control_text(CAPTION, MESSAGE_TEXT_ID, "msgbox"), CONFIRM_CANCEL)
                buttons = {c.id: c.text for c in self.s.controls(CAPTION, "msgbox") if c.cls == "Button"}
                self.assertEqual(buttons, {IDYES: "&Yes", IDNO: "&No"})
                self.s.press(CAPTION, IDNO, "msgbox")
                self.s.wait_gone(CAPTION, "msgbox")
                self.assertEqual(self.s.combo(CAPTION, IDC_VM_LIST, "dialog")[1], 1)
                self.assertEqual(self.s.control_text(CAPTION, IDC_MESSAGE_TEXT, "dialog"), SEVERAL_VMS)
                self.assertIsNone(process.poll())

                cancel()
                self.s.wait_window(CAPTION, "msgbox")
                self.s.press(CAPTION, IDYES, "msgbox")
                self.assert_ended_cleanly(process, rig.CANCELLED,
                                          leftovers=["radad-*"] + ["radad-*/" + n for n in others])
                for vm in vms:
                    self.assertEqual([r["class"] for r in self.rig.runs(vm)], ["QvxVersion"], vm.win)
                for name, data in others.items():
                    self.assertEqual(rig.read(os.path.join(folder, name)), data, name)

    def test_a_chosen_vm_that_cannot_start_is_named_in_a_message_and_the_choice_stays(self):
        gone = self.rig.install_vm(JDK, "C:\\zz")
        vm = self.rig.install_vm(JRE, "C:\\aa")
        process = self.start()
        self.rig.search_result()
        # Removed after the search, before OK.
        os.rename(gone.unix, gone.unix + ".removed")
        self.addCleanup(os.rename, gone.unix + ".removed", gone.unix)
        self.s.select(CAPTION, IDC_VM_LIST, 1, "dialog")
        self.s.press(CAPTION, IDOK, "dialog")
        self.s.wait_window(CAPTION, "msgbox")
        self.assertRegex(self.s.control_text(CAPTION, MESSAGE_TEXT_ID, "msgbox"),
                         r"^Cannot start the Java virtual machine C:\\zz\\Bin\\java\.exe \(error 2: .+\)\.\n\n"
                         r"Please choose another Java virtual machine, or cancel the installation\.$")
        self.s.press(CAPTION, IDOK, "msgbox")
        self.s.wait_gone(CAPTION, "msgbox")
        # The dialog is still there for another choice.
        self.s.select(CAPTION, IDC_VM_LIST, 0, "dialog")
        self.s.press(CAPTION, IDOK, "dialog")
        self.assert_ended_cleanly(process, 314)
        self.assertEqual([r["class"] for r in self.rig.runs(vm)], ["QvxVersion", "setup"])

    def test_the_dialogs_run_in_a_single_threaded_com_apartment_that_is_left_at_the_end(self):
        # The shell's folder browser wants one on the thread that calls it; the
        # launcher enters it before its first window, not only through Wine.
        self.rig.install_vm(JDK)
        # Started directly, so that the trace's first thread is the launcher's.
        process = self.start(env={"WINEDEBUG": "trace+ole,trace+imm"}, full_exit_code=False)
        self.rig.search_result()
        self.assertEqual(apartment_calls(process.stderr)[:1], [("CoInitializeEx", "0x2")])
        self.s.press(CAPTION, IDCANCEL, "dialog")
        self.s.wait_window(CAPTION, "msgbox")
        self.s.press(CAPTION, IDYES, "msgbox")
        # Unix keeps the low 8 bits of the exit code.
        self.assertEqual(process.wait(30), rig.CANCELLED & 0xFF)
        calls = [name for name, _ in apartment_calls(process.stderr)]
        self.assertEqual(calls.count("CoUninitialize"), calls.count("CoInitializeEx"), calls)

    def test_an_installer_that_cannot_be_written_ends_the_run_silently(self):
        reserved = self.rig.launcher(self.records[:2] + [pl.record("setup.class", INSTALLER, reserved=1)])
        cases = [
            # what, launcher, what stands in the way of setup.class (a folder, or a file's bytes)
            ("a folder named setup.class", self.exe, "folder"),
            ("a reserved word on the third record", reserved, b"another program's setup.class"),
        ]
        for what, exe, obstacle in cases:
            with self.subTest(what):
                self.rig.reset()
                vm = self.rig.install_vm(JDK)
                process = self.start(exe)
                self.rig.search_result()
                target = os.path.join(self.rig.run_folder()[1], "setup.class")
                if obstacle == "folder":
                    os.makedirs(target)
                else:
                    pl.write(target, obstacle)
                self.s.press(CAPTION, IDOK, "dialog")
                # No message: the run ends by itself, and nothing is left on the screen.
                self.assert_ended_cleanly(process, rig.FAILED, leftovers=["radad-*", "radad-*/setup.class"])
                self.assertEqual([r["class"] for r in self.rig.runs(vm)], ["QvxVersion"])
                if obstacle == "folder":
                    self.assertTrue(os.path.isdir(target))
                else:
                    self.assertEqual(rig.read(target), obstacle, "a file this run did not write is kept")

    def test_a_record_name_that_is_not_a_plain_file_name_never_leads_out_of_the_temporary_directory(self):
        parent = os.path.dirname(self.rig.temp.rstrip("/"))
        for name in ("..\\escaped.txt", "../escaped.txt", "C:escaped.txt", ".."):
            with self.subTest(name):
                self.rig.reset()
                vm = self.rig.install_vm(JDK)
                process = self.start(self.rig.launcher(self.records + [pl.record(name, b"escaped")]))
                self.rig.search_result()
                self.s.press(CAPTION, IDOK, "dialog")
                # The files this run wrote are removed.
                self.assert_ended_cleanly(process, rig.FAILED)
                self.assertEqual([r["class"] for r in self.rig.runs(vm)], ["QvxVersion"])
                self.assertFalse(os.path.exists(os.path.join(parent, "escaped.txt")))
                self.assertFalse(os.path.exists(self.s.unix_path("C:\\escaped.txt")))


if __name__ == "__main__":
    wh.main()
