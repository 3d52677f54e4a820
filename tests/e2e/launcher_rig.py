"""What the launcher's suites (and the README's screenshots) share: a session
that draws its windows, the dialogs' ids and texts, launchers with hand-written
payloads, stand-in Java VMs put where each kind of VM is looked for in either
registry view, the logs in which they record how they were started, the waits
for what the dialogs show, and a look at what the screen shows."""

import os
import re
import shutil
import subprocess
import time
import unittest
from collections import namedtuple

import payloads as pl
import wineharness as wh

CAPTION = "Kitebay"
FAKEVM = "tests/standins/fakevm/fakevm.exe"
# The same without the UTF-8 code page: it reads its command line, environment
# and working directory in the ANSI code page, as the Java VMs do.
FAKEVM_ANSI = "tests/standins/fakevm/fakevm-ansi.exe"
HOLDER = "tests/standins/holder/holder.exe"

# Where a kind is registered (None: found in the Windows directory), the name of
# its executable, and the slot of the launcher's VM list that it occupies.
Kind = namedtuple("Kind", "name key executable slot")
JDK = Kind("jdk", r"HKEY_LOCAL_MACHINE\Software\JavaSoft\Java Development Kit", "java.exe", 0)
JRE = Kind("jre", r"HKEY_LOCAL_MACHINE\Software\JavaSoft\Java Runtime Environment", "jre.exe", 1)
JVIEW = Kind("jview", None, "jview.exe", 2)
# The keys of today's Java: their java.exe files follow the classic kinds, from
# slot 3 on in the order the search finds them (the slot here is the first one).
JDK_TODAY = Kind("jdk-today", r"HKEY_LOCAL_MACHINE\Software\JavaSoft\JDK", "java.exe", 3)
JRE_TODAY = Kind("jre-today", r"HKEY_LOCAL_MACHINE\Software\JavaSoft\JRE", "java.exe", 3)

# The keys of the vendors' own under Software, which the search reads after the
# JavaSoft keys, and in which a reset leaves nothing.
VENDORS = ("Eclipse Adoptium", "Eclipse Foundation", "AdoptOpenJDK", "Semeru", "Microsoft\\JDK",
           "Azul Systems", "BellSoft")

# An installed stand-in: its Windows path as the launcher composes it, and the
# Unix path of the executable (its .cfg, .log, .hold, .status files sit beside it).
Vm = namedtuple("Vm", "kind win unix")

IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
# The folder each run of the launcher makes for itself in the temporary directory.
RUN_FOLDER = re.compile(r"radad-[0-9a-f]{8}")
MESSAGE_TEXT_ID = 65535
# The controls of the VM choice dialog (the list, the text) and of the no-VM dialog.
IDC_VM_LIST, IDC_MESSAGE_TEXT, IDC_BROWSE_VM, IDC_VM_PATH = 1001, 1002, 1003, 1004
IDC_SAVE_FOLDER, IDC_BROWSE_FOLDER, IDC_DOWNLOAD_ADDRESS = 1006, 1009, 1010
IDC_OPTION_DOWNLOAD, IDC_OPTION_RUN_VM, IDC_OPTION_SAVE = 1021, 1022, 1023

USAGE = "usage:\n\nRadad <version>:<vendor>:<os> ..."
SEARCHING = "Searching for Java virtual machines..."
ONE_VM = "One Java virtual machine was found.\nClick OK to install the application."
SEVERAL_VMS = ("Multiple Java virtual machines (VMs) were found.\n"
               "Please select a VM and click OK to install the application.")
CONFIRM_CANCEL = "This will cancel your installation. Do you really want to cancel?"
# The no-VM dialog's text when no VM was found, and when none of those found
# qualifies: the requirement in words, and the list of the VMs found.
NO_VM_FOUND = ("No Java virtual machine was found. The installation needs %s.\r\n"
               "Please choose one of the following options:")
NONE_QUALIFIES = ("The installation needs %s. None of the Java virtual machines found is suitable:\r\n"
                  "%sPlease choose one of the following options:")

# The exit codes of the launcher's own: the user cancelled, radad failed, no
# acceptable payload, an option it does not know, and no Java VM qualifies.
CANCELLED, FAILED, NO_PAYLOAD, BAD_OPTION, NO_QUALIFYING_VM = 1602, 1603, 1620, 1639, 0x20000001
# A line of the launcher's log: the local date and time to the millisecond, the text.
LOG_LINE = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*)$")


def listed(vm):
    """The path under which the launcher lists vm: today's VMs under their full
    path, composed with bin where the stand-in was put in Bin (the same folder)."""
    return vm.win if vm.kind is None or vm.kind.slot < 3 else vm.win.replace("\\Bin\\", "\\bin\\")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def probe_class():
    """The probe class as the build compiled it, which the launcher must carry."""
    return read(wh.cross("launcher/probe/classes/QvxVersion.class"))


def fnv1a(data):
    """The hash with which fakevm logs the class file it found."""
    value = 2166136261
    for byte in data:
        value = ((value ^ byte) * 16777619) & 0xFFFFFFFF
    return "%08x" % value


def wait_until(predicate, timeout=20, interval=0.05, what="the condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError("%s did not come about within %s s" % (what, timeout))
        time.sleep(interval)


def open_session(name, display=True):
    """A session whose windows get their frame and caption drawn: without a window
    manager on the Xvfb screen, Wine only draws them for unmanaged windows."""
    session = wh.WineSession(name, display=display)
    try:
        session.reg_add(r"HKCU\Software\Wine\X11 Driver", "Managed", "N")
    except Exception:
        session.close()
        raise
    return session


def _reg_text(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


class Rig:
    """Launchers and stand-in VMs in one session, and a reset between cases."""

    def __init__(self, session):
        self.s = session
        self.stub = read(wh.dist("radad.exe"))
        self.temp_win, self.temp = session.temp_dir()
        self._installed = []
        self._count = 0

    # -- launchers ------------------------------------------------------------

    def launcher(self, records, trailer=None):
        self._count += 1
        path = os.path.join(self.s.dir, "radad-%d.exe" % self._count)
        return pl.write(path, pl.launcher(self.stub, records, trailer))

    # -- stand-in VMs ---------------------------------------------------------

    def views(self):
        """reg's options for the registry view the launcher reads, then for the
        other one where there is one (in a 64-bit prefix)."""
        if not self.s.win64:
            return [self.s.reg_view]
        return [self.s.reg_view, ["/reg:64"] if self.s.reg_view == ["/reg:32"] else ["/reg:32"]]

    def _import(self, lines, view=None):
        # In UTF-16, so that homes may have names that no ANSI code page spells.
        path = os.path.join(self.s.dir, "vms.reg")
        with open(path, "w", encoding="utf-16", newline="") as f:
            f.write("Windows Registry Editor Version 5.00\r\n\r\n" + "\r\n".join(lines) + "\r\n\r\n")
        self.s.wine("reg", "import", self.s.win_path(path), *(self.s.reg_view if view is None else view),
                    check=True)

    def install_vm(self, kind, home=None, program=FAKEVM, config="status=314\n", version="1.1"):
        """Puts a stand-in where kind is looked for: home\\Bin\\<exe> with the kind's
        registry keys pointing at home (default C:\\<kind>) as its current version,
        or jview.exe in the Windows directory. config is fakevm's behaviour file
        (ignored by holder)."""
        if kind.key is None:
            win = "C:\\windows\\" + kind.executable
        else:
            home = home or "C:\\" + kind.name
            win = home + "\\Bin\\" + kind.executable
            self._import(["[%s]" % kind.key, '"CurrentVersion"=%s' % _reg_text(version), "",
                          "[%s\\%s]" % (kind.key, version), '"JavaHome"=%s' % _reg_text(home)])
        return self.install_program(win, program, config, kind)

    def install_java(self, home, config="status=314\n"):
        """A stand-in java.exe in home\\bin, where a registration of today points."""
        return self.install_program(home + "\\bin\\java.exe", config=config)

    def register(self, registrations, view=None):
        """(key under JavaSoft, version, JavaHome) triples, imported in one go into
        the launcher's registry view or the one given (reg's option)."""
        self.register_values([("HKEY_LOCAL_MACHINE\\Software\\JavaSoft\\%s\\%s" % (key, version), "JavaHome", home)
                              for key, version, home in registrations], view)

    def register_values(self, values, view=None):
        """(whole key, value name, text) triples, imported in one go as register's."""
        lines = []
        for key, name, text in values:
            lines += ["[%s]" % key, '"%s"=%s' % (name, _reg_text(text)), ""]
        self._import(lines, view)

    def install_program(self, win, program=FAKEVM, config="status=314\n", kind=None):
        """A stand-in at any Windows path (a VM the user names, a shell handler)."""
        unix = self.s.install(wh.cross(program), win)
        self._installed.append(unix)
        if config is not None and program in (FAKEVM, FAKEVM_ANSI):
            with open(unix + ".cfg", "w") as f:
                f.write(config)
        return Vm(kind, win, unix)

    def reset(self):
        """No VM registered (in either view) or installed, no file of a run in the
        temporary directory."""
        keys = ["JavaSoft"] + list(VENDORS)
        for view in self.views():
            self._import(["[-HKEY_LOCAL_MACHINE\\Software\\%s]" % key for key in keys], view)
        self._import(["[-HKEY_CURRENT_USER\\Software\\%s]" % key for key in keys])
        for unix in self._installed:
            for suffix in ("", ".cfg", ".log", ".hold", ".status"):
                if os.path.exists(unix + suffix):
                    os.remove(unix + suffix)
        self._installed = []
        self.clear_temp()

    def clear_temp(self):
        for name in os.listdir(self.temp):
            path = os.path.join(self.temp, name)
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path)
            else:
                os.remove(path)

    # -- what the stand-ins recorded -----------------------------------------

    @staticmethod
    def runs(vm):
        """The runs a stand-in logged, oldest first: dicts of its key=value lines
        (fakevm's repeated arg lines are gathered in 'args')."""
        try:
            text = read(vm.unix + ".log").decode("latin-1")
        except FileNotFoundError:
            return []
        runs, current = [], None
        for line in text.split("\n"):
            if line == "run" or current is None:
                current = {"args": []}
                if line == "run":
                    continue
            if line == "end":
                runs.append(current)
                current = None
                continue
            key, _, value = line.partition("=")
            if key == "arg":
                current["args"].append(value)
            elif key:
                current[key] = value
        return runs

    def wait_runs(self, vm, count, timeout=20):
        return wait_until(lambda: len(self.runs(vm)) >= count and self.runs(vm), timeout,
                          what="%d logged runs of %s" % (count, vm.win))

    def run_folder(self, timeout=20):
        """(Windows path with its trailing backslash, Unix path) of the folder of the
        launcher that runs now, the only run's folder in the temporary directory."""
        names = wait_until(lambda: [n for n in os.listdir(self.temp) if RUN_FOLDER.fullmatch(n)], timeout,
                           what="the run's folder")
        if len(names) != 1:
            raise AssertionError("run folders: %r" % names)
        return self.temp_win + names[0] + "\\", os.path.join(self.temp, names[0])

    def run_files(self):
        """The files in the run's folder: {name: bytes}."""
        unix = self.run_folder()[1]
        return {name: read(os.path.join(unix, name)) for name in os.listdir(unix)}

    def leftovers(self):
        """What is in the temporary directory, folders and their files as relative
        Unix paths, a run's folder as radad-* (reset leaves nothing)."""
        found = []
        for top, folders, files in os.walk(self.temp):
            for name in folders + files:
                found.append(RUN_FOLDER.sub("radad-*", os.path.relpath(os.path.join(top, name), self.temp)))
        return sorted(found)

    # -- what the dialogs show -----------------------------------------------

    def dialog_controls(self, ready, what, timeout=30, caption=CAPTION):
        """The launcher's dialog's controls by id, once ready(controls) holds. The
        dialog may be missing for a moment, when one dialog gives way to the other."""
        def controls():
            try:
                found = {c.id: c for c in self.s.controls(caption, "dialog", timeout=2)}
            except wh.DriverError:
                return None
            return found if ready(found) else None
        return wait_until(controls, timeout, interval=0.1, what=what)

    def search_result(self, timeout=30, caption=CAPTION):
        """The VM choice dialog's controls once the search has filled its list."""
        return self.dialog_controls(lambda c: IDC_VM_LIST in c and c[IDC_MESSAGE_TEXT].text != SEARCHING,
                                    "the end of the search", timeout, caption)

    def no_vm_dialog(self, timeout=30):
        """The no-VM dialog's controls once it is shown."""
        return self.dialog_controls(lambda c: IDC_OPTION_DOWNLOAD in c, "the no-VM dialog", timeout)

    def launcher_windows(self, caption=CAPTION):
        return [w for w in self.s.windows() if w.caption == wh.utf8(caption)]

    # -- the screen ----------------------------------------------------------

    def _screen_area(self, left, top, right, bottom, output, *options):
        """A part of the screen as convert writes it raw (output: rgb:- or gray:-)."""
        shot = self.s.screenshot(os.path.join(self.s.dir, "screen.png"))
        return subprocess.run([wh.CONVERT, shot, "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                               "+repage", *options, "-depth", "8", output], check=True, timeout=60,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE).stdout

    def screen_area_colours(self, left, top, right, bottom):
        """The (red, green, blue) of each pixel of a part of the screen."""
        raw = self._screen_area(left, top, right, bottom, "rgb:-")
        return [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]

    def screen_area_pixels(self, left, top, right, bottom):
        """The grey levels (0 black to 255 white) of a part of the screen."""
        return self._screen_area(left, top, right, bottom, "gray:-", "-colorspace", "Gray")


class LauncherTestCase(unittest.TestCase):
    """A suite of the launcher's in one session of its own (named session_name)
    with a rig that is reset before every test."""

    session_name = "launcher"
    display = True
    # (requirement, download address, installer bytes): the suite's own launcher
    # with these records in the shipped layout, as records and exe.
    payload = None

    @classmethod
    def setUpClass(cls):
        cls.s = open_session(cls.session_name, cls.display)
        cls.rig = Rig(cls.s)
        if cls.payload:
            cls.records = pl.shipped_records(*cls.payload)
            cls.exe = cls.rig.launcher(cls.records)

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def setUp(self):
        self.rig.reset()

    def start(self, exe, *args, **spawn_options):
        """A launcher started as a user would, ended at the test's clean-up if it
        still runs then; its whole exit code comes back unless full_exit_code is False."""
        spawn_options.setdefault("full_exit_code", True)
        return self.s.spawn([exe, *args], test=self, **spawn_options)

    def class_directory(self, run):
        """The class directory a logged run was given: the launcher's folder of its
        own in the temporary directory, with its trailing backslash."""
        folder = run["classfile"].rpartition("\\")[0] + "\\"
        self.assertRegex(folder, "^" + re.escape(self.rig.temp_win) + RUN_FOLDER.pattern + r"\\$")
        return folder

    def assert_centred(self, rect):
        width, height = rect.right - rect.left, rect.bottom - rect.top
        # Python's // is a floor division; for the positive differences here it
        # truncates as the launcher's signed division does.
        self.assertEqual((rect.left, rect.top), ((rect.screen_width - width) // 2,
                                                 (rect.screen_height - height) // 2))

    def assert_ended_cleanly(self, process, code, leftovers=()):
        """The launcher ended with code, left no window, and left in the temporary
        directory only what is named."""
        self.assertEqual(process.wait(30), code)
        self.assertEqual(self.rig.launcher_windows(), [])
        self.assertEqual(self.rig.leftovers(), sorted(leftovers))


def crop_window(session, caption, kind, png_path, below=0):
    """A PNG of one window as the screen shows it, cut out with convert by the
    window's rectangle. below takes that many more rows under the window (for a
    dropped-down list), and then the black screen around what shows there is
    trimmed away. -strip leaves out the time stamps, so that the file only
    changes when the picture does."""
    rect = session.rect(caption, kind)
    shot = session.screenshot(os.path.join(session.dir, "screen.png"))
    geometry = "%dx%d+%d+%d" % (rect.right - rect.left, rect.bottom - rect.top + below, rect.left, rect.top)
    trim = ["-bordercolor", "black", "-border", "1", "-trim", "+repage"] if below else []
    subprocess.run([wh.CONVERT, shot, "-crop", geometry, "+repage"] + trim
                   + ["-strip", "png:" + os.path.abspath(png_path)],
                   check=True, timeout=60, stdin=subprocess.DEVNULL)
    return png_path
