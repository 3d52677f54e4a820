"""Brisnode's control operations end to end, in one prefix, in the order an
administrator would use them: install, install again, start, stop, stop again,
uninstall of a running service, and the modes that do nothing."""

import time

import wineharness as wh
from test_service_support import CONTROL_INTERROGATE, RUNNING, SERVER, STOP_PENDING, STOPPED, ServiceTestCase, batch

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

    def test_2_second_install_changes_nothing(self):
        self.p.place_brisnode(IMAGE_DIR, start_bat=batch(SERVER.encode() + b" run other"),
                              stop_bat=batch(b"nothing"))
        try:
            self.run_brisnode("/install")
        finally:
            self.p.place_brisnode(IMAGE_DIR, start_bat=batch(START_CMD + b"%1"),
                                  stop_bat=batch(STOP_CMD + b"%1 %2"))
        self.assertEqual(self.p.value("StartCmd"), ("REG_SZ", START_CMD + b"\0"))
        self.assertEqual(self.p.value("StopCmd"), ("REG_SZ", STOP_CMD + b"\0"))
        self.assertEqual(self.p.state(), RUNNING)
        self.assertEqual(self.p.kinds("main"), ["run"])
        self.assertEqual(self.p.log("other"), [])

    def test_3_start_of_running_service_changes_nothing(self):
        self.run_brisnode("/start")
        self.assertEqual(self.p.state(), RUNNING)
        self.assertEqual(self.p.kinds("main"), ["run"])

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

    def test_6_stop_of_stopped_service_changes_nothing(self):
        before = self.p.log("main")
        elapsed = self.run_brisnode("/stop")
        self.assertLess(elapsed, 5, "no polling when the stop control is refused")
        self.assertEqual(self.p.state(), STOPPED)
        self.assertEqual(self.p.log("main"), before)

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

    def test_8_every_mode_ends_with_exit_code_0_and_shows_nothing(self):
        # The service is gone now: each operation fails, silently.
        for args in (["/start"], ["/stop"], ["/uninstall"]):
            with self.subTest(args=args):
                self.assertLess(self.run_brisnode(*args), 10)
                self.assertIsNone(self.p.state())
        # Without an option the dispatcher refuses a program that the manager
        # did not start (under Wine sometimes only after 10 s).
        self.run_brisnode()
        self.assertEqual(self.p.session.windows(), [])

if __name__ == "__main__":
    wh.main(verbosity=2)
