"""Brisnode's control operations end to end, in one prefix, in the order an
administrator would use them: install, interrogate, stop, uninstall of a running
service; then each operation's exit code and what it says on standard error, as
a deployment script finds them, from a machine without the service on."""

import re
import time

import wineharness as wh
from test_service_support import (CONTROL_INTERROGATE, CONTROL_STOP, RUNNING, SERVER, STOP_PENDING, STOPPED,
                                  ServiceTestCase, batch)

IMAGE_DIR = r"C:\Veltra"
START_CMD = SERVER.encode() + b" run main "
STOP_CMD = SERVER.encode() + b" stop main linger 1500 "


class InstallAndControlTest(ServiceTestCase):
    prefix_name = "service-install"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.exe = cls.p.place_brisnode(IMAGE_DIR, start_bat=batch(START_CMD + b"%1"),
                                       stop_bat=batch(STOP_CMD + b"%1 %2"))

    def run_brisnode(self, *args):
        return self.p.brisnode(self, self.exe, *args)

    def test_1_install_registers_configures_and_starts_the_service(self):
        self.run_brisnode("/install")
        self.assertEqual(self.p.said, "Brisnode /install: installed and started\r\n")
        config = self.p.config()
        self.assertEqual(config["display"], "Veltra Corvane Manager Server")
        self.assertEqual(config["type"], "0x110")
        self.assertEqual(config["start"], "2")
        self.assertEqual(config["error"], "1")
        self.assertEqual(config["account"], "LocalSystem")
        self.assertEqual(config["path"], IMAGE_DIR + r"\Brisnode.exe")
        # Wine keeps garbage after the list's end, so only its first name is checked.
        dependency = self.p.value("DependOnService")
        self.assertIsNotNone(dependency)
        self.assertTrue(dependency[1].startswith(b"Tcpip\0"), dependency)

        self.assertEqual(self.p.value("ImageDir"), ("REG_SZ", IMAGE_DIR.encode() + b"\0"))
        self.assertEqual(self.p.value("StartCmd"), ("REG_SZ", START_CMD + b"\0"))
        self.assertEqual(self.p.value("StopCmd"), ("REG_SZ", STOP_CMD + b"\0"))

        self.assertEqual(self.p.wait_state(RUNNING), RUNNING)
        status = self.p.status_fields()
        self.assertEqual(status["type"], "0x110")
        # Stop, and the preshutdown control of Windows Vista and later (Wine
        # says it is Windows 10, but sends neither form of shutdown).
        self.assertEqual(status["accepted"], "0x101")
        self.assertTrue(self.p.wait_log("main", "run"))
        runs = self.p.log("main")
        self.assertEqual(len(runs), 1, runs)
        self.assertEqual(runs[0]["cwd"], IMAGE_DIR)
        self.assertEqual(runs[0]["cmdline"], START_CMD.decode())
        self.assertTrue(self.p.server_alive("main"))

    def test_4_interrogate_reports_the_state_unchanged(self):
        self.assertEqual(self.p.control(CONTROL_INTERROGATE), "accepted %d" % RUNNING)
        self.assertEqual(self.p.state(), RUNNING)

    def test_5_stop_runs_the_stop_command_and_waits_for_both_processes(self):
        watcher = self.p.watch(20000)
        # A watch that starts late under load would see only the stop: the
        # stop goes out once it has reported the service running.
        deadline = time.monotonic() + 20
        while not watcher.stdout and time.monotonic() < deadline:
            time.sleep(0.1)
        elapsed = self.run_brisnode("/stop")
        self.assertEqual(self.p.state(), STOPPED, "stop returns once the service has stopped")
        _, changes = self.p.parse_watch(watcher)
        states = [state for _, state in changes]
        self.assertEqual(states, [RUNNING, STOP_PENDING, STOPPED])
        # The stop command lingers 1.5 s after the server has ended; stopped
        # comes only once it has ended too.
        pending_at, stopped_at = changes[1][0], changes[2][0]
        self.assertGreaterEqual(stopped_at - pending_at, 1300, changes)
        self.assertGreaterEqual(elapsed, 1.3)

        entries = self.p.log("main")
        self.assertEqual(sorted(e["kind"] for e in entries), ["run", "run-end", "stop", "stop-end"])
        stop = next(e for e in entries if e["kind"] == "stop")
        self.assertEqual(stop["cwd"], IMAGE_DIR)
        self.assertEqual(stop["cmdline"], STOP_CMD.decode())
        self.assertEqual(next(e for e in entries if e["kind"] == "run-end")["how"], "stop")
        self.assertEqual(next(e for e in entries if e["kind"] == "stop-end")["how"], "signalled")

    def test_7_uninstall_stops_a_running_service_and_deletes_it(self):
        self.run_brisnode("/start")
        self.assertEqual(self.p.wait_state(RUNNING), RUNNING)
        self.assertTrue(self.p.wait_log("main", "run", count=2))
        self.run_brisnode("/uninstall")
        self.assertIsNone(self.p.state())
        self.assertIsNone(self.p.value("ImageDir"))
        self.assertEqual(self.p.kinds("main").count("stop"), 2)
        self.assertEqual(self.p.kinds("main").count("run-end"), 2)
        self.assertFalse(self.p.server_alive("main"))

    def test_8_exit_codes_and_what_standard_error_says(self):
        # The service is gone now.
        start_a, start_b = SERVER.encode() + b" run t8 ", SERVER.encode() + b" run t8 say "
        error = " (error %d: *)"  # * is the system's text
        usage = "; usage: Brisnode /install | /uninstall | /start | /stop"

        def place(start_bat):
            self.p.place_brisnode(IMAGE_DIR, start_bat=start_bat, stop_bat=batch(SERVER.encode() + b" stop t8 linger 3000"))

        def runs(count):
            """The command lines of the servers started, once count have logged their start."""
            self.p.wait_log("t8", "run", count=count)
            return [e["cmdline"] for e in self.p.log("t8") if e["kind"] == "run"]

        def stop_under_way():
            # As "sc stop" leaves it: the stop command takes 3 s.
            self.assertEqual(self.p.control(CONTROL_STOP), "accepted %d" % STOP_PENDING)

        steps = [
            # what, arguments, before, exit code, standard error, then what holds
            ("not installed", ["/start"], None, 1060, "Brisnode /start: cannot open the service" + error % 1060,
             lambda: self.assertIsNone(self.p.state())),
            ("an option without its slash", ["install"], None, 1639, 'Brisnode: "install" is not an option' + usage,
             lambda: self.assertIsNone(self.p.state())),
            ("an option there is not", ["/help"], None, 1639, 'Brisnode: "/help" is not an option' + usage, None),
            ("installed", ["/install"], lambda: place(batch(start_a + b"%1")), 0, "Brisnode /install: installed and started",
             lambda: self.assertEqual((self.p.state(), runs(1)), (RUNNING, [start_a.decode()]))),
            ("installed again with a changed start.bat", ["/install"], lambda: place(batch(start_b + b"%1")), 0,
             "Brisnode /install: installed already and running: the commands stored afresh take effect at its "
             "next start",
             lambda: self.assertEqual((self.p.value("StartCmd")[1], runs(1)), (start_b + b"\0", [start_a.decode()]))),
            ("running", ["/start"], None, 0, "Brisnode /start: running already", None),
            ("running", ["/stop"], None, 0, "Brisnode /stop: stopped", lambda: self.assertEqual(self.p.state(), STOPPED)),
            ("not running", ["/stop"], None, 0, "Brisnode /stop: not running", None),
            ("installed again, not running", ["/install"], None, 0,
             "Brisnode /install: installed already: commands stored afresh; started",
             lambda: self.assertEqual((self.p.state(), runs(2)[1:]), (RUNNING, [start_b.decode()]))),
            ("already stopping", ["/uninstall"], stop_under_way, 0, "Brisnode /uninstall: removed",
             lambda: self.assertEqual((self.p.state(), self.p.kinds("t8")[-1]), (None, "stop-end"))),
            ("not installed any more", ["/uninstall"], None, 1060,
             "Brisnode /uninstall: cannot open the service" + error % 1060, None),
            ("a start.bat of two lines", ["/install"], lambda: place(b"@echo off\r\nserver.exe\r\n"), 1066,
             "Brisnode /install: start.bat is missing or gives no command: StartCmd is empty\r\n"
             "Brisnode /install: the service stopped as it started" + error % 1066,
             lambda: self.assertEqual((self.p.state(), self.p.value("StartCmd")[1]), (STOPPED, b"\0"))),
            # Without an option the dispatcher refuses a program that the manager
            # did not start (under Wine sometimes only after 10 s).
            ("no option, not started by the manager", [], None, 1063,
             "Brisnode: not started by the Service Control Manager" + usage + error % 1063,
             lambda: self.assertEqual(self.p.session.windows(), [])),
        ]
        for what, args, before, code, said, after in steps:
            with self.subTest(what=what, args=args):
                if before:
                    before()
                result = self.p.run_brisnode([self.exe] + args)
                self.assertEqual(result.stdout, b"")
                pattern = re.escape(said + "\r\n").replace(re.escape(": *)"), r": [^\r\n]+\)")
                self.assertRegex(result.stderr.decode("utf-8"), "\\A" + pattern + "\\Z")
                self.assertEqual(result.returncode, code)
                if after:
                    after()

if __name__ == "__main__":
    wh.main(verbosity=2)
