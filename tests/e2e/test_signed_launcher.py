"""Launchers as their users ship them, signed with Authenticode (osslsigncode and a
throw-away certificate): a signed demo launcher installs exactly as the unsigned
one does; a payload signed without its padding, a byte after the signature and a
security entry that points outside the file are each read as the launcher must;
an installer with its author's icon, version information and elevation, built
alike by radad-pack.exe under Wine, is signed and runs with its icon and the
author's name as the caption of its dialog and message box."""

import os
import subprocess

import launcher_rig as rig
import payloads as pl
import wineharness as wh
from launcher_rig import (CAPTION, CONFIRM_CANCEL, IDC_MESSAGE_TEXT, IDC_VM_LIST, IDCANCEL, IDNO, IDOK, JRE,
                          MESSAGE_TEXT_ID, USAGE)


class SignedLauncherTest(rig.LauncherTestCase):
    session_name = "signed-launcher"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.signer = pl.Signer(cls.s.dir)
        cls.demo = wh.dist("radad-demo.exe")
        cls.signed_demo = cls.signer.sign(cls.demo, os.path.join(cls.s.dir, "radad-demo-signed.exe"))

    def install(self, exe, look=None, caption=CAPTION):
        """Runs exe with one qualifying VM, chooses it, and returns what a user and the
        VM see: the dialog's texts, the installer's command line and working
        directory, the files in the temporary directory while it runs, and what is
        left after the launcher ended; and what look() returns once the VM is listed.
        The launcher's windows are found by their caption."""
        self.rig.reset()
        vm = self.rig.install_vm(JRE, program=rig.HOLDER)
        pl.write(vm.unix + ".status", b"314")
        process = self.start(exe)
        message = self.rig.search_result(caption=caption)[IDC_MESSAGE_TEXT].text
        items = [item.text for item in self.s.combo(caption, IDC_VM_LIST, "dialog")[0]]
        looked = look() if look else None

        hold = vm.unix + ".hold"
        pl.write(hold, b"")
        self.s.press(caption, IDOK, "dialog")
        probe, installer = self.rig.wait_runs(vm, 2)
        files = self.rig.run_files()
        # Each run names its folder anew.
        folder = self.rig.run_folder()[0]
        os.remove(hold)
        exit_code = process.wait(30)
        windows = self.rig.launcher_windows(caption)
        return {"message": message, "vms": items, "probe": probe["commandline"].replace(folder, "<run>\\"),
                "installer": (installer["commandline"].replace(folder, "<run>\\"), installer["cwd"]), "files": files,
                "exit": exit_code, "windows after": windows, "left": self.rig.leftovers(), "look": looked}

    def test_a_signed_demo_launcher_verifies_and_installs_exactly_as_the_unsigned_one(self):
        status, verdict = self.signer.verify(self.signed_demo)
        self.assertEqual(status, 0, verdict)
        self.assertIn("Succeeded", verdict)

        unsigned = self.unsigned_demo_install()
        signed = self.install(self.signed_demo, look=self.icon_colours)
        self.assertEqual(signed, unsigned)

        demo = rig.read(self.demo)
        self.assertEqual(unsigned["files"], {"CommandLine": pl.record_data(demo, "CommandLine"),
                                             "URL": pl.record_data(demo, "URL"),
                                             "setup.class": pl.record_data(demo, "setup.class"),
                                             "QvxVersion.class": rig.probe_class(), "stdout.tmp": b"",
                                             "radad.lock": b"QvxVersion.class\0CommandLine\0URL\0setup.class\0"})
        self.assertEqual(unsigned["files"]["CommandLine"], pl.text("1.1:A:A"))
        self.assertEqual(unsigned["files"]["setup.class"][:4], b"\xca\xfe\xba\xbe")
        self.assertEqual(unsigned["installer"][0].split()[-1], "setup")
        # The installer's own exit code (the stand-in's status).
        self.assertEqual((unsigned["exit"], unsigned["windows after"], unsigned["left"]), (314, [], []))

    def test_signed_and_damaged_files_are_read_as_signed_only_when_the_table_ends_the_file(self):
        stub = rig.read(wh.dist("radad.exe"))
        demo = rig.read(self.demo)
        unaligned = pl.launcher(stub, pl.shipped_records())
        self.assertNotEqual(len(unaligned) % 8, 0)
        signed_stub = rig.read(self.signer.sign(wh.dist("radad.exe"), os.path.join(self.s.dir, "stub-signed.exe")))
        signed_demo = rig.read(self.signed_demo)
        cases = [
            # what, the file, whether the launcher accepts its payload
            ("a payload signed without its padding", self.sign_bytes(unaligned), False),
            # Read as unsigned, the last four bytes are no trailer.
            ("a byte after the signature", signed_demo + b"\0", False),
            # Read as unsigned, the payload after the signature is found by its trailer.
            ("a payload after the signature", pl.launcher(signed_stub, pl.shipped_records()), True),
            ("a security entry pointing outside the file", pl.with_security_entry(demo, len(demo) + 8, 64), True),
        ]
        for what, image, accepted in cases:
            with self.subTest(what):
                process = self.start(pl.write(os.path.join(self.s.dir, "case.exe"), image))
                if accepted:
                    self.rig.no_vm_dialog()
                    self.s.press(CAPTION, IDCANCEL, "dialog")
                else:
                    self.s.wait_window(CAPTION, "msgbox", timeout=30)
                    self.assertEqual(self.s.control_text(CAPTION, MESSAGE_TEXT_ID, "msgbox"), USAGE)
                    self.s.press(CAPTION, IDOK, "msgbox")
                self.assertEqual(process.wait(30), rig.CANCELLED if accepted else rig.NO_PAYLOAD)
                self.assertEqual(self.rig.leftovers(), [])

    def test_an_installer_with_its_authors_resources_is_built_alike_on_windows_signs_and_shows_its_icon(self):
        demo = rig.read(self.demo)
        setup = pl.write(os.path.join(self.s.dir, "setup.class"), pl.record_data(demo, "setup.class"))
        records = ["CommandLine:=1.1:A:A", "URL:=" + pl.record_data(demo, "URL")[:-1].decode(), "setup.class="]
        icon = pl.author_icon(self.s.dir)
        built = os.path.join(self.s.dir, "kitebay-setup.exe")
        subprocess.run([wh.dist("radad-pack"), "build", wh.dist("radad.exe"), "-o", built, *pl.author_options(icon),
                        *records[:2], records[2] + setup], check=True, timeout=60)
        if wh.arch() == "x64":
            # radad-pack.exe, with Windows paths and the same texts, writes the same bytes.
            on_windows = os.path.join(self.s.dir, "windows", "kitebay-setup.exe")
            os.makedirs(os.path.dirname(on_windows))
            win = self.s.win_path
            result = self.s.run([wh.dist("radad-pack.exe"), "build", win(wh.dist("radad.exe")), "-o", win(on_windows),
                                 *pl.author_options(win(icon)), *records[:2], records[2] + win(setup)])
            self.assertEqual((result.returncode, result.stderr), (0, b""))
            self.assertEqual(rig.read(on_windows), rig.read(built))
        signed = self.signer.sign(built, os.path.join(self.s.dir, "kitebay-setup-signed.exe"))
        self.assertEqual(self.signer.verify(signed)[0], 0, self.signer.verify(signed)[1])

        # List mode, then the VM choice dialog: as the demo, but with the author's icon,
        # and the product's name as the caption of the dialog and of its message box.
        self.rig.reset()
        vm = self.rig.install_vm(JRE)
        self.assertEqual(self.s.run([signed, "1.1:A:A"]).stdout, b"1\r\nYES %s\r\n" % vm.win.encode())
        caption = pl.AUTHOR["ProductName"]

        def look():
            colours = self.icon_colours(caption)
            self.s.press(caption, IDCANCEL, "dialog")
            self.assertEqual(self.s.control_text(caption, MESSAGE_TEXT_ID, "msgbox"), CONFIRM_CANCEL)
            self.s.press(caption, IDNO, "msgbox")
            self.s.wait_gone(caption, "msgbox")
            return colours

        authored = self.install(signed, look=look, caption=caption)
        demo_run = self.unsigned_demo_install()
        self.assertEqual({**authored, "look": None}, {**demo_run, "look": None})
        self.assertGreater(authored["look"].count(pl.ICON_RGB), 32 * 32 * 0.9)
        self.assertEqual(demo_run["look"].count(pl.ICON_RGB), 0)

    def unsigned_demo_install(self):
        """install() of the unsigned demo, looking at its icon; run once for the suite."""
        cls = type(self)
        if not hasattr(cls, "demo_run"):
            cls.demo_run = self.install(self.demo, look=self.icon_colours)
        return cls.demo_run

    def icon_colours(self, caption=CAPTION):
        """The pixels of the dialog's top left corner, where its icon is."""
        rect = self.s.rect(caption, "dialog")
        return self.rig.screen_area_colours(rect.left, rect.top, rect.left + 70, rect.top + 90)

    def sign_bytes(self, image):
        unsigned = pl.write(os.path.join(self.s.dir, "to-sign.exe"), image)
        signed = self.signer.sign(unsigned, os.path.join(self.s.dir, "signed.exe"))
        self.assertEqual(self.signer.verify(signed)[0], 0)
        return rig.read(signed)


if __name__ == "__main__":
    wh.main()
