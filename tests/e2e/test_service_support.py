"""What the service's end-to-end suites share (this module holds no tests).

A ``ServicePrefix`` is one Wine session with the real dist/Brisnode.exe, the
stand-in manager server (mgrserver.exe) and svcquery.exe, the test's window on
the Service Control Manager. The stand-ins live in C:\\tools, apart from the
image directory, so that a test always knows which batch files it wrote.
"""

import filecmp
import os
import re
import time
import unittest

import wineharness as wh

SERVICE_KEY = r"HKLM\SYSTEM\CurrentControlSet\Services\Brisnode"
TOOLS = "C:\\tools\\"
SERVER = r"C:\tools\mgrserver.exe"
QUERY = r"C:\tools\svcquery.exe"
SERVER_LOG = r"C:\tools\mgrserver.log"

STOPPED, START_PENDING, STOP_PENDING, RUNNING = 1, 2, 3, 4
CONTROL_STOP, CONTROL_INTERROGATE = 1, 4
# Exit codes of /start and /install when the service stops as it starts: a start
# command that names no file, and none at all (the service's own code then).
ERROR_FILE_NOT_FOUND, ERROR_SERVICE_SPECIFIC_ERROR = 2, 1066


def batch(fourth_line, head=(b"@echo off", b"rem Manager server", b"cd /d %~dp0")):
    """A batch file whose fourth line is fourth_line (bytes), lines ended by CR LF."""
    return b"\r\n".join(list(head) + [fourth_line]) + b"\r\n"


class ServicePrefix:
    def __init__(self, name):
        self.session = wh.WineSession(name)
        self.session.install(wh.dist("Brisnode.exe"), TOOLS)
        self.session.install(wh.cross("tests/standins/server/mgrserver.exe"), TOOLS)
        self.session.install(wh.cross("tests/standins/server/svcquery.exe"), TOOLS)
        # When the last program of a prefix ends, Wine ends services.exe too, and
        # the next program starts it afresh as if the machine had booted: the
        # service, which starts automatically, would start again by itself. A
        # program that runs as long as the suite keeps that from happening.
        self.keepalive = self.session.spawn([SERVER, "run", "keepalive"])

    def close(self):
        self.session.close()

    # -- the image directory -----------------------------------------------

    def place_brisnode(self, image_dir, start_bat=None, stop_bat=None):
        """Copies Brisnode.exe into image_dir (a Windows path) with the batch files
        given (bytes; None leaves the file out) and returns the executable's path."""
        directory = self.session.unix_path(image_dir)
        os.makedirs(directory, exist_ok=True)
        for name, content in (("start.bat", start_bat), ("stop.bat", stop_bat)):
            path = os.path.join(directory, name)
            if content is None:
                if os.path.exists(path):
                    os.remove(path)
            else:
                with open(path, "wb") as f:
                    f.write(content)
        exe = image_dir.rstrip("\\") + "\\Brisnode.exe"
        # A copy already in place is kept, as on a machine where the service is
        # installed again from the same folder: under load Wine rarely fails to
        # start a program file replaced a moment before (CreateProcessA, also the
        # Service Control Manager's, with 1359), and the file would change only
        # its inode.
        placed = self.session.unix_path(exe)
        if os.path.exists(placed) and filecmp.cmp(wh.dist("Brisnode.exe"), placed, shallow=False):
            return exe
        # Windows refuses to overwrite a program that runs. Under Wine an
        # overwrite in place truncates the file under the running service,
        # whose written pages then read back from the file (its critical section
        # and handles as zeros); a new file renamed over the old one leaves the
        # running copy its own, as Windows would.
        fresh = self.session.install(wh.dist("Brisnode.exe"), exe + ".new")
        os.replace(fresh, fresh[: -len(".new")])
        return exe

    # -- running Brisnode ----------------------------------------------------

    def run_brisnode(self, args, timeout=60):
        """Runs Brisnode to its end through winctl exec, for its whole exit code.
        Under load Wine's CreateProcessA in winctl rarely fails with 1359 for a
        program file replaced a moment before, and the 64-bit loader rarely ends
        a program with 1 before it has run (Brisnode itself says something
        whenever it ends); it is then started once more."""
        for attempt in (1, 2):
            result = self.session.run(args, timeout=timeout, full_exit_code=True)
            not_run = result.stderr.startswith(b"winctl: CreateProcessA failed") or (
                result.returncode == 1 and not result.stdout and not result.stderr)
            if attempt == 2 or not not_run:
                return result

    def brisnode(self, test, exe, option, code=0, timeout=60):
        """Runs a control operation and checks what holds for each: the exit code
        given (the whole Windows code), nothing on standard output, and standard
        error ending in one line that names the option and, for a failure, the
        error. Returns the seconds it took; self.said keeps standard error."""
        started = time.monotonic()
        result = self.run_brisnode([exe, option], timeout)
        elapsed = time.monotonic() - started
        self.said = result.stderr.decode("utf-8")
        test.assertEqual(result.returncode, code, "exit code of Brisnode %s: %s" % (option, self.said))
        test.assertEqual(result.stdout, b"", "standard output of Brisnode " + option)
        error = r" \(error %d: [^\r\n]+\)" % code if code else ""
        test.assertRegex(self.said, r"(\A|\n)Brisnode %s: [^\r\n]+%s\r\n\Z" % (option, error))
        return elapsed

    # -- the Service Control Manager -----------------------------------------

    def query(self, *args, timeout=60):
        result = self.session.run([QUERY] + [str(a) for a in args], timeout=timeout)
        return result.returncode, result.stdout.decode("latin-1").replace("\r\n", "\n")

    def state(self):
        """The current state, or None when the service does not exist."""
        code, out = self.query("status")
        if code == 3:
            return None
        match = re.search(r"^state (\d+)$", out, re.M)
        if code != 0 or not match:
            raise wh.HarnessError("svcquery status: %d %r" % (code, out))
        return int(match.group(1))

    def status_fields(self):
        code, out = self.query("status")
        if code != 0:
            raise wh.HarnessError("svcquery status: %d %r" % (code, out))
        return dict(line.split(" ", 1) for line in out.splitlines())

    def config(self):
        code, out = self.query("config")
        if code != 0:
            raise wh.HarnessError("svcquery config: %d %r" % (code, out))
        return dict((line.split(" ", 1) + [""])[:2] for line in out.splitlines())

    def control(self, code):
        _, out = self.query("control", code)
        return out.strip()

    def watch(self, milliseconds, control=None):
        """Spawns svcquery watch; returns the Spawned process. parse_watch reads it."""
        args = [QUERY, "watch", str(milliseconds)] + ([str(control)] if control is not None else [])
        return self.session.spawn(args)

    @staticmethod
    def parse_watch(spawned, timeout=60, checkpoints=False):
        """(the answer to the control, or None; [(elapsed ms, state), ...] at each
        change of state), or with checkpoints each report seen as (elapsed ms,
        state, checkpoint, wait hint)."""
        spawned.wait(timeout)
        answer, changes = None, []
        for line in spawned.stdout.decode("latin-1").splitlines():
            fields = line.split()
            if fields and fields[0].isdigit():
                report = tuple(int(field) for field in fields)
                if checkpoints:
                    changes.append(report)
                elif not changes or changes[-1][1] != report[1]:
                    changes.append(report[:2])
            elif fields:
                answer = line.strip()
        return answer, changes

    def wait_state(self, wanted, timeout=20):
        deadline = time.monotonic() + timeout
        while True:
            current = self.state()
            if current == wanted or time.monotonic() > deadline:
                return current
            time.sleep(0.2)

    # -- the service's registry values ---------------------------------------

    def value(self, name):
        """(type, bytes) of a value in the service's key, or None."""
        return self.session.reg_value_bytes(SERVICE_KEY, name)

    def set_value(self, name, text, type="REG_SZ"):
        """text is the data as reg add takes it: a number for REG_DWORD, hex for REG_BINARY."""
        self.session.reg_add(SERVICE_KEY, name, str(text), type)

    def delete_value(self, name):
        self.session.reg_delete(SERVICE_KEY, name)

    # -- the stand-in server -------------------------------------------------

    def log(self, tag=None):
        """The server log's entries, each a dict of kind, tag, pid, cwd, cmdline, how."""
        path = self.session.unix_path(SERVER_LOG)
        if not os.path.exists(path):
            return []
        entries = []
        with open(path, "rb") as f:
            for raw in f.read().decode("latin-1").split("\r\n"):
                if not raw:
                    continue
                kind, *fields = raw.split("\t")
                entry = {"kind": kind}
                for field in fields:
                    key, _, text = field.partition("=")
                    entry[key] = text
                if tag is None or entry.get("tag") == tag:
                    entries.append(entry)
        return entries

    def kinds(self, tag):
        return [e["kind"] for e in self.log(tag)]

    def wait_log(self, tag, kind, timeout=20, count=1):
        """Waits until the server log holds `count` entries of `kind` for `tag`."""
        deadline = time.monotonic() + timeout
        while self.kinds(tag).count(kind) < count and time.monotonic() < deadline:
            time.sleep(0.2)
        return self.kinds(tag).count(kind) >= count

    def server_alive(self, tag):
        return self.session.run([SERVER, "alive", tag], timeout=60).returncode == 0

    def quit_server(self, tag):
        self.session.run([SERVER, "quit", tag], timeout=60)


class ServiceTestCase(unittest.TestCase):
    """One prefix per suite; tests that change the installation put it back.

    With image_dir set, the suite installs Brisnode there once, with batch files
    whose commands name no program, and waits until it has stopped by itself; each test
    then finds it stopped, with ImageDir as installed, and starts it with the
    commands and values it needs (start_with)."""

    prefix_name = "service"
    image_dir = None

    @classmethod
    def setUpClass(cls):
        cls.p = ServicePrefix(cls.prefix_name)
        if cls.image_dir is None:
            return
        cls.exe = cls.p.place_brisnode(cls.image_dir, start_bat=batch(b"nothing"), stop_bat=batch(b"nothing"))
        result = cls.p.run_brisnode([cls.exe, "/install"])
        if result.returncode != ERROR_FILE_NOT_FOUND or cls.p.wait_state(STOPPED) != STOPPED:
            cls.p.close()
            raise AssertionError("the service did not install and stop by itself")

    @classmethod
    def tearDownClass(cls):
        cls.p.close()

    def setUp(self):
        if self.image_dir is not None:
            self.assertEqual(self.p.state(), STOPPED)
            self.p.set_value("ImageDir", self.image_dir)

    def start_with(self, start_cmd, stop_cmd="", code=0, **values):
        """Sets the commands and the values given (a number is a REG_DWORD), then
        runs Brisnode /start, which ends with code: the service's own exit code
        when it stops as it starts."""
        for name, value in values.items():
            self.p.set_value(name, value, "REG_DWORD" if isinstance(value, int) else "REG_SZ")
        self.p.set_value("StartCmd", start_cmd)
        self.p.set_value("StopCmd", stop_cmd)
        self.p.brisnode(self, self.exe, "/start", code)
