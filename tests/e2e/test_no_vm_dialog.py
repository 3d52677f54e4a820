"""The no-VM dialog under Wine: its starting state, the controls each option
enables, the checks and messages of the run and save options, the download
address handed to the shell, and Cancel and Esc."""

import os
import shutil

import launcher_rig as rig
import payloads as pl
import wineharness as wh
from launcher_rig import (CAPTION, IDC_BROWSE_FOLDER, IDC_BROWSE_VM, IDC_DOWNLOAD_ADDRESS, IDC_MESSAGE_TEXT,
                          IDC_OPTION_DOWNLOAD, IDC_OPTION_RUN_VM, IDC_OPTION_SAVE, IDC_SAVE_FOLDER, IDC_VM_PATH,
                          IDCANCEL, IDOK, JDK, JVIEW, MESSAGE_TEXT_ID, NO_VM_FOUND, NONE_QUALIFIES)

OPTION_CONTROLS = (IDC_VM_PATH, IDC_BROWSE_VM, IDC_SAVE_FOLDER, IDC_BROWSE_FOLDER)
CANNOT_SAVE = "Cannot save file to specified path."
NOT_A_VM = "Cannot run specified executable. This file does not appear to be a Java virtual machine."
NO_VM_PATH = ("Please specify a path to the desired Java virtual machine by typing it or clicking the "
              "Browse button.")
NO_VM_AT_PATH = "No Java virtual machine was found at the specified path."
SAVED = "This application has been saved to %s."
NO_SAVE_FOLDER = "Please specify a location for the application typing it or clicking the Browse button."

REQUIREMENT = "1.1:A:A"
ADDRESS = "http://kitebay.example/getjava?lang=en"
INSTALLER = bytes((i * 40503 + 17) >> 3 & 0xFF for i in range(48000))
OPENER = "C:\\opener\\opener.exe"
# The platform's own dialogs as Wine's English resources name them.
OPEN_CAPTION, FILE_TYPE_LIST, FILE_NAME_BOX = "Open", 1136, 1148
FOLDER_CAPTION = "Browse for Folder"
# radad holds a path in 780 bytes, room for Windows' 259 characters in UTF-8.
PATH_BUFFER = 780


def folder_of_length(letter, length):
    """C:\\ and folders of the letter, length characters in all (no folder name
    over 199 characters, and so none over the 255 bytes Linux allows)."""
    return "C:\\" + "\\".join([letter * 199] * 3) + "\\" + letter * (length - 3 - 3 * 200)


class NoVmDialogTest(rig.LauncherTestCase):
    session_name = "no-vm-dialog"
    payload = (REQUIREMENT, ADDRESS, INSTALLER)

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # The shell opens http addresses with this command; the stand-in records
        # the address it is given.
        cls.opener = cls.s.install(wh.cross(rig.HOLDER), OPENER)
        cls.s.reg_add(r"HKCR\http\shell\open\command", "", '"%s" "%%1"' % OPENER)

    def setUp(self):
        super().setUp()
        if os.path.exists(self.opener + ".log"):
            os.remove(self.opener + ".log")

    # -- helpers --------------------------------------------------------------

    def start(self, exe=None):
        """Starts a launcher and waits for the no-VM dialog; returns the process."""
        process = super().start(exe or self.exe)
        self.rig.no_vm_dialog()
        return process

    def controls(self):
        return {c.id: c for c in self.s.controls(CAPTION, "dialog", timeout=2)}

    def dialog(self):
        return [w for w in self.s.windows("dialog") if w.caption == CAPTION][0]

    def choose(self, option):
        self.s.check(CAPTION, option, "dialog")

    def ok_gives_message(self, text, owner):
        """OK brings a message box with this text under owner (a window handle, or
        0 for none); the box is closed and the dialog must still be there."""
        self.s.press(CAPTION, IDOK, "dialog")
        self.s.wait_window(CAPTION, "msgbox")
        boxes = [w for w in self.s.windows("msgbox") if w.caption == CAPTION]
        self.assertEqual([w.owner for w in boxes], [owner])
        self.assertEqual(self.s.control_text(CAPTION, MESSAGE_TEXT_ID, "msgbox"), text)
        self.s.press(CAPTION, IDOK, "msgbox")
        self.s.wait_gone(CAPTION, "msgbox")
        self.assertIn(IDC_OPTION_DOWNLOAD, self.controls(), "the dialog stays")

    def cancel(self, process):
        self.s.press(CAPTION, IDCANCEL, "dialog")
        self.assertEqual(process.wait(30), rig.CANCELLED)

    # -- tests ----------------------------------------------------------------

    def test_it_opens_centred_with_the_download_option_chosen_what_was_found_and_its_address_shown(self):
        # The requirement's alternative that no VM meets is left out of its words;
        # a VM whose probe gave no version is listed as such.
        listed = ("C:\\jdk\\Bin\\java.exe: Java 11.0.2\r\n"
                  "C:\\windows\\jview.exe: version unknown\r\n")
        cases = [
            # what, requirement, (kind, stand-in's configuration) installed, the text
            ("no VM installed", REQUIREMENT, [], NO_VM_FOUND % "Java 1.1 or later"),
            ("VMs that do not qualify", "17+:A:A 1.2:A:A",
             [(JDK, "status=159\noutput=NO\\n11.0.2\n"), (JVIEW, "status=1\n")],
             NONE_QUALIFIES % ("Java 17 or later", listed)),
        ]
        for what, requirement, installed, text in cases:
            with self.subTest(what):
                self.rig.reset()
                vms = [self.rig.install_vm(kind, config=config) for kind, config in installed]
                process = self.start(self.rig.launcher(pl.shipped_records(requirement, ADDRESS, INSTALLER)))
                controls = self.controls()
                expected = [
                    # id, enabled, checked, text
                    (IDC_MESSAGE_TEXT, True, None, text),
                    (IDC_OPTION_DOWNLOAD, True, 1, "&Download a free Java VM from the following site:"),
                    (IDC_OPTION_RUN_VM, True, 0, "&Run the installation with the VM from this location:"),
                    (IDC_OPTION_SAVE, True, 0, "&Save the application to this location:"),
                    (IDC_DOWNLOAD_ADDRESS, True, None, ADDRESS),
                    (IDC_VM_PATH, False, None, ""),
                    (IDC_BROWSE_VM, False, 0, "&Browse"),
                    (IDC_SAVE_FOLDER, False, None, ""),
                    (IDC_BROWSE_FOLDER, False, 0, "Br&owse"),
                    (IDOK, True, 0, "OK"),
                    (IDCANCEL, True, 0, "Cancel"),
                ]
                self.assertEqual([(i, controls[i].enabled, controls[i].checked, controls[i].text)
                                  for i, _, _, _ in expected], expected)
                self.assert_centred(self.s.rect(CAPTION, "dialog"))
                # The VM choice dialog has hidden itself behind this one.
                hidden = [w for w in self.s.windows("dialog", hidden=True)
                          if w.caption == CAPTION and not w.visible]
                self.assertEqual(len(hidden), 1)
                for vm in vms:
                    self.assertEqual([r["class"] for r in self.rig.runs(vm)], ["QvxVersion"])
                self.cancel(process)

    def test_each_option_enables_exactly_its_own_controls_and_typed_texts_survive(self):
        process = self.start()
        steps = [
            # option chosen, text typed into (field, text) once enabled, enabled state of
            # (VM path, its Browse, save folder, its Browse)
            (IDC_OPTION_RUN_VM, (IDC_VM_PATH, "C:\\typed\\java.exe"), (True, True, False, False)),
            (IDC_OPTION_SAVE, (IDC_SAVE_FOLDER, "C:\\typed folder"), (False, False, True, True)),
            (IDC_OPTION_DOWNLOAD, None, (False, False, False, False)),
            (IDC_OPTION_RUN_VM, None, (True, True, False, False)),
            (IDC_OPTION_SAVE, None, (False, False, True, True)),
        ]
        for number, (option, typed, enabled) in enumerate(steps):
            with self.subTest(step=number, option=option):
                self.choose(option)
                controls = self.controls()
                self.assertEqual(tuple(controls[i].enabled for i in OPTION_CONTROLS), enabled)
                self.assertEqual([o for o in (IDC_OPTION_DOWNLOAD, IDC_OPTION_RUN_VM, IDC_OPTION_SAVE)
                                  if controls[o].checked == 1], [option])
                if typed:
                    self.s.set_text(CAPTION, typed[0], typed[1], "dialog")
                self.assertEqual(self.s.control_text(CAPTION, IDC_VM_PATH, "dialog"), "C:\\typed\\java.exe")
                if number >= 1:
                    self.assertEqual(self.s.control_text(CAPTION, IDC_SAVE_FOLDER, "dialog"),
                                     "C:\\typed folder")
        self.cancel(process)

    def test_the_run_option_refuses_a_path_that_is_no_qualifying_vm_then_runs_one_that_qualifies(self):
        javaw = self.rig.install_program("C:\\vm\\javaw.exe")
        # Where OpenFile finds a bare name (the launcher's current directory), but
        # not on PATH, where the search for VMs would find it.
        on_search_path = self.rig.install_program("C:\\java.exe")
        refused = self.rig.install_program("C:\\vm\\JAVA.EXE", config="status=159\n")
        accepted = self.rig.install_program("C:\\vm2\\JAVA.EXE")
        process = self.start()
        folder = self.rig.run_folder()[0]
        dialog = self.dialog().handle
        self.choose(IDC_OPTION_RUN_VM)
        cases = [
            ("an empty path", "", NO_VM_PATH),
            ("a missing file", "C:\\nothere\\java.exe", NO_VM_AT_PATH),
            ("a file of no known VM's name", javaw.win, NOT_A_VM),
            ("a VM's name without a backslash", "java.exe", NOT_A_VM),
            ("a VM that does not qualify", refused.win, NOT_A_VM),
        ]
        for what, path, message in cases:
            with self.subTest(what):
                self.s.set_text(CAPTION, IDC_VM_PATH, path, "dialog")
                self.ok_gives_message(message, dialog)
                self.assertEqual(self.s.control_text(CAPTION, IDC_VM_PATH, "dialog"), path)
        self.assertEqual(self.rig.runs(javaw), [])
        self.assertEqual(self.rig.runs(on_search_path), [])
        self.assertEqual([r["commandline"] for r in self.rig.runs(refused)],
                         ['"%s" QvxVersion %s' % (refused.win, REQUIREMENT)])

        self.s.set_text(CAPTION, IDC_VM_PATH, accepted.win, "dialog")
        self.s.press(CAPTION, IDOK, "dialog")
        self.assert_ended_cleanly(process, 314)
        probe, installer = self.rig.runs(accepted)
        self.assertEqual(probe["commandline"], '"%s" QvxVersion %s' % (accepted.win, REQUIREMENT))
        self.assertEqual(installer["commandline"], '"%s" setup' % accepted.win)
        self.assertEqual(installer["cwd"], folder.rstrip("\\"))
        self.assertEqual((installer["classsize"], installer["classhash"]),
                         (str(len(INSTALLER)), rig.fnv1a(INSTALLER)))

    def test_the_named_vms_probe_leaves_the_dialog_answering_and_drops_a_command_meanwhile(self):
        # The stand-in holds its probe. An OK that came meanwhile would start a
        # second probe and a second installer once the first had ended.
        vm = self.rig.install_program("C:\\vm3\\java.exe", program=rig.HOLDER)
        pl.write(vm.unix + ".status", b"314")
        pl.write(vm.unix + ".hold", b"")
        process = self.start()
        self.choose(IDC_OPTION_RUN_VM)
        self.s.set_text(CAPTION, IDC_VM_PATH, vm.win, "dialog")
        self.s.press(CAPTION, IDOK, "dialog")
        self.rig.wait_runs(vm, 1)
        self.assertNotEqual(self.controls()[IDOK].checked, -1, "the dialog does not answer during the probe")
        self.s.press(CAPTION, IDOK, "dialog")
        os.remove(vm.unix + ".hold")
        self.assert_ended_cleanly(process, 314)
        self.assertEqual([r["commandline"] for r in self.rig.runs(vm)],
                         ['"%s" QvxVersion %s' % (vm.win, REQUIREMENT), '"%s" setup' % vm.win])

    def test_a_run_whose_installer_cannot_be_written_ends_silently(self):
        vm = self.rig.install_program("C:\\vm2\\JAVA.EXE")
        process = self.start()
        os.makedirs(os.path.join(self.rig.run_folder()[1], "setup.class"))
        self.choose(IDC_OPTION_RUN_VM)
        self.s.set_text(CAPTION, IDC_VM_PATH, vm.win, "dialog")
        self.s.press(CAPTION, IDOK, "dialog")
        self.assert_ended_cleanly(process, rig.FAILED, leftovers=["radad-*", "radad-*/setup.class"])
        self.assertEqual([r["class"] for r in self.rig.runs(vm)], ["QvxVersion"])

    def test_the_save_option_refuses_an_empty_missing_or_too_long_folder_and_stays(self):
        # The folder, a backslash and "setup.class" one byte over the path buffer.
        long_folder = folder_of_length("L", PATH_BUFFER - len("\\setup.class"))
        os.makedirs(self.s.unix_path(long_folder), exist_ok=True)
        process = self.start()
        dialog = self.dialog().handle
        self.choose(IDC_OPTION_SAVE)
        cases = [
            ("an empty folder text", "", NO_SAVE_FOLDER, dialog),
            ("a folder that does not exist", "C:\\nowhere", CANNOT_SAVE, 0),
            ("a path one byte over the buffer", long_folder, CANNOT_SAVE, 0),
        ]
        for what, folder, message, owner in cases:
            with self.subTest(what):
                self.s.set_text(CAPTION, IDC_SAVE_FOLDER, folder, "dialog")
                self.ok_gives_message(message, owner)
                self.assertEqual(self.s.control_text(CAPTION, IDC_SAVE_FOLDER, "dialog"), folder)
        self.assertFalse(os.path.exists(self.s.unix_path("C:\\nowhere")))
        self.assertEqual(os.listdir(self.s.unix_path(long_folder)), [])
        self.cancel(process)

    def test_the_save_option_writes_exactly_the_installer_under_its_record_name(self):
        # 259 characters with \\setup.class, as many as Windows allows, in 502 bytes.
        greek_folder = "C:\\" + "\u03a9" * 120 + "\\" + "\u03a9" * 123
        cases = [
            # what, folder text, folder's Unix-side preparation, saved path
            ("a folder", "C:\\out", None, "C:\\out\\setup.class"),
            ("a folder with a trailing backslash", "C:\\out\\", None, "C:\\out\\setup.class"),
            ("a folder holding a longer setup.class", "C:\\out", b"older and longer " * 5000,
             "C:\\out\\setup.class"),
            ("a path of 259 characters outside the ANSI code page", greek_folder, None,
             greek_folder + "\\setup.class"),
        ]
        for what, folder, existing, saved in cases:
            with self.subTest(what):
                self.rig.reset()
                unix_folder = self.s.unix_path(folder.rstrip("\\"))
                if os.path.isdir(unix_folder):
                    for name in os.listdir(unix_folder):
                        os.remove(os.path.join(unix_folder, name))
                os.makedirs(unix_folder, exist_ok=True)
                if existing:
                    pl.write(os.path.join(unix_folder, "setup.class"), existing)
                process = self.start()
                dialog = self.dialog().handle
                self.choose(IDC_OPTION_SAVE)
                self.s.set_text(CAPTION, IDC_SAVE_FOLDER, folder, "dialog")
                self.s.press(CAPTION, IDOK, "dialog")
                self.s.wait_window(CAPTION, "msgbox")
                boxes = [w for w in self.s.windows("msgbox") if w.caption == CAPTION]
                self.assertEqual([w.owner for w in boxes], [dialog])
                self.assertEqual(self.s.control_text(CAPTION, MESSAGE_TEXT_ID, "msgbox"), wh.utf8(SAVED % saved))
                self.s.press(CAPTION, IDOK, "msgbox")
                # Saved, not installed: no Java VM qualified.
                self.assert_ended_cleanly(process, rig.NO_QUALIFYING_VM)
                self.assertEqual(os.listdir(unix_folder), ["setup.class"])
                self.assertEqual(rig.read(os.path.join(unix_folder, "setup.class")), INSTALLER)

    def test_a_reserved_installer_record_is_not_saved_and_an_existing_file_keeps_its_bytes(self):
        exe = self.rig.launcher(self.records[:2] + [pl.record("setup.class", INSTALLER, reserved=1)])
        target = self.s.unix_path("C:\\kept") + "/setup.class"
        os.makedirs(os.path.dirname(target), exist_ok=True)
        pl.write(target, b"another program's setup.class")
        process = self.start(exe)
        self.choose(IDC_OPTION_SAVE)
        self.s.set_text(CAPTION, IDC_SAVE_FOLDER, "C:\\kept", "dialog")
        self.ok_gives_message(CANNOT_SAVE, 0)
        self.assertEqual(rig.read(target), b"another program's setup.class")
        self.cancel(process)

    def test_the_save_option_refuses_an_installer_name_that_is_no_plain_file_name(self):
        folder = "C:\\deep\\a\\b"
        unix_deep = self.s.unix_path("C:\\deep")
        cases = [
            # what, installer record's name
            ("a name that climbs out of the folder", "..\\..\\x.class"),
            ("a device name", "NUL"),
            ("a name with a trailing dot", "setup.class."),
        ]
        for what, name in cases:
            with self.subTest(what):
                self.rig.reset()
                shutil.rmtree(unix_deep, ignore_errors=True)
                os.makedirs(self.s.unix_path(folder))
                exe = self.rig.launcher(self.records[:2] + [pl.record(name, INSTALLER)])
                process = self.start(exe)
                try:
                    self.choose(IDC_OPTION_SAVE)
                    self.s.set_text(CAPTION, IDC_SAVE_FOLDER, folder, "dialog")
                    self.ok_gives_message(CANNOT_SAVE, 0)
                    written = [os.path.join(d, f) for d, _, files in os.walk(unix_deep) for f in files]
                    self.assertEqual(written, [])
                    self.cancel(process)
                finally:
                    # A failed case must not leave its dialog in the way of the next.
                    if process.poll() is None:
                        process.kill()

    def test_the_run_option_writes_no_record_whose_name_windows_cannot_hold_and_starts_nothing(self):
        cases = ["NUL", "Nul.Class", "setup.class.", "setup.class "]
        for name in cases:
            with self.subTest(name=name):
                self.rig.reset()
                vm = self.rig.install_program("C:\\vm2\\JAVA.EXE")
                exe = self.rig.launcher(self.records[:2] + [pl.record(name, INSTALLER)])
                process = self.start(exe)
                self.choose(IDC_OPTION_RUN_VM)
                self.s.set_text(CAPTION, IDC_VM_PATH, vm.win, "dialog")
                self.s.press(CAPTION, IDOK, "dialog")
                # The extraction refuses the record: the run ends silently, the VM
                # ran the probe only, and nothing of the run is left.
                self.assert_ended_cleanly(process, rig.FAILED)
                self.assertEqual([r["class"] for r in self.rig.runs(vm)], ["QvxVersion"])

    def test_the_download_option_hands_the_address_to_the_shell_and_ends(self):
        process = self.start()
        self.s.press(CAPTION, IDOK, "dialog")
        self.assert_ended_cleanly(process, rig.NO_QUALIFYING_VM)
        opener = rig.Vm(None, OPENER, self.opener)
        runs = rig.wait_until(lambda: self.rig.runs(opener), what="the opener's run")
        self.assertEqual([r["commandline"] for r in runs], ['"%s" "%s"' % (OPENER, ADDRESS)])

    def test_the_browse_buttons_open_the_platform_dialogs_and_fill_their_fields(self):
        vm = self.rig.install_program("C:\\vm\\java.exe")
        process = self.start()
        dialog = self.dialog().handle
        self.choose(IDC_OPTION_RUN_VM)
        self.s.set_text(CAPTION, IDC_VM_PATH, "kept", "dialog")

        self.s.press(CAPTION, IDC_BROWSE_VM, "dialog")
        self.s.wait_window(OPEN_CAPTION, "dialog")
        self.assertEqual([w.owner for w in self.s.windows("dialog") if w.caption == OPEN_CAPTION], [dialog])
        items, selection = self.s.combo(OPEN_CAPTION, FILE_TYPE_LIST, "dialog")
        self.assertEqual(([i.text for i in items], selection), (["Executable Files (.exe)", "All Files"], 0))
        self.s.press(OPEN_CAPTION, IDCANCEL, "dialog")
        self.s.wait_gone(OPEN_CAPTION, "dialog")
        self.assertEqual(self.s.control_text(CAPTION, IDC_VM_PATH, "dialog"), "kept")

        self.s.press(CAPTION, IDC_BROWSE_VM, "dialog")
        self.s.set_text(OPEN_CAPTION, FILE_NAME_BOX, vm.win, "dialog")
        self.s.press(OPEN_CAPTION, IDOK, "dialog")
        self.s.wait_gone(OPEN_CAPTION, "dialog")
        self.assertEqual(self.s.control_text(CAPTION, IDC_VM_PATH, "dialog"), vm.win)

        self.choose(IDC_OPTION_SAVE)
        self.s.set_text(CAPTION, IDC_SAVE_FOLDER, "kept", "dialog")
        self.s.press(CAPTION, IDC_BROWSE_FOLDER, "dialog")
        self.s.wait_window(FOLDER_CAPTION, "dialog")
        # The folder browser has no owner: the dialog is not disabled meanwhile.
        self.assertEqual([w.owner for w in self.s.windows("dialog") if w.caption == FOLDER_CAPTION], [0])
        self.s.press(FOLDER_CAPTION, IDCANCEL, "dialog")
        self.s.wait_gone(FOLDER_CAPTION, "dialog")
        self.assertEqual(self.s.control_text(CAPTION, IDC_SAVE_FOLDER, "dialog"), "kept")
        self.cancel(process)

    def test_cancel_and_esc_end_the_dialog_at_once_without_a_question(self):
        ways = [("the Cancel button", lambda: self.s.press(CAPTION, IDCANCEL, "dialog")),
                ("Esc", lambda: self.s.key(CAPTION, "esc", "dialog"))]
        for how, cancel in ways:
            with self.subTest(how):
                self.rig.reset()
                folder = self.s.unix_path("C:\\cancelled")
                os.makedirs(folder, exist_ok=True)
                process = self.start()
                self.choose(IDC_OPTION_SAVE)
                self.s.set_text(CAPTION, IDC_SAVE_FOLDER, "C:\\cancelled", "dialog")
                cancel()
                # Nothing answers a question here: the run must end by itself.
                self.assert_ended_cleanly(process, rig.CANCELLED)
                self.assertEqual(os.listdir(folder), [])


if __name__ == "__main__":
    wh.main()
