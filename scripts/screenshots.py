#!/usr/bin/env python3
"""Screenshots of the launcher's dialogs for the README, taken under Wine and Xvfb:
the VM choice dialog with one qualifying VM and with several, and the no-VM
dialog. Each is cut out of the screen by the dialog's rectangle.

    scripts/screenshots.py [folder]      (default docs/images)

Needs the build (dist/radad.exe, the stand-in VM of build/cross). From Python:
take_screenshots(folder) returns the paths written."""

import os
import sys

# Importing the test modules must not leave __pycache__ folders in the tree.
sys.dont_write_bytecode = True
ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import launcher_rig as rig  # noqa: E402
import payloads as pl  # noqa: E402
from launcher_rig import CAPTION, IDCANCEL, IDYES, JDK, JRE, JVIEW  # noqa: E402

VK_F4 = 0x73
ADDRESS = "http://kitebay.example/getjava"


def _show_choice(session, runner, exe, vms, png, dropped=False):
    runner.reset()
    for kind, home in vms:
        runner.install_vm(kind, home)
    process = session.spawn([exe])
    try:
        runner.search_result()
        below = 0
        if dropped:
            # F4 drops the list down, as a user would see it when choosing.
            session.key(CAPTION, VK_F4, "dialog")
            rig.wait_until(lambda: [w for w in session.windows() if w.cls == "ComboLBox"],
                           what="the dropped-down list")
            below = 120
        rig.crop_window(session, CAPTION, "dialog", png, below)
        session.press(CAPTION, IDCANCEL, "dialog")
        session.wait_window(CAPTION, "msgbox")
        session.press(CAPTION, IDYES, "msgbox")
        process.wait(30)
    finally:
        if process.poll() is None:
            process.kill()
    return png


def _show_no_vm(session, runner, exe, png):
    # A Java 11 found where the installer asks for Java 17 or later.
    runner.reset()
    runner.install_vm(JDK, "C:\\Program Files\\Java\\jdk-11", config="status=159\noutput=NO\\n11.0.21\n")
    process = session.spawn([exe])
    try:
        runner.no_vm_dialog()
        rig.crop_window(session, CAPTION, "dialog", png)
        session.press(CAPTION, IDCANCEL, "dialog")
        process.wait(30)
    finally:
        if process.poll() is None:
            process.kill()
    return png


def take_screenshots(folder=os.path.join(ROOT, "docs", "images")):
    os.makedirs(folder, exist_ok=True)
    session = rig.open_session("screenshots")
    try:
        runner = rig.Rig(session)
        exe = runner.launcher(pl.shipped_records("1.1:A:A", ADDRESS, b"\xca\xfe\xba\xbe installer"))
        return [
            _show_choice(session, runner, exe, [(JDK, "C:\\jdk1.1.8")],
                         os.path.join(folder, "vm-choice-one.png")),
            _show_choice(session, runner, exe,
                         [(JDK, "C:\\jdk1.1.8"), (JRE, "C:\\Program Files\\JavaSoft\\JRE\\1.1"),
                          (JVIEW, None)],
                         os.path.join(folder, "vm-choice-several.png"), dropped=True),
            _show_no_vm(session, runner, runner.launcher(pl.shipped_records("17+:A:A", ADDRESS, b"\xca\xfe")),
                        os.path.join(folder, "no-vm.png")),
        ]
    finally:
        session.close()


if __name__ == "__main__":
    for path in take_screenshots(*sys.argv[1:2]):
        print(os.path.relpath(path, os.getcwd()))
