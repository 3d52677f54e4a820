"""What "/install" takes from the batch files and the executable's path, end to
end: the values stored in the service's key for batch files of every shape and
both encodings, the quoted registration of a path with blanks and letters
outside the ANSI code page, and a drive root as image directory. Each case
installs, reads the values and uninstalls, in one prefix (code page 1252)."""

import os

import wineharness as wh
from test_service_support import (ERROR_FILE_NOT_FOUND, ERROR_SERVICE_SPECIFIC_ERROR, RUNNING, SERVER, STOPPED,
                                  ServiceTestCase, batch)

IMAGE_DIR = r"C:\Veltra"
# The same text as today's Notepad and as an editor of old save it.
MUELLER_UTF8 = "C:\\M\u00fcller\\run.exe ".encode("utf-8")
MUELLER_ANSI = "C:\\M\u00fcller\\run.exe ".encode("cp1252")


class ConfigurationTest(ServiceTestCase):
    prefix_name = "service-config"

    def install(self, image_dir, start_bat, stop_bat, code=0):
        """code: the exit code of /install, the service's own when it stops as it starts."""
        exe = self.p.place_brisnode(image_dir, start_bat=start_bat, stop_bat=stop_bat)
        self.p.brisnode(self, exe, "/install", code)
        self.addCleanup(self.p.brisnode, self, exe, "/uninstall")
        return exe

    def test_commands_stored_from_batch_files_of_every_shape(self):
        long_command = b"C:\\tools\\" + b"y" * 900 + b".exe -x "
        # None of these commands can be started: the service stops at once, and
        # /install ends with its exit code: no such file, or no start command
        # (none given, or too long to be read back).
        absent, none = ERROR_FILE_NOT_FOUND, ERROR_SERVICE_SPECIFIC_ERROR
        cases = [
            # name, start.bat (None: missing), expected StartCmd bytes without the NUL, exit code
            ("blank before the batch parameter is kept", batch(b"run.exe a %1"), b"run.exe a ", absent),
            ("line starting with a percent sign", batch(b"%JAVA_HOME%\\bin\\java -jar x"), b"", none),
            ("line without a percent sign", batch(b"run.exe  -a  "), b"run.exe  -a  ", absent),
            ("four lines, the last without newline", b"a\r\nb\r\nc\r\nrun.exe last", b"run.exe last", absent),
            ("line feeds alone", b"a\nb\nc\nrun.exe lf\nfive\n", b"run.exe lf", absent),
            ("fewer than four lines", b"@echo off\r\nrem x\r\n", b"", none),
            ("empty file", b"", b"", none),
            ("missing file", None, b"", none),
            ("longer than any buffer", batch(long_command + b"%1"), long_command, none),
            ("Ctrl-Z after the fourth line, as old editors saved it", b"a\r\nb\r\nc\r\nrun.exe z\x1a",
             b"run.exe z", absent),
            ("a file in UTF-8", batch(MUELLER_UTF8 + b"%1"), MUELLER_UTF8, absent),
            ("the same text in the ANSI code page", batch(MUELLER_ANSI + b"%1"), MUELLER_UTF8, absent),
            ("UTF-8 with characters no ANSI code page has", batch("\u03a9\u6f22 %1".encode("utf-8")),
             "\u03a9\u6f22 ".encode("utf-8"), absent),
        ]
        for name, start_bat, expected, code in cases:
            with self.subTest(name):
                self.install(IMAGE_DIR, start_bat, batch(b"stop.exe %1"), code)
                # Said at every /install that stores no start command.
                self.assertEqual(self.p.said.startswith("Brisnode /install: start.bat is missing"), expected == b"")
                self.assertEqual(self.p.value("StartCmd"), ("REG_SZ", expected + b"\0"))
                self.assertEqual(self.p.value("StopCmd"), ("REG_SZ", b"stop.exe \0"))
                self.assertEqual(self.p.value("ImageDir"), ("REG_SZ", IMAGE_DIR.encode() + b"\0"))
                # None of these commands can be started: the service stops at once.
                self.assertEqual(self.p.wait_state(STOPPED), STOPPED)
                self.doCleanups()

    def test_missing_stop_batch_file_stores_an_empty_stop_command(self):
        self.install(IMAGE_DIR, batch(SERVER.encode() + b" run nostop %1"), None)
        self.addCleanup(self.p.quit_server, "nostop")
        self.assertEqual(self.p.value("StartCmd"), ("REG_SZ", SERVER.encode() + b" run nostop \0"))
        self.assertEqual(self.p.value("StopCmd"), ("REG_SZ", b"\0"))
        self.assertEqual(self.p.wait_state(RUNNING), RUNNING)

    def test_batch_file_held_open_by_another_program_stores_an_empty_command(self):
        exe = self.p.place_brisnode(IMAGE_DIR, start_bat=batch(b"run.exe %1"),
                                    stop_bat=batch(b"stop.exe %1"))
        holder = self.p.session.spawn([SERVER, "hold", IMAGE_DIR + r"\start.bat", "20000"])
        self.addCleanup(holder.kill)
        self.assertTrue(self.p.wait_log("-", "hold"))
        self.p.brisnode(self, exe, "/install", ERROR_SERVICE_SPECIFIC_ERROR)
        self.addCleanup(self.p.brisnode, self, exe, "/uninstall")
        self.assertEqual(self.p.value("StartCmd"), ("REG_SZ", b"\0"))
        self.assertEqual(self.p.value("StopCmd"), ("REG_SZ", b"stop.exe \0"))

    def test_path_with_blanks_and_letters_outside_the_ansi_code_page_is_registered_and_runs(self):
        # Unquoted, the manager would find this program first and run it as
        # the local system account.
        program = self.p.session.install(self.p.session.unix_path(r"C:\tools\mgrserver.exe"),
                                         r"C:\Program.exe")
        self.addCleanup(os.remove, program)
        image_dir = "C:\\Program Files\\Serveur \u03a9mega"
        self.install(image_dir, batch(b'"' + SERVER.encode() + b'" run blanks %1'),
                     batch(SERVER.encode() + b" stop blanks"))
        self.assertEqual(self.p.config()["path"], wh.utf8('"%s\\Brisnode.exe"' % image_dir))
        self.assertEqual(self.p.value("ImageDir"), ("REG_SZ", image_dir.encode("utf-8") + b"\0"))
        self.assertEqual(self.p.wait_state(RUNNING), RUNNING)
        self.assertTrue(self.p.wait_log("blanks", "run"))
        self.assertEqual(self.p.log("blanks")[0]["cwd"], wh.utf8(image_dir))
        self.assertFalse(os.path.exists(self.p.session.unix_path(r"C:\Program.log")),
                         "C:\\Program.exe was started")

    def test_drive_root_gives_drive_and_colon(self):
        self.install("C:\\", batch(b"nothing.exe"), batch(b"nothing.exe"), ERROR_FILE_NOT_FOUND)
        self.assertEqual(self.p.config()["path"], r"C:\Brisnode.exe")
        self.assertEqual(self.p.value("ImageDir"), ("REG_SZ", b"C:\0"))
        self.assertEqual(self.p.value("StartCmd"), ("REG_SZ", b"nothing.exe\0"))

    def test_drive_root_runs_the_commands_in_the_root_of_the_drive(self):
        # "C:" alone names the current directory on C:, for a service the system
        # directory; the commands belong in the root, and the value stays as it is.
        self.install("C:\\", batch(SERVER.encode() + b" run root %1"), batch(SERVER.encode() + b" stop root"))
        self.addCleanup(self.p.quit_server, "root")
        self.assertEqual(self.p.value("ImageDir"), ("REG_SZ", b"C:\0"))
        self.assertTrue(self.p.wait_log("root", "run"))
        self.p.brisnode(self, r"C:\Brisnode.exe", "/stop")
        self.assertEqual([e["cwd"] for e in self.p.log("root") if "cwd" in e], ["C:\\"] * 2)


if __name__ == "__main__":
    wh.main(verbosity=2)
