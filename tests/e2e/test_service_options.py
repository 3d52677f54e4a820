"""Brisnode's opt-in values end to end: "LogFile" (with "LogLimit"),
"RestartDelay" (with "RestartLimit"), "StopTimeout" and "ProcessTree" in the
service's key. What lands in the log for each thing the service does or sees,
the output of the commands in the same file, the rotation at the limit, a
server restarted after the delay or given up on, a server started by a
launcher and ended after the stop time-out, bad values, and that /install
keeps the values and creates none. One installation; each test sets the
values it needs and starts the service."""

import datetime
import os
import re
import time

import wineharness as wh
from test_service_support import (CONTROL_STOP, ERROR_FILE_NOT_FOUND, ERROR_SERVICE_SPECIFIC_ERROR, RUNNING, SERVER,
                                  STOP_PENDING, STOPPED, ServiceTestCase)

IMAGE_DIR = r"C:\Veltra"
LOG = IMAGE_DIR + r"\brisnode.log"
OPTIONAL_VALUES = ("LogFile", "LogLimit", "RestartDelay", "RestartLimit", "StopTimeout", "ProcessTree")
STAMP = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) (.*)$")
# What an empty start command leaves in the log; nothing is started.
NO_START_COMMAND = "no start command: StartCmd is missing, empty or unreadable"
OUTLIVED = "the server still runs: the service stops with service-specific error 3"


def messages(entries):
    """The messages of Brisnode's entries, process ids and commands left out."""
    return [re.sub(r" as process \d+: .*$", "", message) for _, message in entries]


class OptionsTest(ServiceTestCase):
    prefix_name = "service-options"
    image_dir = IMAGE_DIR

    def setUp(self):
        super().setUp()
        # The service's record of its last server too, so that a server left
        # running by an earlier test is not said to be this one's.
        for name in OPTIONAL_VALUES + ("ServerProcess",):
            self.p.delete_value(name)
        for path in (LOG, LOG + ".1"):
            if os.path.exists(self.p.session.unix_path(path)):
                os.remove(self.p.session.unix_path(path))

    def read_log(self, path=LOG):
        """(Brisnode's entries as (time, message), the other lines: what the commands wrote)."""
        unix = self.p.session.unix_path(path)
        if not os.path.exists(unix):
            return None, None
        entries, others = [], []
        with open(unix, "rb") as f:
            for line in f.read().decode("latin-1").split("\r\n")[:-1]:
                match = STAMP.match(line)
                if match:
                    stamp = datetime.datetime.strptime(match.group(1), "%Y-%m-%d %H:%M:%S.%f")
                    entries.append((stamp, match.group(2)))
                else:
                    others.append(line)
        return entries, others

    def wait_logged(self, message, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            entries, _ = self.read_log()
            if entries and message in messages(entries):
                return entries
            time.sleep(0.2)
        self.fail("%r never logged; the log: %r" % (message, self.read_log()[0]))

    def entry(self, entries, prefix):
        return next((stamp, message) for stamp, message in entries if message.startswith(prefix))

    def test_log_of_a_normal_start_and_stop_holds_the_output_of_both_commands(self):
        start_cmd = SERVER + " run normal say"
        stop_cmd = SERVER + " stop normal say"
        before = datetime.datetime.now()
        self.start_with(start_cmd, stop_cmd, LogFile="brisnode.log")
        self.assertTrue(self.p.wait_log("normal", "run"))
        self.p.brisnode(self, self.exe, "/stop")
        self.assertEqual(self.p.state(), STOPPED)

        entries, output = self.read_log()
        found = messages(entries)
        self.assertEqual(found[:4], ["service started", "start command started", "stop requested",
                                     "stop command started"])
        self.assertEqual(sorted(found[4:6]), ["server ended with exit code 0",
                                              "stop command ended with exit code 0"])
        self.assertEqual(found[6:], ["service stopped"])
        server = self.p.log("normal")
        run = next(e for e in server if e["kind"] == "run")
        stop = next(e for e in server if e["kind"] == "stop")
        self.assertEqual(self.entry(entries, "start command")[1],
                         "start command started as process %s: %s" % (run["pid"], start_cmd))
        self.assertEqual(self.entry(entries, "stop command started")[1],
                         "stop command started as process %s: %s" % (stop["pid"], stop_cmd))
        # Local time to the millisecond, in order, taken during this test.
        stamps = [stamp for stamp, _ in entries]
        self.assertEqual(stamps, sorted(stamps))
        self.assertLess(abs(stamps[0] - before), datetime.timedelta(minutes=2))
        self.assertEqual(sorted(output), ["mgrserver run normal on its standard error",
                                          "mgrserver run normal on its standard output",
                                          "mgrserver stop normal on its standard error",
                                          "mgrserver stop normal on its standard output"])

    def test_log_of_a_start_command_that_does_not_exist(self):
        missing = IMAGE_DIR + r"\missing.exe run"
        self.start_with(missing, SERVER + " stop missing", ERROR_FILE_NOT_FOUND, LogFile=LOG)
        self.assertEqual(self.p.state(), STOPPED)
        # ERROR_FILE_NOT_FOUND, for the Service Control Manager too.
        self.assertEqual(self.p.status_fields()["exitcode"], "2")
        entries, _ = self.read_log()
        self.assertEqual(len(entries), 3, entries)
        self.assertEqual(entries[0][1], "service started")
        self.assertRegex(entries[1][1], r"^start command could not be started \(error 2: .+\): "
                         + re.escape(missing) + "$")
        self.assertEqual(entries[2][1], "service stopped")

    def test_log_of_a_server_that_ignores_the_stop_and_of_the_next_start_while_it_runs(self):
        self.start_with(SERVER + " run deaf ignore-stop", SERVER + " stop deaf", LogFile=LOG)
        self.addCleanup(self.p.quit_server, "deaf")
        self.assertTrue(self.p.wait_log("deaf", "run"))
        self.p.brisnode(self, self.exe, "/stop")
        self.assertTrue(self.p.server_alive("deaf"))
        entries, _ = self.read_log()
        self.assertEqual(messages(entries)[2:], [
            "stop requested", "stop command started", "stop command ended with exit code 0",
            "gave up waiting after 10 s: the server still runs", OUTLIVED, "service stopped"])
        # Each end is logged when it comes, not when the wait is over.
        started = self.entry(entries, "stop command started")[0]
        ended = self.entry(entries, "stop command ended")[0]
        gave_up = self.entry(entries, "gave up")[0]
        self.assertLess((ended - started).total_seconds(), 5)
        self.assertGreaterEqual((gave_up - started).total_seconds(), 9.9)
        self.assertLess((gave_up - started).total_seconds(), 12)
        # The next start finds that server still running (it stops at once:
        # there is no start command now).
        self.start_with("", code=ERROR_SERVICE_SPECIFIC_ERROR)
        deaf = next(e for e in self.p.log("deaf") if e["kind"] == "run")
        self.assertEqual(messages(self.read_log()[0])[len(entries):], [
            "service started", "the server of an earlier run still runs as process " + deaf["pid"],
            NO_START_COMMAND, "service stopped"])

    def test_log_over_its_limit_is_renamed_at_the_next_start(self):
        log, rotated = self.p.session.unix_path(LOG), self.p.session.unix_path(IMAGE_DIR) + "/brisnode.log.1"
        with open(rotated, "wb") as f:
            f.write(b"older\r\n")
        # At the limit: appended to.
        with open(log, "wb") as f:
            f.write(b"x" * 1000)
        self.start_with("", code=ERROR_SERVICE_SPECIFIC_ERROR, LogFile=LOG, LogLimit=1000)
        with open(log, "rb") as f:
            self.assertTrue(f.read().startswith(b"x" * 1000 + b"2"))
        with open(rotated, "rb") as f:
            self.assertEqual(f.read(), b"older\r\n")
        # Over it: renamed at the next start, the older ".1" replaced.
        with open(log, "rb") as f:
            old = f.read()
        self.p.brisnode(self, self.exe, "/start", ERROR_SERVICE_SPECIFIC_ERROR)
        with open(rotated, "rb") as f:
            self.assertEqual(f.read(), old)
        entries, output = self.read_log()
        self.assertEqual(output, [])
        self.assertEqual(messages(entries), [
            "service started", "the log was over 1000 bytes: renamed to " + LOG + ".1",
            NO_START_COMMAND, "service stopped"])

    def test_expandable_log_path_is_expanded(self):
        self.p.set_value("LogFile", r"%SystemRoot%\brisnode-expanded.log", "REG_EXPAND_SZ")
        self.start_with("", code=ERROR_SERVICE_SPECIFIC_ERROR)
        entries, _ = self.read_log(r"C:\windows\brisnode-expanded.log")
        self.assertIsNotNone(entries)
        self.assertEqual(messages(entries)[0], "service started")

    def test_bad_log_values_leave_the_service_running_without_a_log(self):
        folder = IMAGE_DIR + r"\logs"
        os.makedirs(self.p.session.unix_path(folder), exist_ok=True)
        self.addCleanup(os.rmdir, self.p.session.unix_path(folder))
        cases = [
            # name, type, data
            ("names a folder, even over a limit of 0", "REG_SZ", folder),
            ("longer than a path", "REG_SZ", IMAGE_DIR + "\\" + "x" * 300 + ".log"),
            ("too long once taken from ImageDir", "REG_SZ", "y" * 255 + ".log"),
            ("not text: a number", "REG_DWORD", "7"),
            ("not text: bytes", "REG_BINARY", "43003a005c00"),
        ]
        for number, (name, type, data) in enumerate(cases):
            with self.subTest(name):
                tag = "bad%d" % number
                self.p.set_value("LogFile", data, type)
                self.start_with(SERVER + " run " + tag, SERVER + " stop " + tag, LogLimit=0)
                self.assertEqual(self.p.wait_state(RUNNING), RUNNING)
                self.assertTrue(self.p.wait_log(tag, "run"))
                self.p.brisnode(self, self.exe, "/stop")
                self.assertEqual(sorted(self.p.kinds(tag)), ["run", "run-end", "stop", "stop-end"])
                self.assertTrue(os.path.isdir(self.p.session.unix_path(folder)))
                self.assertEqual(sorted(os.listdir(self.p.session.unix_path(IMAGE_DIR))),
                                 ["Brisnode.exe", "logs", "start.bat", "stop.bat"])

    def test_values_of_the_wrong_type_count_as_absent_and_the_log_says_so(self):
        self.p.set_value("LogLimit", "100")
        self.p.set_value("RestartLimit", "2")
        self.start_with("", code=ERROR_SERVICE_SPECIFIC_ERROR, LogFile=LOG, RestartDelay=500)
        self.p.set_value("RestartDelay", "500")
        self.p.brisnode(self, self.exe, "/start", ERROR_SERVICE_SPECIFIC_ERROR)
        entries, _ = self.read_log()
        self.assertEqual(messages(entries), [
            "service started", "LogLimit is not a REG_DWORD: 10485760 bytes used",
            "RestartLimit is not a REG_DWORD: 5 used",
            "a server that ends by itself is started again after 500 ms, at most 5 times within 10 minutes",
            NO_START_COMMAND, "service stopped",
            "service started", "LogLimit is not a REG_DWORD: 10485760 bytes used",
            "RestartDelay is not a REG_DWORD: a server that ends is not restarted",
            NO_START_COMMAND, "service stopped"])

    def test_server_that_dies_once_is_restarted_after_the_delay(self):
        self.start_with(SERVER + " run once exit-once 1000 code 3", SERVER + " stop once",
                        LogFile=LOG, RestartDelay=2000)
        self.assertEqual(self.p.wait_state(RUNNING), RUNNING)
        watcher = self.p.watch(5000)
        deadline = time.monotonic() + 20
        while self.p.kinds("once") != ["run", "run-end", "run"] and time.monotonic() < deadline:
            time.sleep(0.2)
        runs = self.p.log("once")
        self.assertEqual([e["kind"] for e in runs], ["run", "run-end", "run"])
        delay = int(runs[2]["ms"]) - int(runs[1]["ms"])
        self.assertGreaterEqual(delay, 1950)
        self.assertLess(delay, 5000)
        # Running all the while, for the Service Control Manager.
        _, changes = self.p.parse_watch(watcher)
        self.assertEqual([state for _, state in changes], [RUNNING])

        self.p.brisnode(self, self.exe, "/stop")
        kinds = self.p.kinds("once")
        self.assertEqual(kinds[:3], ["run", "run-end", "run"])
        self.assertEqual(sorted(kinds[3:]), ["run-end", "stop", "stop-end"])
        self.assertEqual(self.p.status_fields()["exitcode"], "0")
        entries, _ = self.read_log()
        self.assertEqual(messages(entries)[:6], [
            "service started",
            "a server that ends by itself is started again after 2000 ms, at most 5 times within 10 minutes",
            "start command started", "server ended with exit code 3", "restart scheduled in 2000 ms",
            "start command started"])
        self.assertEqual(messages(entries)[6], "stop requested")

    def test_server_that_dies_every_time_is_given_up_after_the_limit(self):
        self.start_with(SERVER + " run always exit-after 300", SERVER + " stop always",
                        LogFile=LOG, RestartDelay=300, RestartLimit=2)
        self.assertEqual(self.p.wait_state(STOPPED), STOPPED)
        self.assertEqual(self.p.kinds("always"), ["run", "run-end"] * 3)
        status = self.p.status_fields()
        self.assertEqual(status["exitcode"], str(ERROR_SERVICE_SPECIFIC_ERROR))
        self.assertEqual(status["specific"], "1")
        entries, _ = self.read_log()
        self.assertEqual(messages(entries)[-3:], [
            "server ended with exit code 0",
            "restart limit reached: 2 restarts within 10 minutes; the service stops with "
            "service-specific error 1",
            "service stopped"])
        self.assertEqual(messages(entries).count("restart scheduled in 300 ms"), 2)

    def test_stop_during_the_delay_stops_at_once_without_starting_anything(self):
        self.start_with(SERVER + " run delay exit-after 300", SERVER + " stop delay",
                        LogFile=LOG, RestartDelay=0xFFFFFFFF, RestartLimit=1000)
        self.wait_logged("restart scheduled in 3600000 ms")
        answer, changes = self.p.parse_watch(self.p.watch(10000, CONTROL_STOP))
        # Nothing to wait for: the service may already have reported "stopped"
        # by the time the manager hands the control's answer back.
        self.assertIn(answer, ("accepted %d" % STOP_PENDING, "accepted %d" % STOPPED))
        self.assertEqual(changes[-1][1], STOPPED)
        self.assertLess(changes[-1][0], 2000)
        self.assertEqual(self.p.kinds("delay"), ["run", "run-end"])
        self.assertEqual(self.p.status_fields()["exitcode"], "0")
        entries, _ = self.read_log()
        self.assertEqual(messages(entries), [
            "service started",
            "RestartDelay of 4294967295 ms is over one hour: 3600000 ms used",
            "RestartLimit of 1000 is over 100: 100 used",
            "a server that ends by itself is started again after 3600000 ms, at most 100 times within "
            "10 minutes",
            "start command started", "server ended with exit code 0", "restart scheduled in 3600000 ms",
            "stop requested", "service stopped"])

    def test_stop_waits_as_long_as_the_stop_timeout_lets_a_stop_take(self):
        # Over the 30 polls of /stop: given up after them, /uninstall would
        # leave the service marked for deletion, and /install could not make it.
        self.start_with(SERVER + " run slow ignore-stop", SERVER + " stop slow",
                        LogFile=LOG, StopTimeout=33000)
        self.addCleanup(self.p.quit_server, "slow")
        self.assertTrue(self.p.wait_log("slow", "run"))
        elapsed = self.p.brisnode(self, self.exe, "/stop", timeout=90)
        self.assertEqual(self.p.state(), STOPPED)
        self.assertGreaterEqual(elapsed, 32)
        self.assertEqual(messages(self.read_log()[0])[-3:], [
            "gave up waiting after 33 s: the server still runs", OUTLIVED, "service stopped"])

    def test_process_tree_outlives_its_launcher_and_is_ended_after_the_stop_timeout(self):
        self.start_with(SERVER + " launch deep ignore-stop", SERVER + " stop deep",
                        LogFile=LOG, ProcessTree=1, StopTimeout=2500)
        self.addCleanup(self.p.quit_server, "deep")
        self.wait_logged("start command ended with exit code 0; 1 process of its tree still runs")
        self.assertEqual(self.p.state(), RUNNING)
        self.assertTrue(self.p.server_alive("deep"))
        answer, reports = self.p.parse_watch(self.p.watch(15000, CONTROL_STOP), checkpoints=True)
        self.assertEqual(answer, "accepted %d" % STOP_PENDING)
        # Stop pending with a wait hint and a new checkpoint every second, then
        # stopped once the tree has been ended, nothing of it left.
        pending = [report for report in reports if report[1] == STOP_PENDING]
        self.assertEqual([checkpoint for _, _, checkpoint, _ in pending], [1, 2, 3], reports)
        self.assertEqual({hint for _, _, _, hint in pending}, {10000})
        self.assertEqual(reports[-1][1:], (STOPPED, 0, 0))
        self.assertGreaterEqual(reports[-1][0], 2400)
        self.assertLess(reports[-1][0], 8000)
        self.assertFalse(self.p.server_alive("deep"))
        self.assertEqual(self.p.kinds("deep"), ["launch", "run", "stop", "stop-end"])
        self.assertEqual(self.p.status_fields()["exitcode"], "0")
        entries, _ = self.read_log()
        self.assertEqual(messages(entries), [
            "service started",
            "a stop waits up to 2500 ms for the stop command and the server to end",
            "ProcessTree: the server has ended when the last process of its tree has ended; what is "
            "left of it after a stop is ended",
            "start command started",
            "start command ended with exit code 0; 1 process of its tree still runs",
            "stop requested", "stop command started", "stop command ended with exit code 0",
            "gave up waiting after 2500 ms: the server still runs",
            "ended 1 process of the server's tree", "service stopped"])

    def test_process_tree_that_ends_by_itself_stops_the_service(self):
        self.start_with(SERVER + " launch gone exit-after 2000 code 4", SERVER + " stop gone",
                        LogFile=LOG, ProcessTree=1, StopTimeout=500)
        _, changes = self.p.parse_watch(self.p.watch(15000))
        self.assertEqual([state for _, state in changes], [RUNNING, STOPPED])
        self.assertGreaterEqual(changes[-1][0], 1500)
        self.assertEqual(self.p.kinds("gone"), ["launch", "run", "run-end"])
        # The start command's own exit code counts, not that of the last process.
        self.assertEqual(self.p.status_fields()["exitcode"], "0")
        entries, _ = self.read_log()
        self.assertEqual(messages(entries)[1:3], [
            "StopTimeout of 500 ms is under one second: 1000 ms used",
            "a stop waits up to 1000 ms for the stop command and the server to end"])
        self.assertEqual(messages(entries)[-3:], [
            "start command ended with exit code 0; 1 process of its tree still runs",
            "server ended with exit code 0", "service stopped"])

    def test_process_tree_lets_a_process_that_asks_for_it_break_away_beyond_the_stop(self):
        # A job without JOB_OBJECT_LIMIT_BREAKAWAY_OK refuses such a start with
        # access denied. The tree it leaves is empty: the service stops.
        self.start_with(SERVER + " launch free breakaway", SERVER + " stop free", LogFile=LOG, ProcessTree=1)
        self.addCleanup(self.p.quit_server, "free")
        self.assertEqual(self.p.wait_state(STOPPED), STOPPED)
        self.assertTrue(self.p.wait_log("free", "run"))
        self.assertEqual(self.p.kinds("free"), ["launch", "run"])
        self.assertTrue(self.p.server_alive("free"))
        self.assertEqual(messages(self.read_log()[0])[-3:], [
            "start command started", "server ended with exit code 0", "service stopped"])

    def test_preshutdown_timeout_follows_stop_timeout_at_every_start_and_is_never_lowered(self):
        def preshutdown():
            return int(self.p.config()["preshutdown"])

        # As Windows 10 from version 1703 on sets it; the service is started as
        # the system starts it, not by Brisnode, and raises it itself.
        self.assertEqual(self.p.query("preshutdown", 10000)[0], 0)
        self.p.set_value("StartCmd", "")
        self.p.set_value("StopTimeout", 40000, "REG_DWORD")
        self.p.session.wine("sc", "start", "Brisnode")
        self.assertEqual(self.p.wait_state(STOPPED), STOPPED)
        self.assertEqual(preshutdown(), 50000)
        # /stop, of a service that is not running too, does the same; a shorter
        # stop leaves a longer time-out as it is.
        self.p.query("preshutdown", 10000)
        self.p.brisnode(self, self.exe, "/stop")
        self.assertEqual(preshutdown(), 50000)
        self.start_with("", code=ERROR_SERVICE_SPECIFIC_ERROR, LogFile=LOG, StopTimeout=1000)
        self.assertEqual(preshutdown(), 50000)
        self.assertNotIn("preshutdown", " ".join(messages(self.read_log()[0])))

    def test_without_the_values_nothing_is_logged_and_nothing_restarted(self):
        self.start_with(SERVER + " run plain exit-after 500 code 3 say", SERVER + " stop plain")
        self.assertEqual(self.p.wait_state(STOPPED), STOPPED)
        self.assertEqual(self.p.kinds("plain"), ["run", "run-end"])
        # The server's exit code, as a service-specific error.
        status = self.p.status_fields()
        self.assertEqual((status["exitcode"], status["specific"]), (str(ERROR_SERVICE_SPECIFIC_ERROR), "3"))
        self.assertEqual(sorted(os.listdir(self.p.session.unix_path(IMAGE_DIR))),
                         ["Brisnode.exe", "start.bat", "stop.bat"])

    def test_zz_install_keeps_the_values_and_creates_none(self):
        # Runs last: it installs the service anew.
        self.p.brisnode(self, self.exe, "/uninstall")
        self.p.brisnode(self, self.exe, "/install", ERROR_FILE_NOT_FOUND)
        self.assertEqual(self.p.wait_state(STOPPED), STOPPED)
        for name in OPTIONAL_VALUES:
            self.assertIsNone(self.p.value(name), name)
        self.assertEqual(self.p.config()["preshutdown"], "180000")

        # Set before the service exists, as a deployment script may; kept by
        # /install, and by a second /install too.
        self.p.brisnode(self, self.exe, "/uninstall")
        self.assertIsNone(self.p.state())
        self.p.set_value("LogFile", "brisnode.log")
        self.p.set_value("LogLimit", 4096, "REG_DWORD")
        self.p.set_value("RestartDelay", 1500, "REG_DWORD")
        self.p.set_value("RestartLimit", 3, "REG_DWORD")
        self.p.set_value("StopTimeout", 200000, "REG_DWORD")
        self.p.set_value("ProcessTree", 0, "REG_DWORD")
        expected = {name: self.p.value(name) for name in OPTIONAL_VALUES}
        for attempt in ("first", "second"):
            with self.subTest(attempt):
                self.p.brisnode(self, self.exe, "/install", ERROR_FILE_NOT_FOUND)
                self.assertEqual(self.p.wait_state(STOPPED), STOPPED)
                self.assertEqual({name: self.p.value(name) for name in OPTIONAL_VALUES}, expected)
                self.assertEqual(self.p.value("ImageDir"), ("REG_SZ", IMAGE_DIR.encode() + b"\0"))
                # Raised to cover the stop time-out and the end of a tree.
                self.assertEqual(self.p.config()["preshutdown"], "210000")
        # The service that /install started used them.
        entries, _ = self.read_log()
        self.assertEqual(messages(entries)[:2], [
            "service started",
            "a server that ends by itself is started again after 1500 ms, at most 3 times within 10 minutes"])


if __name__ == "__main__":
    wh.main(verbosity=2)
