"""The harness and winctl on a program whose windows and output are known exactly
(tests/standins/harness/harness_probe.exe), in one Wine prefix."""

import os
import struct
import time
import unittest

import wineharness as wh

CAPTION = "Kitebay"
PROBE_TEXT = "First line\nSecond line with a \\ backslash"
MB_YESNO_INFORMATION = "0x44"
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7


def probe():
    return wh.cross("tests/standins/harness/harness_probe.exe")


class HarnessTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = wh.WineSession("harness")

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        self.s = self.session

    def spawn_dialog(self):
        process = self.s.spawn([probe(), "dialog"], test=self)
        handle = self.s.wait_window(CAPTION, "dialog", timeout=30)
        return process, handle

    def test_message_box_is_found_by_kind_read_and_answered(self):
        process = self.s.spawn([probe(), "msgbox", MB_YESNO_INFORMATION], test=self)
        self.s.wait_window(CAPTION, "msgbox", timeout=30)
        with self.assertRaises(wh.DriverError):
            self.s.wait_window(CAPTION, "dialog", timeout=0.5)
        self.assertEqual(self.s.control_text(CAPTION, 65535, "msgbox"), PROBE_TEXT)
        buttons = {c.id: c.text for c in self.s.controls(CAPTION, "msgbox") if c.cls.lower() == "button"}
        self.assertEqual(buttons, {IDYES: "&Yes", IDNO: "&No"})
        self.s.press(CAPTION, IDNO, "msgbox")
        self.assertEqual(process.wait(30), IDNO)
        self.assertEqual(process.stdout, b"answer=7\n")
        self.s.wait_gone(CAPTION, timeout=10)

    def test_dialog_controls_are_read_and_driven_like_a_user(self):
        process, dialog = self.spawn_dialog()
        # The dialog's icon static has id 65535 too; it must not pass for a message box.
        with self.assertRaises(wh.DriverError):
            self.s.wait_window(CAPTION, "msgbox", timeout=0.5)
        controls = {c.id: c for c in self.s.controls(CAPTION, "dialog")}
        self.assertEqual(list(controls), [65535, 1002, 1021, 1022, 1004, 1001, IDOK, IDCANCEL])
        self.assertEqual(controls[1002].text, PROBE_TEXT)
        self.assertEqual((controls[1021].checked, controls[1022].checked), (1, 0))
        self.assertIsNone(controls[1004].checked)
        self.assertFalse(controls[1004].enabled)
        self.assertEqual(self.s.combo(CAPTION, 1001, "dialog"),
                         ([wh.ComboItem(0, 3, "alpha"), wh.ComboItem(1, 5, "mike"), wh.ComboItem(2, 7, "zulu")], 0))
        with self.assertRaisesRegex(wh.DriverError, "disabled"):
            self.s.set_text(CAPTION, 1004, "typed while disabled", "dialog")

        self.s.check(CAPTION, 1022, "dialog")
        self.s.set_text(CAPTION, 1004, "C:\\a b\\x", "dialog")
        self.s.select(CAPTION, 1001, 2, "dialog")
        controls = {c.id: c for c in self.s.controls(CAPTION, "dialog")}
        self.assertEqual((controls[1021].checked, controls[1022].checked), (0, 1))
        self.assertTrue(controls[1004].enabled, "the dialog saw the radio button's BN_CLICKED")
        self.assertEqual(controls[1004].text, "C:\\a b\\x")
        self.assertEqual(controls[1001].text, "zulu")

        self.s.key(CAPTION, "enter", "dialog")
        box = self.s.wait_window(CAPTION, "msgbox", timeout=10)
        windows = [w for w in self.s.windows() if w.caption == CAPTION]
        self.assertEqual([(w.handle, w.kind, w.owner) for w in windows],
                         [(box, "msgbox", dialog), (dialog, "dialog", 0)])
        self.assertEqual(self.s.control_text(CAPTION, 65535, "msgbox"), "Finish with C:\\a b\\x?")
        self.s.press(CAPTION, IDYES, "msgbox")
        self.assertEqual(process.wait(30), 107)
        self.assertEqual(process.stdout, b"edit=C:\\a b\\x\nended=107\n")

    def test_busy_dialog_is_read_without_waiting_for_its_thread(self):
        process = self.s.spawn([probe(), "dialog", "busy", "4000"], test=self)
        self.s.wait_window(CAPTION, "dialog", timeout=30)
        deadline = time.monotonic() + 5
        while self.s.control_text(CAPTION, 1002, "dialog") != "Busy" and time.monotonic() < deadline:
            time.sleep(0.1)
        started = time.monotonic()
        controls = {c.id: c for c in self.s.controls(CAPTION, "dialog")}
        self.assertLess(time.monotonic() - started, 4)
        self.assertEqual(controls[1002].text, "Busy")
        self.assertEqual(controls[IDOK].checked, -1, "a busy thread cannot answer BM_GETCHECK")
        self.assertIsNone(process.poll())
        deadline = time.monotonic() + 20
        while self.s.control_text(CAPTION, 1002, "dialog") != "Idle":
            self.assertLess(time.monotonic(), deadline, "the dialog never became idle")
            time.sleep(0.2)
        self.assertEqual(self.s.controls(CAPTION, "dialog")[2].checked, 1)
        self.s.key(CAPTION, "esc", "dialog")
        self.assertEqual(process.wait(30), IDCANCEL)

    def test_hidden_windows_are_listed_only_on_request(self):
        process, dialog = self.spawn_dialog()
        visible = [w for w in self.s.windows() if w.handle == dialog]
        self.assertEqual([(w.kind, w.visible, w.caption) for w in visible], [("dialog", True, CAPTION)])
        everything = self.s.windows(hidden=True)
        self.assertIn(dialog, [w.handle for w in everything])
        self.assertTrue(any(not w.visible for w in everything))
        self.assertTrue(all(w.visible for w in self.s.windows()))
        self.s.press(CAPTION, IDCANCEL, "dialog")
        self.assertEqual(process.wait(30), IDCANCEL)

    def test_escape_key_reaches_the_dialog_manager_as_idcancel(self):
        process, _ = self.spawn_dialog()
        self.s.key(CAPTION, "esc", "dialog")
        self.assertEqual(process.wait(30), IDCANCEL)
        self.assertEqual(process.stdout, b"ended=2\n")

    def test_window_rectangle_and_screen_size(self):
        process, _ = self.spawn_dialog()
        rect = self.s.rect(CAPTION, "dialog")
        self.assertEqual((rect.screen_width, rect.screen_height), (1024, 768))
        self.assertGreater(rect.right - rect.left, 200)
        self.assertGreater(rect.bottom - rect.top, 100)
        png = os.path.join(self.s.dir, "screen.png")
        self.s.screenshot(png)
        with open(png, "rb") as f:
            header = f.read(24)
        self.assertEqual(header[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(struct.unpack(">II", header[16:24]), (1024, 768))
        self.s.press(CAPTION, IDCANCEL, "dialog")
        self.assertEqual(process.wait(30), IDCANCEL)

    def test_output_is_captured_while_a_child_keeps_the_handles(self):
        started = time.monotonic()
        result = self.s.run([probe(), "linger"], timeout=60)
        self.assertLess(time.monotonic() - started, 30)
        self.assertEqual(result.returncode, 7)
        self.assertEqual(result.stdout.count(b"parent-out\n"), 1)
        self.assertIn(b"child-out\n", result.stdout)
        self.assertEqual(result.stderr, b"parent-err\n")
        with self.assertRaises(wh.WineTimeout):
            self.s.wait_server(timeout=2)
        self.s.kill()
        self.s.wait_server(timeout=20)

    def test_run_timeout_raises_and_kills(self):
        started = time.monotonic()
        with self.assertRaises(wh.WineTimeout):
            self.s.run([probe(), "sleep", "60000"], timeout=3)
        self.assertLess(time.monotonic() - started, 20)

    def test_exit_codes_beyond_255(self):
        self.assertEqual(self.s.run([probe(), "exit", "314"]).returncode, 314 % 256)
        self.assertEqual(self.s.run([probe(), "exit", "314"], full_exit_code=True).returncode, 314)

    def test_registry_round_trip_with_exact_bytes(self):
        key = "HKLM\\Software\\HarnessTest"
        self.addCleanup(self.s.reg_delete, key)
        self.assertIsNone(self.s.reg_query(key, "Text"))
        self.s.reg_add(key, "Text", "C:\\with blank\\", "REG_SZ")
        self.s.reg_add(key, "Number", "42", "REG_DWORD")
        self.assertEqual(self.s.reg_value_bytes(key, "Text"), ("REG_SZ", b"C:\\with blank\\\0"))
        self.assertEqual(self.s.reg_query(key, "Text"), "C:\\with blank\\")
        self.assertEqual(self.s.reg_value_bytes(key, "Number"), ("REG_DWORD", b"\x2a\0\0\0"))
        self.assertEqual(self.s.reg_query(key, "Number"), "0x2a")
        self.assertIsNone(self.s.reg_query(key, "Missing"))
        self.s.reg_delete(key, "Text")
        self.assertIsNone(self.s.reg_query(key, "Text"))
        self.s.reg_delete(key)
        self.assertIsNone(self.s.reg_value_bytes(key, "Number"))

    def test_temp_dir_follows_hkcu_environment(self):
        original, original_unix = self.s.temp_dir()
        self.assertTrue(original.endswith("\\"))
        self.assertTrue(os.path.isdir(original_unix))
        self.addCleanup(self.s.set_temp_dir, original.rstrip("\\"))
        self.s.set_temp_dir("C:\\Temp Dir\\with blank")
        win, unix = self.s.temp_dir()
        self.assertEqual(win, "C:\\Temp Dir\\with blank\\")
        self.assertEqual(unix, os.path.join(self.s.prefix, "drive_c", "Temp Dir", "with blank") + "/")
        self.assertTrue(os.path.isdir(unix))

    def test_programs_start_on_drive_c_of_the_prefix(self):
        self.assertEqual(self.s.driver("cwd").strip(), "C:\\")
        os.makedirs(self.s.unix_path("C:\\work dir"), exist_ok=True)
        self.assertEqual(self.s.run([wh.winctl_path(), "cwd"], cwd="C:\\work dir").stdout.strip(),
                         b"C:\\work dir")

    def test_paths_and_install(self):
        self.assertEqual(self.s.win_path(os.path.join(self.s.prefix, "drive_c", "x y", "z.txt")), "C:\\x y\\z.txt")
        self.assertEqual(self.s.win_path("/tmp"), "Z:\\tmp")
        self.assertEqual(self.s.unix_path("Z:\\tmp"), "/tmp")
        self.assertEqual(self.s.unix_path("c:\\WINDOWS\\System32"),
                         os.path.join(self.s.prefix, "drive_c", "windows", "system32"))
        installed = self.s.install(probe(), "C:\\probe dir\\")
        self.assertEqual(installed, os.path.join(self.s.prefix, "drive_c", "probe dir", "harness_probe.exe"))
        self.assertEqual(self.s.run(["C:\\probe dir\\harness_probe.exe", "exit", "5"]).returncode, 5)


if __name__ == "__main__":
    wh.main()
