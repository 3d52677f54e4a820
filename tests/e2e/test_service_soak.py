"""Brisnode over many cycles, in one prefix: installed, stopped, started and
uninstalled again and again, then started and stopped again and again while
installed. Nothing may pile up: after each stop no server process is left, and
after the last uninstall neither the service nor its registry key.

SOAK_CYCLES sets the number of cycles of each kind (default 10; scripts/soak.sh
runs 100 and prints what it took)."""

import os
import time

import wineharness as wh
from test_service_support import RUNNING, SERVICE_KEY, STOPPED, ServiceTestCase, batch

IMAGE_DIR = r"C:\Soak"
SOAK_SERVER = IMAGE_DIR + r"\soakserver.exe"
CYCLES = int(os.environ.get("SOAK_CYCLES", "10"))


class SoakTest(ServiceTestCase):
    prefix_name = "service-soak"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.exe = cls.p.place_brisnode(IMAGE_DIR, start_bat=batch(SOAK_SERVER.encode() + b" run soak %1"),
                                       stop_bat=batch(SOAK_SERVER.encode() + b" stop soak"))
        cls.p.session.install(cls.p.session.unix_path(r"C:\tools\mgrserver.exe"), SOAK_SERVER)

    def servers(self):
        return self.p.session.process_count("soakserver.exe")

    def kinds(self):
        """The kinds of the soak server's log entries: run, run-end, stop, ..."""
        path = self.p.session.unix_path(SOAK_SERVER[:-4] + ".log")
        if not os.path.exists(path):
            return []
        with open(path, "rb") as f:
            return [line.split(b"\t", 1)[0] for line in f.read().split(b"\r\n") if line]

    def brisnode(self, option, state):
        runs = self.kinds().count(b"run")
        self.p.brisnode(self, self.exe, option)
        self.assertEqual(self.p.wait_state(state), state, "state after %s" % option)
        if state == RUNNING:
            # The service runs once its start command does; the server listens for
            # its stop only once it has logged its start. A stop sent before that,
            # as a loaded machine may have it, would find no server to tell.
            deadline = time.monotonic() + 20
            while self.kinds().count(b"run") == runs and time.monotonic() < deadline:
                time.sleep(0.1)

    def report(self, what, started):
        elapsed = time.monotonic() - started
        print("soak: %s | %d | %.1f s | %.2f s" % (what, CYCLES, elapsed, elapsed / CYCLES), flush=True)

    def test_1_install_stop_start_uninstall_cycles_leave_nothing_behind(self):
        started = time.monotonic()
        for cycle in range(CYCLES):
            with self.subTest(cycle=cycle):
                self.brisnode("/install", RUNNING)
                self.brisnode("/stop", STOPPED)
                self.assertEqual(self.servers(), 0)
                self.brisnode("/start", RUNNING)
                self.brisnode("/uninstall", None)
        self.report("install, stop, start, uninstall", started)
        self.assertEqual(self.servers(), 0)
        self.assertIsNone(self.p.value("ImageDir"))
        self.assertIsNone(self.p.session.reg_query(SERVICE_KEY, "ImagePath"))
        code, out = self.p.query("status")
        self.assertEqual(code, 3, "the Service Control Manager answers that there is no service: %r" % out)
        kinds = self.kinds()
        self.assertEqual((kinds.count(b"run"), kinds.count(b"run-end")), (2 * CYCLES, 2 * CYCLES))

    def test_2_start_stop_cycles_of_one_installation_end_each_server(self):
        self.brisnode("/install", RUNNING)
        self.addCleanup(self.p.brisnode, self, self.exe, "/uninstall")
        started = time.monotonic()
        for cycle in range(CYCLES):
            with self.subTest(cycle=cycle):
                self.assertEqual(self.servers(), 1)
                self.brisnode("/stop", STOPPED)
                self.assertEqual(self.servers(), 0)
                self.brisnode("/start", RUNNING)
        self.report("stop, start", started)
        self.assertEqual(self.p.query("status")[0], 0)


if __name__ == "__main__":
    wh.main()
