"""End-to-end harness: Windows programs under Wine, one fresh prefix per session.

The programs under test are one build of the two: E2E_ARCH=x86 (dist/, a 32-bit
prefix) or E2E_ARCH=x64 (dist/x64/, a 64-bit prefix); without E2E_ARCH the
harness takes x86 where the kernel can run 32-bit programs, x64 elsewhere.
A test opens a ``WineSession``; it copies the template prefix of its architecture
(built once per CTest run by the fixture test ``e2e.prefix.win32`` or ``win64``, or on first
use when a test file is run by hand) into a folder of its own, starts its own Xvfb,
and runs programs in that prefix. ``winctl.exe`` (tests/driver) is the Win32 driver that finds windows,
reads controls, presses buttons and reads registry values from inside the prefix.

Things Wine forces on this module:

* Output is captured through files, never pipes: every Windows process inherits
  the Unix standard handles of the ``wine`` that started it, so a child left
  running would hold a pipe open for ever.
* Unix keeps only the low 8 bits of an exit status: ``returncode`` of ``run`` and
  ``spawn`` is the Windows exit code modulo 256. Ask for ``full_exit_code=True``
  when a program's code may exceed 255: the program is then started by winctl,
  which reports the full 32-bit code.
* Registry values are read through winctl (RegQueryValueExA inside the prefix),
  never from system.reg/user.reg: wineserver writes those files lazily (on its
  exit or every few seconds), so the files can lag behind what programs see.
* GetTempPathA answers from TEMP/TMP in HKCU\\Environment, which Wine copies into
  the environment of every process started from Unix; the Unix TEMP is ignored.
* Texts are 8-bit ANSI; they are decoded and encoded as latin-1 here so that every
  byte survives the round trip (``s.encode('latin-1')`` gives the bytes back).

Usage (a test file registers itself with add_e2e_test in tests/e2e/CMakeLists.txt):

    with WineSession("mytest") as s:                 # fresh prefix + Xvfb
        s.install(dist("radad.exe"), "C:\\app\\")   # copy into the prefix
        p = s.spawn([s.unix_path("C:\\app\\radad.exe")])
        s.wait_window("Kitebay", "dialog")            # kind: dialog | msgbox | any
        s.controls("Kitebay", "dialog")               # [Control(id, cls, enabled, ...)]
        s.press("Kitebay", 2, "dialog"); s.key("Kitebay", "esc")
        p.wait(30); p.stdout                           # exit code, bytes
        s.run([...]) / s.wine("reg", ...) / s.reg_add / s.reg_query / s.reg_value_bytes
        s.temp_dir() / s.set_temp_dir("C:\\t dir") / s.screenshot("x.png")

Driver calls act like a user: press, check and settext refuse a disabled or
hidden control unless force=True. press and key only post their messages; wait
for the effect (wait_window, wait_gone, process.wait) before asserting.

Which Wine runs where: Debian's /usr/bin/wine always picks the 32-bit loader when
wine32 is installed, even on a kernel that cannot run it ("Exec format error"), so
the harness calls the loaders itself: /usr/lib/wine/wine for the x86 build,
/usr/lib/wine/wine64 (with WINELOADER pointing at it) for the x64 build and for
booting a 64-bit prefix.
``runnable_archs()`` finds out once which of them starts; E2E_ARCHS="x64" (or
"x86 x64") overrides that finding, for trying the other path on one machine.

Environment: E2E_ARCH, E2E_ARCHS, E2E_WORK_DIR (default build/native/e2e-work),
DIST_DIR (default dist/), CROSS_BUILD_DIR and CROSS64_BUILD_DIR (default
build/cross and build/cross64), E2E_KEEP=1 keeps the session folders.
"""

import atexit
import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from collections import namedtuple

REPO_ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
WINE32 = "/usr/lib/wine/wine"
WINE64 = "/usr/lib/wine/wine64"
WINESERVER = shutil.which("wineserver") or "/usr/bin/wineserver"
ARCHS = ("x86", "x64")
XVFB = shutil.which("Xvfb") or "/usr/bin/Xvfb"
CONVERT = "/usr/bin/convert"  # /usr/local/bin/convert is a stand-in on the test machines
SCREEN = "1024x768x24"


# winctl's own exit statuses: done, failed (with a message), registry value missing.
DRIVER_STATUSES = (0, 2, 3)


class HarnessError(Exception):
    """The harness itself could not do what was asked (Xvfb, prefix, copy...)."""


class WineTimeout(HarnessError):
    """A Windows program did not end in time; its process group has been killed."""


class DriverError(HarnessError):
    """winctl.exe reported a failure; ``stderr`` holds its message."""

    def __init__(self, args, returncode, stdout, stderr):
        self.args_list = list(args)
        self.returncode = returncode
        self.stdout = stdout
        self.stderr = stderr
        super().__init__("winctl %s failed (exit %d): %s" % (" ".join(args), returncode, stderr.strip()))


# ---------------------------------------------------------------------------
# Paths of the things under test


def work_dir():
    return os.path.abspath(os.environ.get("E2E_WORK_DIR") or os.path.join(REPO_ROOT, "build", "native", "e2e-work"))


def _loader_runs(loader):
    try:
        return subprocess.run([loader, "--version"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=60).returncode == 0
    except OSError:
        return False


_runnable = None


def runnable_archs():
    """The builds whose programs this machine can run under Wine, in the order the
    tests take them: x86 when the 32-bit loader starts (the kernel runs 32-bit
    programs), x64 when the 64-bit one does. E2E_ARCHS overrides the finding."""
    global _runnable
    if _runnable is None:
        forced = os.environ.get("E2E_ARCHS", "").replace(",", " ").split()
        if forced:
            unknown = [a for a in forced if a not in ARCHS]
            if unknown:
                raise HarnessError("E2E_ARCHS names unknown architectures: %s" % " ".join(unknown))
            _runnable = tuple(a for a in ARCHS if a in forced)
        else:
            _runnable = tuple(a for a, loader in (("x86", WINE32), ("x64", WINE64)) if _loader_runs(loader))
    return _runnable


def arch():
    """The build under test: E2E_ARCH, or the first build this machine can run."""
    chosen = os.environ.get("E2E_ARCH")
    if chosen:
        if chosen not in ARCHS:
            raise HarnessError("E2E_ARCH must be one of %s, not %r" % (", ".join(ARCHS), chosen))
        return chosen
    archs = runnable_archs()
    if not archs:
        raise HarnessError(no_wine_message())
    return archs[0]


def no_wine_message():
    return ("no Wine can run here: neither %s nor %s starts; install Wine with scripts/setup.sh"
            % (WINE32, WINE64))


def dist(name):
    """Unix path of a deliverable of the build under test: a Windows program from
    DIST_DIR (x86) or DIST_DIR/x64, radad-pack (a build-machine tool) from DIST_DIR."""
    base = os.path.abspath(os.environ.get("DIST_DIR") or os.path.join(REPO_ROOT, "dist"))
    if name.lower().endswith(".exe") and arch() == "x64":
        base = os.path.join(base, "x64")
    return os.path.join(base, name)


def cross(relpath):
    """Unix path of a file of the cross build tree of the build under test, e.g.
    cross('tests/driver/winctl.exe')."""
    if arch() == "x64":
        base = os.environ.get("CROSS64_BUILD_DIR") or os.path.join(REPO_ROOT, "build", "cross64")
    else:
        base = os.environ.get("CROSS_BUILD_DIR") or os.path.join(REPO_ROOT, "build", "cross")
    return os.path.join(os.path.abspath(base), relpath)


def winctl_path():
    return cross("tests/driver/winctl.exe")


def template_dir(prefix_arch):
    return os.path.join(work_dir(), "template-prefix-" + prefix_arch)


def loader(build):
    """The Wine loader for the programs of a build (x86 or x64): each loader hands
    a program of the other width to its partner itself."""
    return WINE64 if build == "x64" else WINE32


# ---------------------------------------------------------------------------
# Xvfb


class Xvfb:
    """An Xvfb of our own on a display that Xvfb picks itself (-displayfd), so that
    parallel tests never race for a display number."""

    def __init__(self, log_path, screen=SCREEN):
        read_end, write_end = os.pipe()
        self._log = open(log_path, "wb")
        try:
            self.process = subprocess.Popen(
                [XVFB, "-displayfd", str(write_end), "-screen", "0", screen, "-nolisten", "tcp"],
                stdin=subprocess.DEVNULL, stdout=self._log, stderr=subprocess.STDOUT,
                pass_fds=(write_end,), start_new_session=True)
        finally:
            os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        try:
            import select
            while not number.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                if remaining <= 0 or self.process.poll() is not None:
                    break
                ready, _, _ = select.select([read_end], [], [], remaining)
                if not ready:
                    break
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        finally:
            os.close(read_end)
        if not number.strip().isdigit():
            self.stop()
            with open(log_path, "rb") as log:
                raise HarnessError("Xvfb did not start: %s" % log.read().decode("latin-1"))
        self.display = ":" + number.strip().decode()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self._log.close()


# ---------------------------------------------------------------------------
# The template prefix


def _base_env(prefix, display, prefix_arch, wine_loader):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEARCH=prefix_arch, WINEDEBUG="-all", WINELOADER=wine_loader)
    # No Mono or Gecko installer prompt in a prefix that has no network anyway.
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    if display:
        env["DISPLAY"] = display
    else:
        env.pop("DISPLAY", None)
    return env


def _locked(name, mode):
    os.makedirs(work_dir(), exist_ok=True)
    handle = open(os.path.join(work_dir(), name), "a")
    fcntl.flock(handle, mode)
    return handle


def _template_ready(prefix_arch):
    return os.path.exists(os.path.join(template_dir(prefix_arch), ".harness-ready"))


def make_template(prefix_arch, force=False):
    """Builds the template prefix: wineboot -i under an Xvfb of its own (started
    first, or the first window of a fresh prefix may never appear), then
    wineserver -w, which returns once the server itself has ended and so has
    written the registry files completely.

    Another CTest run in the same tree may be copying the old template meanwhile:
    the new one is built in a folder of its own and swapped in under an exclusive
    lock, which sessions hold shared while they copy."""
    if prefix_arch not in ("win32", "win64"):
        raise ValueError("a prefix is win32 or win64, not %r" % prefix_arch)
    with _locked("template-build-%s.lock" % prefix_arch, fcntl.LOCK_EX):
        if not force and _template_ready(prefix_arch):
            return template_dir(prefix_arch)
        building = tempfile.mkdtemp(prefix="template-building-", dir=work_dir())
        os.rmdir(building)  # wineboot wants to create the prefix folder itself
        try:
            log_path = os.path.join(work_dir(), "template-wineboot-%s.log" % prefix_arch)
            xvfb = Xvfb(os.path.join(work_dir(), "template-xvfb-%s.log" % prefix_arch))
            try:
                boot_loader = loader("x64" if prefix_arch == "win64" else "x86")
                env = _base_env(building, xvfb.display, prefix_arch, boot_loader)
                with open(log_path, "wb") as log:
                    boot = subprocess.run([boot_loader, "wineboot", "-i"], env=env, stdin=subprocess.DEVNULL,
                                          stdout=log, stderr=subprocess.STDOUT, timeout=240)
                    subprocess.run([WINESERVER, "-w"], env=env, stdin=subprocess.DEVNULL,
                                   stdout=log, stderr=subprocess.STDOUT, timeout=240)
            finally:
                xvfb.stop()
            if boot.returncode != 0 or not os.path.exists(os.path.join(building, "system.reg")):
                raise HarnessError("wineboot -i failed with %d (see %s)" % (boot.returncode, log_path))
            with open(os.path.join(building, ".harness-ready"), "w") as ready:
                ready.write("ready\n")
            with _locked("template-%s.lock" % prefix_arch, fcntl.LOCK_EX):
                old = None
                if os.path.exists(template_dir(prefix_arch)):
                    old = template_dir(prefix_arch) + ".old-%d" % os.getpid()
                    os.rename(template_dir(prefix_arch), old)
                os.rename(building, template_dir(prefix_arch))
            if old:
                shutil.rmtree(old, ignore_errors=True)
        finally:
            shutil.rmtree(building, ignore_errors=True)
        return template_dir(prefix_arch)


# ---------------------------------------------------------------------------
# Results of programs

Result = namedtuple("Result", "returncode stdout stderr")
Control = namedtuple("Control", "id cls enabled visible checked text")
Window = namedtuple("Window", "handle cls owner kind visible caption")
ComboItem = namedtuple("ComboItem", "index data text")
Rect = namedtuple("Rect", "left top right bottom screen_width screen_height")


def utf8(text):
    """text as the harness hands over what a program wrote in UTF-8 (the programs
    and the driver carry a manifest that makes their "A" functions UTF-8): its
    UTF-8 bytes, one latin-1 character each. ASCII texts stay as they are."""
    return text.encode("utf-8").decode("latin-1")


def unescape(text):
    """Undoes winctl's escaping of a text field (\\n, \\r, \\t and \\\\)."""
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m.group(1), m.group(1)), text)


def _killpg(pid):
    try:
        os.killpg(pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass


class Spawned:
    """A Windows program started with ``WineSession.spawn``; its output goes to files."""

    def __init__(self, args, popen, stdout_path, stderr_path, exit_code_path=None):
        self.args = list(args)
        self.process = popen
        self.pid = popen.pid
        self.stdout_path = stdout_path
        self.stderr_path = stderr_path
        self._exit_code_path = exit_code_path

    def _code(self, status):
        if status is None or not self._exit_code_path:
            return status
        try:
            with open(self._exit_code_path) as f:
                return int(f.read().strip()) & 0xFFFFFFFF
        except (OSError, ValueError):
            return status

    def poll(self):
        """The exit code, or None while the program runs."""
        return self._code(self.process.poll())

    def wait(self, timeout=60):
        """Waits for the program and gives its exit code; on timeout kills its
        process group and raises WineTimeout."""
        try:
            status = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise WineTimeout("%s did not end within %s s; stdout: %r stderr: %r" % (
                " ".join(self.args), timeout, self.stdout[-2000:], self.stderr[-2000:]))
        return self._code(status)

    def kill(self):
        _killpg(self.pid)
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            pass

    @property
    def returncode(self):
        return self.poll()

    @property
    def stdout(self):
        with open(self.stdout_path, "rb") as f:
            return f.read()

    @property
    def stderr(self):
        with open(self.stderr_path, "rb") as f:
            return f.read()

    def result(self):
        return Result(self.poll(), self.stdout, self.stderr)


# ---------------------------------------------------------------------------
# The session

_REG_ROOTS = {"HKLM": "HKLM", "HKEY_LOCAL_MACHINE": "HKLM", "HKCU": "HKCU", "HKEY_CURRENT_USER": "HKCU",
              "HKCR": "HKCR", "HKEY_CLASSES_ROOT": "HKCR", "HKU": "HKU", "HKEY_USERS": "HKU"}
_REG_TYPES = {0: "REG_NONE", 1: "REG_SZ", 2: "REG_EXPAND_SZ", 3: "REG_BINARY", 4: "REG_DWORD",
              5: "REG_DWORD_BIG_ENDIAN", 6: "REG_LINK", 7: "REG_MULTI_SZ", 11: "REG_QWORD"}


def _split_key(key):
    root, _, sub = key.replace("/", "\\").partition("\\")
    if root.upper() not in _REG_ROOTS:
        raise ValueError("unknown registry root in %r" % key)
    return _REG_ROOTS[root.upper()], sub


class WineSession:
    """One fresh prefix (a copy of the template of its architecture) and, with
    display=True, an Xvfb of its own. Use as a context manager, or call close()."""

    _counter = 0

    def __init__(self, name, display=True, win64=False, extra_env=None):
        """The prefix is 32-bit for the x86 build and 64-bit for the x64 build;
        win64=True asks for a 64-bit (WoW64) prefix whatever the build, for a
        winelib program such as the JVM bridge, which runs only there. reg_add and
        reg_delete write the registry view that the programs under test read (the
        32-bit one for the x86 build in a 64-bit prefix). extra_env adds variables
        to every program of the session."""
        WineSession._counter += 1
        safe = re.sub(r"[^A-Za-z0-9_.-]", "_", name) or "session"
        self.arch = arch()
        self.prefix_arch = "win64" if win64 or self.arch == "x64" else "win32"
        self.win64 = self.prefix_arch == "win64"
        if not _template_ready(self.prefix_arch):
            make_template(self.prefix_arch)
        sessions = os.path.join(work_dir(), "sessions")
        os.makedirs(sessions, exist_ok=True)
        self.name = name
        self.dir = tempfile.mkdtemp(prefix="%s-%d-" % (safe, WineSession._counter), dir=sessions)
        self.prefix = os.path.join(self.dir, "prefix")
        self.xvfb = None
        self.display = None
        self._processes = []
        self._closed = False
        # cp -a keeps the dosdevices symlinks (c: -> ../drive_c, z: -> /) and the
        # timestamps that tell Wine the prefix needs no update.
        with _locked("template-%s.lock" % self.prefix_arch, fcntl.LOCK_SH):
            copy = subprocess.run(["cp", "-a", template_dir(self.prefix_arch), self.prefix],
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if copy.returncode != 0:
            raise HarnessError("cannot copy the template prefix: %s" % copy.stdout.decode("latin-1"))
        os.remove(os.path.join(self.prefix, ".harness-ready"))
        try:
            if display:
                self.xvfb = Xvfb(os.path.join(self.dir, "xvfb.log"))
                self.display = self.xvfb.display
        except Exception:
            self.close()
            raise
        self.wine_loader = loader(self.arch)
        self.env = _base_env(self.prefix, self.display, self.prefix_arch, self.wine_loader)
        self.env.update(extra_env or {})
        atexit.register(self.close)

    @property
    def reg_view(self):
        """reg's option for the view the programs under test read, or []."""
        return ["/reg:32"] if self.arch == "x86" and self.win64 else []

    # -- life cycle -----------------------------------------------------------

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        """Ends every process of the prefix, stops Xvfb, removes the session folder
        (kept when E2E_KEEP=1)."""
        if self._closed:
            return
        self._closed = True
        try:
            self.kill()
        except Exception:
            pass
        for process in self._processes:
            if process.poll() is None:
                _killpg(process.pid)
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                pass
        if self.xvfb:
            self.xvfb.stop()
        if os.environ.get("E2E_KEEP") != "1":
            shutil.rmtree(self.dir, ignore_errors=True)
        else:
            sys.stderr.write("E2E_KEEP: session %s kept in %s\n" % (self.name, self.dir))

    def kill(self):
        """wineserver -k: ends every process of this prefix."""
        subprocess.run([WINESERVER, "-k"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        subprocess.run([WINESERVER, "-w"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def wait_server(self, timeout=60):
        """wineserver -w: waits until every process of the prefix has ended and the
        server has gone too (a few seconds later), so the registry files are then
        complete on disk."""
        try:
            subprocess.run([WINESERVER, "-w"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise WineTimeout("processes of prefix %s still running after %s s" % (self.prefix, timeout))

    # -- running programs -----------------------------------------------------

    def _output_files(self, label):
        base = re.sub(r"[^A-Za-z0-9_.-]", "_", os.path.basename(label))[:40]
        fd, out_path = tempfile.mkstemp(prefix=base + "-", suffix=".out", dir=self.dir)
        os.close(fd)
        err_path = out_path[:-4] + ".err"
        open(err_path, "wb").close()
        return out_path, err_path

    def spawn(self, args, cwd=None, env=None, full_exit_code=False, test=None):
        """Starts ``wine args[0] args[1:]`` and returns at once a Spawned handle.
        args[0] is a Unix path of an .exe or a Windows path inside the prefix.
        cwd (a Unix or a Windows path) becomes the program's current directory;
        it defaults to C:\\ of the prefix, so that a program writing to the root
        of its current drive writes into this prefix, not into the host's /
        (Wine maps a Unix directory outside the prefix to Z:).
        env adds to (or, with None values, removes from) the session's environment.
        With a unittest.TestCase as test, the program is ended at the test's
        clean-up if it still runs then, so that a failed case leaves nothing behind."""
        args = [str(a) for a in args]
        if cwd is None:
            cwd = os.path.join(self.prefix, "drive_c")
        elif re.match(r"^[A-Za-z]:", str(cwd)):
            cwd = self.unix_path(str(cwd))
        out_path, err_path = self._output_files(args[0])
        run_env = dict(self.env)
        for key, value in (env or {}).items():
            if value is None:
                run_env.pop(key, None)
            else:
                run_env[key] = value
        exit_code_path = None
        command = [self.wine_loader] + args
        if full_exit_code:
            exit_code_path = out_path[:-4] + ".code"
            command = [self.wine_loader, winctl_path(), "exec", self.win_path(exit_code_path)] + args
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            popen = subprocess.Popen(command, cwd=cwd, env=run_env, stdin=subprocess.DEVNULL,
                                     stdout=out, stderr=err, start_new_session=True)
        self._processes.append(popen)
        spawned = Spawned(args, popen, out_path, err_path, exit_code_path)
        if test is not None:
            test.addCleanup(lambda: spawned.poll() is None and spawned.kill())
        return spawned

    def run(self, args, timeout=60, cwd=None, env=None, full_exit_code=False):
        """Runs ``wine args...`` to its end; returns Result(returncode, stdout, stderr)
        with the output as bytes. On timeout kills the program's process group and
        raises WineTimeout."""
        spawned = self.spawn(args, cwd=cwd, env=env, full_exit_code=full_exit_code)
        code = spawned.wait(timeout)
        return Result(code, spawned.stdout, spawned.stderr)

    def wine(self, *args, timeout=60, check=False):
        """Runs a Wine built-in (reg, sc, cmd, ...): ``wine args...``."""
        result = self.run(list(args), timeout=timeout)
        if check and result.returncode != 0:
            raise HarnessError("wine %s failed (%d): %s %s" % (" ".join(args), result.returncode,
                                                               result.stdout.decode("latin-1"),
                                                               result.stderr.decode("latin-1")))
        return result

    # -- the driver -----------------------------------------------------------

    def driver(self, *args, timeout=60):
        """Runs winctl.exe in the prefix and returns its stdout as text (latin-1,
        CR LF turned into LF); raises DriverError with its stderr on failure."""
        args = [str(a) for a in args]
        # Wine's own errors go to winctl's stderr, so that a failure says why.
        # Rarely (seen with the 64-bit loader only) winctl ends with status 1 and
        # no word before it has done anything; it is then started once more.
        for attempt in (1, 2):
            result = self.run([winctl_path()] + args, timeout=timeout, env={"WINEDEBUG": "err+all,warn+seh"})
            if result.returncode in DRIVER_STATUSES or result.stdout or b"winctl:" in result.stderr or attempt == 2:
                break
            sys.stderr.write("harness: winctl %s ended with %d before a word, starting it again; stderr: %r\n"
                             % (" ".join(args), result.returncode, result.stderr[-2000:]))
        stdout = result.stdout.decode("latin-1").replace("\r\n", "\n")
        if result.returncode != 0:
            raise DriverError(args, result.returncode, stdout, result.stderr.decode("latin-1"))
        return stdout

    @staticmethod
    def _kind(kind):
        if kind not in ("any", "dialog", "msgbox"):
            raise ValueError("kind must be any, dialog or msgbox, not %r" % kind)
        return ["--kind", kind]

    def wait_window(self, caption, kind="any", timeout=10):
        """Waits until a visible top-level window with exactly this caption (and kind:
        'dialog', 'msgbox' or 'any') exists; returns its handle (int). The topmost
        one wins when several match."""
        out = self.driver("wait", caption, *self._kind(kind), "--timeout", int(timeout * 1000),
                          timeout=timeout + 30)
        return int(out.split()[0], 16)

    def wait_gone(self, caption, kind="any", timeout=10):
        self.driver("gone", caption, *self._kind(kind), "--timeout", int(timeout * 1000), timeout=timeout + 30)

    def windows(self, kind="any", hidden=False):
        """Every visible top-level window (of that kind), topmost first; with
        hidden=True the hidden ones too (Wine keeps many of its own hidden)."""
        windows = []
        for line in self.driver("list", *self._kind(kind), *(["--hidden"] if hidden else [])).splitlines():
            handle, cls, owner, wkind, visible, caption = line.split("\t", 5)
            windows.append(Window(int(handle, 16), cls, int(owner, 16), wkind, visible == "1", unescape(caption)))
        return windows

    def controls(self, caption, kind="any", timeout=10, hidden=False):
        """The child controls of the window, in z-order (a dialog's template order):
        Control(id, cls, enabled, visible, checked, text). checked is BM_GETCHECK for
        buttons, None for other controls, -1 when the window's thread is busy (not
        answering messages); texts are then the window manager's copies, which are
        exact for statics and buttons but miss what was typed into an edit. With
        hidden=True a hidden window counts too."""
        controls = []
        out = self.driver("controls", caption, *self._kind(kind), "--timeout", int(timeout * 1000),
                          *(["--hidden"] if hidden else []), timeout=timeout + 30)
        for line in out.splitlines():
            cid, cls, enabled, visible, checked, text = line.split("\t", 5)
            controls.append(Control(int(cid), cls, enabled == "1", visible == "1",
                                    {"-": None, "?": -1}.get(checked) if checked in ("-", "?") else int(checked),
                                    unescape(text)))
        return controls

    def control_text(self, caption, control_id, kind="any", timeout=10):
        out = self.driver("text", caption, control_id, *self._kind(kind), "--timeout", int(timeout * 1000),
                          timeout=timeout + 30)
        return unescape(out[:-1] if out.endswith("\n") else out)

    def press(self, caption, control_id, kind="any", timeout=10, force=False):
        self.driver("press", caption, control_id, *self._kind(kind), "--timeout", int(timeout * 1000),
                    *(["--force"] if force else []), timeout=timeout + 30)

    def key(self, caption, vk, kind="any", timeout=10):
        """Sends a key as a user would type it: vk is a number or esc, enter, tab, space."""
        self.driver("key", caption, vk, *self._kind(kind), "--timeout", int(timeout * 1000), timeout=timeout + 30)

    def set_text(self, caption, control_id, text, kind="any", timeout=10, force=False):
        self.driver("settext", caption, control_id, text, *self._kind(kind), "--timeout", int(timeout * 1000),
                    *(["--force"] if force else []), timeout=timeout + 30)

    def check(self, caption, control_id, kind="any", timeout=10, force=False):
        self.driver("check", caption, control_id, *self._kind(kind), "--timeout", int(timeout * 1000),
                    *(["--force"] if force else []), timeout=timeout + 30)

    def combo(self, caption, control_id, kind="any", timeout=10):
        """(items, selection): the combo box's ComboItem(index, data, text) list and
        CB_GETCURSEL (-1 when nothing is selected)."""
        items, selection = [], None
        out = self.driver("combo", caption, control_id, *self._kind(kind), "--timeout", int(timeout * 1000),
                          timeout=timeout + 30)
        for line in out.splitlines():
            fields = line.split("\t", 2)
            if fields[0] == "selection":
                selection = int(fields[1])
            else:
                items.append(ComboItem(int(fields[0]), int(fields[1]), unescape(fields[2])))
        return items, selection

    def select(self, caption, control_id, index, kind="any", timeout=10):
        self.driver("select", caption, control_id, index, *self._kind(kind), "--timeout", int(timeout * 1000),
                    timeout=timeout + 30)

    def rect(self, caption, kind="any", timeout=10):
        out = self.driver("rect", caption, *self._kind(kind), "--timeout", int(timeout * 1000),
                          timeout=timeout + 30)
        window, screen = out.splitlines()[:2]
        return Rect(*[int(v) for v in window.split()[1:]], *[int(v) for v in screen.split()[1:]])

    # -- registry -------------------------------------------------------------

    def reg_add(self, key, value=None, data="", type="REG_SZ"):
        """wine reg add: value None creates the key only; value '' sets the key's
        default value."""
        args = ["reg", "add", key]
        if value is not None:
            args += ["/ve"] if value == "" else ["/v", value]
            args += ["/t", type, "/d", data]
        self.wine(*(args + ["/f"] + self.reg_view), check=True)

    def reg_delete(self, key, value=None):
        """wine reg delete: the whole key when value is None. Missing keys are no error."""
        args = ["reg", "delete", key]
        if value is not None:
            args += ["/ve"] if value == "" else ["/v", value]
        self.wine(*(args + ["/f"] + self.reg_view))

    def reg_value_bytes(self, key, value):
        """(type name, raw bytes) of a value exactly as RegQueryValueExA gives them to
        a program in the prefix (a REG_SZ includes its terminating NUL), or None when
        the key or value is missing. Read by winctl inside the prefix, so it never
        depends on when wineserver flushes the registry files."""
        root, sub = _split_key(key)
        args = [winctl_path(), "regvalue", root, sub, value]
        result = self.run(args, timeout=60)
        if result.returncode == 3:
            return None
        if result.returncode != 0:
            raise DriverError(args[1:], result.returncode, result.stdout.decode("latin-1"),
                              result.stderr.decode("latin-1"))
        vtype, size, data = (result.stdout.decode("latin-1").strip().split("\t") + [""])[:3]
        raw = bytes.fromhex(data)
        if len(raw) != int(size):
            raise HarnessError("winctl regvalue gave %d bytes for size %s" % (len(raw), size))
        return _REG_TYPES.get(int(vtype), "REG_0x%x" % int(vtype)), raw

    def reg_query(self, key, value):
        """The value's data as text (strings up to their first NUL, DWORDs as 0x..,
        multi-strings joined with NUL, anything else as hex), or None when missing."""
        found = self.reg_value_bytes(key, value)
        if found is None:
            return None
        vtype, raw = found
        if vtype in ("REG_SZ", "REG_EXPAND_SZ"):
            return raw.split(b"\0", 1)[0].decode("latin-1")
        if vtype == "REG_DWORD" and len(raw) == 4:
            return "0x%x" % int.from_bytes(raw, "little")
        if vtype == "REG_MULTI_SZ":
            return "\0".join(s.decode("latin-1") for s in raw.rstrip(b"\0").split(b"\0"))
        return raw.hex()

    # -- paths and files ------------------------------------------------------

    def _drive_root(self, letter):
        link = os.path.join(self.prefix, "dosdevices", letter.lower() + ":")
        if not os.path.lexists(link):
            raise ValueError("drive %s: is not mapped in this prefix" % letter)
        return os.path.realpath(link)

    def unix_path(self, win_path):
        """Unix path of a Windows path in this prefix (C: is drive_c, Z: is /). Each
        component is matched without regard to case, as Windows would."""
        match = re.match(r"^([A-Za-z]):[\\/]?(.*)$", win_path)
        if not match:
            raise ValueError("not an absolute Windows path: %r" % win_path)
        path = self._drive_root(match.group(1))
        for part in [p for p in re.split(r"[\\/]+", match.group(2)) if p]:
            candidate = os.path.join(path, part)
            if not os.path.exists(candidate) and os.path.isdir(path):
                folded = [n for n in os.listdir(path) if n.lower() == part.lower()]
                if folded:
                    candidate = os.path.join(path, folded[0])
            path = candidate
        if re.search(r"[\\/]$", win_path) and match.group(2):
            path += "/"
        return path

    def win_path(self, unix_path):
        """Windows path of a Unix path: under drive_c it is C:\\..., anything else Z:\\..."""
        real = os.path.realpath(unix_path)
        drive_c = os.path.realpath(os.path.join(self.prefix, "drive_c"))
        if real == drive_c or real.startswith(drive_c + os.sep):
            rest = os.path.relpath(real, drive_c)
            return "C:\\" + ("" if rest == "." else rest.replace("/", "\\"))
        return "Z:" + real.replace("/", "\\")

    def install(self, src_unix, dest_win):
        """Copies a file into the prefix, creating folders. dest_win is the target
        file's Windows path, or a folder when it ends with a backslash. Returns the
        Unix path written."""
        dest = self.unix_path(dest_win)
        if dest_win.endswith(("\\", "/")) or os.path.isdir(dest):
            dest = os.path.join(dest, os.path.basename(src_unix))
        os.makedirs(os.path.dirname(dest), exist_ok=True)
        shutil.copy2(src_unix, dest)
        return dest

    def process_count(self, image_name):
        """How many processes of this prefix run the executable of that file name."""
        return int(self.driver("count", image_name).split()[0])

    def temp_dir(self):
        """(Windows path, Unix path) of the directory GetTempPathA gives in this
        prefix, as a freshly started program sees it (with its trailing backslash)."""
        win = self.driver("temppath").splitlines()[0]
        return win, self.unix_path(win)

    def set_temp_dir(self, win_path):
        """Points TEMP and TMP in HKCU\\Environment at win_path (created if missing);
        programs started from now on get it from GetTempPathA."""
        os.makedirs(self.unix_path(win_path), exist_ok=True)
        for name in ("TEMP", "TMP"):
            self.reg_add("HKCU\\Environment", name, win_path, "REG_SZ")

    # -- screen ---------------------------------------------------------------

    def screenshot(self, png_path):
        """Writes a PNG of the whole Xvfb screen of this session."""
        if not self.display:
            raise HarnessError("session %s has no display" % self.name)
        xwd_path = os.path.join(self.dir, "screen.xwd")
        subprocess.run(["xwd", "-root", "-silent", "-display", self.display, "-out", xwd_path],
                       check=True, timeout=60, stdin=subprocess.DEVNULL)
        subprocess.run([CONVERT, "xwd:" + xwd_path, "png:" + os.path.abspath(png_path)],
                       check=True, timeout=60, stdin=subprocess.DEVNULL)
        os.remove(xwd_path)
        return png_path


# The exit status with which a suite tells CTest (SKIP_RETURN_CODE) that it was
# skipped as a whole rather than passed.
SKIPPED = 77


def main(**options):
    """unittest.main for a suite: its status, or SKIPPED when every test (or the
    whole class) was skipped, so that the test command reports it as skipped."""
    result = unittest.main(exit=False, **options).result
    if result.wasSuccessful() and result.skipped and len(result.skipped) >= result.testsRun:
        sys.exit(SKIPPED)
    sys.exit(0 if result.wasSuccessful() else 1)


def _main(argv):
    if len(argv) == 2 and argv[0] == "make-template" and argv[1] in ("win32", "win64"):
        started = time.monotonic()
        print("template prefix ready in %s (%.1f s)" % (make_template(argv[1], force=True),
                                                         time.monotonic() - started))
        return 0
    if argv == ["archs"]:
        # One line for the build system (the builds to test), one for people.
        archs = runnable_archs()
        if not archs:
            sys.stderr.write("e2e: %s\n" % no_wine_message())
            return 1
        print(" ".join(archs))
        if os.environ.get("E2E_ARCHS"):
            why = "as E2E_ARCHS asks"
        elif "x86" not in archs:
            why = "this kernel runs no 32-bit programs (%s cannot start), so only the x86-64 build is tested" % WINE32
        else:
            why = "this kernel runs 32-bit and 64-bit programs, so both builds are tested"
        sys.stderr.write("e2e: end-to-end tests run on %s: %s\n" % (" and ".join(archs), why))
        return 0
    sys.stderr.write("usage: wineharness.py make-template win32|win64 | archs\n")
    return 2


if __name__ == "__main__":
    sys.exit(_main(sys.argv[1:]))
