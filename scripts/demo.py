#!/usr/bin/env python3
"""The demonstration of the launcher under Wine: the usage message of a launcher
without payload, the demo launcher's payload as radad-pack lists it, list mode
with two stand-in Java VMs, and the two dialogs of an installation. Screenshots
go to docs/images/. "demo.py install LAUNCHER" runs only the real installation,
of the given launcher."""

import glob
import os
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
os.environ.setdefault("E2E_WORK_DIR", os.path.join(ROOT, "build", "demo"))
sys.dont_write_bytecode = True
import launcher_rig as rig  # noqa: E402
import wineharness as wh  # noqa: E402

IMAGES = os.path.join(ROOT, "docs", "images")
CAPTION = "Kitebay"


def step(title):
    print("\n== %s" % title, flush=True)


def usage_box(session):
    step("radad.exe without a payload shows its usage message")
    process = session.spawn([wh.dist("radad.exe")])
    session.wait_window(CAPTION, "msgbox", timeout=30)
    print("message box %r says:\n%s" % (CAPTION, session.control_text(CAPTION, 65535, "msgbox")))
    png = rig.crop_window(session, CAPTION, "msgbox", os.path.join(IMAGES, "usage.png"))
    print("screenshot: %s" % os.path.relpath(png, ROOT))
    session.press(CAPTION, 1, "msgbox")
    print("exit code %d" % process.wait(30))


def payload_listing():
    step("radad-pack lists the payload of radad-demo.exe")
    subprocess.run([wh.dist("radad-pack"), "list", wh.dist("radad-demo.exe")], check=True)
    subprocess.run([wh.dist("radad-pack"), "check", wh.dist("radad-demo.exe")], check=True)


def install_stand_in_vm(session, exe, key, version, home, status):
    session.install(wh.cross("tests/standins/fakevm/fakevm.exe"), exe)
    with open(session.unix_path(exe) + ".cfg", "w") as f:
        f.write("status=%d\n" % status)
    session.reg_add(key, "CurrentVersion", version)
    session.reg_add(key + "\\" + version, "JavaHome", home)


def list_mode(session):
    step("radad.exe 1.1:A:A lists the VMs it finds and whether each qualifies")
    install_stand_in_vm(session, "C:\\jdk\\Bin\\java.exe", "HKLM\\Software\\JavaSoft\\Java Development Kit",
                        "1.1", "C:\\jdk", 314)
    install_stand_in_vm(session, "C:\\jre\\Bin\\jre.exe", "HKLM\\Software\\JavaSoft\\Java Runtime Environment",
                        "1.0", "C:\\jre", 159)
    print("(stand-in VMs: java.exe answers 314, jre.exe answers 159)")
    result = session.run([wh.dist("radad.exe"), "1.1:A:A"], timeout=120)
    sys.stdout.write(result.stdout.decode("latin-1").replace("\r\n", "\n"))
    print("exit code %d" % result.returncode)


def dialogs():
    step("a launcher with the shipped payload layout: the VM choice dialog with one and with several VMs, and the no-VM dialog")
    sys.dont_write_bytecode = True
    sys.path.insert(0, os.path.join(ROOT, "scripts"))
    import screenshots
    for path in screenshots.take_screenshots(IMAGES):
        print("screenshot: %s" % os.path.relpath(path, ROOT))


def real_installation(launcher=None):
    """Runs launcher (radad-demo.exe by default) with the machine's JVM as its only VM
    and chooses that VM, as a user would."""
    launcher = launcher or wh.dist("radad-demo.exe")
    # An author's installer shows the caption that radad-pack gave it.
    listing = subprocess.run([wh.dist("radad-pack"), "list", launcher], stdout=subprocess.PIPE, text=True).stdout
    caption = ([line[8:] for line in listing.splitlines() if line.startswith("caption ")] or [CAPTION])[0]
    step("%s installs for real: the machine's JVM as a Windows java.exe (through the winelib bridge)"
         % os.path.basename(launcher))
    bridge = os.path.join(ROOT, "build", "jvmbridge")
    java = "C:\\vm\\Bin\\java.exe"
    with wh.WineSession("demo-real-jvm", win64=True, extra_env={"WINEDLLPATH": os.path.join(bridge, "lib")}) as s:
        s.install(os.path.join(bridge, "bin", "java.exe"), java)
        s.reg_add("HKLM\\Software\\JavaSoft\\Java Development Kit", "CurrentVersion", "1.1")
        s.reg_add("HKLM\\Software\\JavaSoft\\Java Development Kit\\1.1", "JavaHome", "C:\\vm")
        runner = rig.Rig(s)
        process = s.spawn([launcher])
        controls = runner.search_result(timeout=60, caption=caption)
        print("the dialog says: %s" % controls[rig.IDC_MESSAGE_TEXT].text.replace("\n", " "))
        items, _ = s.combo(caption, rig.IDC_VM_LIST, "dialog")
        print("listed: %s" % ", ".join(item.text for item in items))
        s.press(caption, 1, "dialog")
        print("OK pressed; the launcher ended with exit code %d" % process.wait(60))
        # The installer ran in the launcher's folder for this run, which keeps what
        # the installer wrote there.
        print("the temporary directory now holds: %s" % ", ".join(runner.leftovers()))
        for ran in glob.glob(os.path.join(runner.temp, "radad-*", "setup-ran.txt")):
            with open(ran, encoding="latin-1") as f:
                print("the installer class left setup-ran.txt: %s" % f.read().strip())

def main():
    if len(sys.argv) == 3 and sys.argv[1] == "install":
        # scripts/demo.py install LAUNCHER: only the real installation, of that launcher.
        real_installation(os.path.abspath(sys.argv[2]))
        return
    os.makedirs(IMAGES, exist_ok=True)
    build = wh.arch()
    why = "" if build == "x86" else ": this kernel runs no 32-bit programs" if "x86" not in wh.runnable_archs() else ""
    print("The %s build (%s)%s." % (build, os.path.relpath(os.path.dirname(wh.dist("radad.exe")), ROOT), why))
    with wh.WineSession("demo") as session:
        # Without a window manager on the Xvfb screen, Wine draws the title bars
        # itself only for windows it does not hand to one.
        session.reg_add("HKCU\\Software\\Wine\\X11 Driver", "Managed", "N")
        usage_box(session)
        payload_listing()
        list_mode(session)
    dialogs()
    real_installation()


if __name__ == "__main__":
    main()
