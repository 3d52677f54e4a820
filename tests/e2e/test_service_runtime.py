"""Brisnode running as the service, end to end: what it does with the start and
stop commands it reads from its registry key at every start and stop. One
installation; each test sets the values it needs and starts the service."""


import wineharness as wh
from test_service_support import CONTROL_STOP, ERROR_SERVICE_SPECIFIC_ERROR, RUNNING, SERVER, STOP_PENDING, STOPPED, ServiceTestCase

IMAGE_DIR = r"C:\Veltra"
# What "sc query" shows after a stop that left the server running.
SERVER_OUTLIVED_STOP = (str(ERROR_SERVICE_SPECIFIC_ERROR), "3")


class RunTimeTest(ServiceTestCase):
    prefix_name = "service-runtime"
    image_dir = IMAGE_DIR

    def test_server_that_ignores_the_stop_is_left_running_after_10_seconds_and_the_service_says_so(self):
        self.start_with(SERVER + " run deaf ignore-stop", SERVER + " stop deaf")
        self.addCleanup(self.p.quit_server, "deaf")
        self.assertEqual(self.p.wait_state(RUNNING), RUNNING)
        answer, changes = self.p.parse_watch(self.p.watch(30000, CONTROL_STOP))
        self.assertEqual(answer, "accepted %d" % STOP_PENDING)
        self.assertEqual([state for _, state in changes], [STOP_PENDING, STOPPED])
        self.assertGreaterEqual(changes[-1][0], 9500)
        self.assertLess(changes[-1][0], 15000)
        self.assertEqual(self.p.kinds("deaf"), ["run", "stop", "stop-end"])
        self.assertTrue(self.p.server_alive("deaf"))
        status = self.p.status_fields()
        self.assertEqual((status["exitcode"], status["specific"]), SERVER_OUTLIVED_STOP)

    def test_server_that_ends_by_itself_stops_the_service_without_the_stop_command(self):
        self.start_with(SERVER + " run self exit-after 1500", SERVER + " stop self")
        _, changes = self.p.parse_watch(self.p.watch(15000))
        self.assertEqual(changes[-1][1], STOPPED)
        self.assertNotIn(STOP_PENDING, [state for _, state in changes])
        self.assertEqual(self.p.kinds("self"), ["run", "run-end"])
        self.assertEqual(self.p.log("self")[1]["how"], "self")

    def test_empty_start_command_stops_the_service_at_once_with_a_service_specific_error(self):
        self.start_with("", SERVER + " stop empty", ERROR_SERVICE_SPECIFIC_ERROR)
        self.assertEqual(self.p.state(), STOPPED)
        status = self.p.status_fields()
        self.assertEqual((status["exitcode"], status["specific"]), ("1066", "2"))
        self.assertEqual(self.p.log("empty"), [])

    def test_start_command_longer_than_its_buffer_counts_as_empty(self):
        # Texts are read into 780 bytes, room for 259 characters in UTF-8.
        self.start_with(SERVER + " run long " + "x" * 800, SERVER + " stop long", ERROR_SERVICE_SPECIFIC_ERROR)
        self.assertEqual(self.p.state(), STOPPED)
        self.assertEqual(self.p.log("long"), [])

    def test_empty_stop_command_leaves_the_server_running_and_the_service_says_so(self):
        self.start_with(SERVER + " run orphan", "")
        self.addCleanup(self.p.quit_server, "orphan")
        self.assertTrue(self.p.wait_log("orphan", "run"))
        _, changes = self.p.parse_watch(self.p.watch(15000, CONTROL_STOP))
        self.assertEqual(changes[-1][1], STOPPED)
        self.assertLess(changes[-1][0], 5000, "nothing to wait for")
        self.assertTrue(self.p.server_alive("orphan"))
        status = self.p.status_fields()
        self.assertEqual((status["exitcode"], status["specific"]), SERVER_OUTLIVED_STOP)

    def test_values_are_read_afresh_at_every_start(self):
        self.p.set_value("ImageDir", r"C:\tools")
        self.start_with(SERVER + " run fresh", SERVER + " stop fresh")
        self.assertTrue(self.p.wait_log("fresh", "run"))
        self.p.brisnode(self, self.exe, "/stop")
        self.assertEqual([e["cwd"] for e in self.p.log("fresh") if "cwd" in e], [r"C:\tools"] * 2)

    def test_value_stored_without_its_nul_is_read_to_its_end_and_no_further(self):
        # 779 bytes leave the 780-byte buffer room for the NUL the value lacks;
        # 780 fill it, and then nothing says where the text ends, so it counts
        # as empty. (Wine's RegQueryValueExA adds the missing NUL itself when
        # there is room and refuses the 780 bytes; the unit tests cover the rest.)
        for length, tag in ((779, "raw779"), (780, "raw780")):
            with self.subTest(length=length):
                command = SERVER + " run " + tag + " "
                command += "x" * (length - len(command))
                self.p.set_value("StopCmd", SERVER + " stop " + tag)
                code, _ = self.p.query("setraw", "StartCmd", command)
                self.assertEqual(code, 0)
                self.p.brisnode(self, self.exe, "/start", 0 if length == 779 else ERROR_SERVICE_SPECIFIC_ERROR)
                if length == 779:
                    self.assertTrue(self.p.wait_log(tag, "run"))
                    self.assertEqual(self.p.log(tag)[0]["cmdline"], command)
                    self.p.brisnode(self, self.exe, "/stop")
                    self.assertEqual(sorted(self.p.kinds(tag)), ["run", "run-end", "stop", "stop-end"])
                else:
                    self.assertEqual(self.p.state(), STOPPED)
                    self.assertEqual(self.p.log(tag), [])

if __name__ == "__main__":
    wh.main(verbosity=2)
