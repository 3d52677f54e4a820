#!/usr/bin/env python3
"""Runs the libFuzzer targets of build/fuzz and prints a table of what they did.

    fuzz.py [--seconds N] [--target NAME ...] [--build DIR]

Each target starts from its corpus in the build tree (seeded here from the
payloads the tests build, the batch files in seeds/ and a few command lines),
the committed crash inputs in regressions/<target>/, and runs for N seconds
(default 60). A crash, a broken invariant or a leak is a finding: its input is
kept in the build tree's artifacts folder, the table names it, and the exit
status is 1. A kept input belongs in regressions/<target>/ once its fault is
fixed, so that every later run tries it first."""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
TARGETS = ("payload_scan", "batch_command", "service_command_line", "vm_command_line", "icon_file",
           "resource_tree")
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "tests", "probe"))
sys.dont_write_bytecode = True
import payloads as pl  # noqa: E402
import pe_resources  # noqa: E402


def signed_seed(shipped):
    """The shipped layout behind real PE headers (the launcher's own), padded to
    eight bytes and followed by a certificate table that the headers point at."""
    with open(os.path.join(ROOT, "dist", "radad.exe"), "rb") as f:
        headers = f.read(1024)
    body = pl.launcher(headers, shipped, align=8)
    table = struct.pack("<IHH", 16, 0x200, 2) + b"\x30\x82\0\0\0\0\0\0"
    return pl.with_security_entry(body, len(body), len(table)) + table


def payload_seeds():
    stub = b"MZ" + b"\0" * 62
    shipped = pl.shipped_records()
    return {
        "signed": signed_seed(shipped),
        "shipped": pl.launcher(stub, shipped),
        "reserved": pl.launcher(stub, shipped[:2] + [pl.record("setup.class", b"x", reserved=1)]),
        "ten-records": pl.launcher(stub, shipped + [pl.record("r%d" % i, b"d" * i) for i in range(7)]),
        "bad-trailer": pl.launcher(stub, shipped, trailer=0xFFFFFFF0),
        "long-length": pl.launcher(stub, shipped[:2] + [pl.record("setup.class", b"x", length=0xFFFFFFFF)]),
        "no-payload": stub + b"\x40\0\0\0",
    }


def icon_seeds():
    """An icon of a 16 x 16 bitmap and a PNG, and the same with an entry too many."""
    bitmap = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 32, 0, 0, 0, 0, 0, 0) + b"\x80" * (16 * 16 * 4 + 64)
    png = b"\x89PNG\r\n\x1a\n" + b"\0\0\0\rIHDR" + b"\0" * 21
    images = [(16, 32, bitmap), (0, 32, png)]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, bits, data in images:
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    icon = directory + b"".join(data for _, _, data in images)
    return {"two-images": icon, "claims-three": icon[:4] + b"\3\0" + icon[6:]}


def launcher_seeds():
    """The resource sections of both launchers, and the launchers whole."""
    found = {}
    for arch, path in (("x86", "radad.exe"), ("x64", os.path.join("x64", "radad.exe"))):
        with open(os.path.join(ROOT, "dist", path), "rb") as f:
            data = f.read()
        found[arch + "-section"] = pe_resources.resource_section(data)
        found[arch + "-launcher"] = data
    return found


def seeds(target):
    if target == "payload_scan":
        return payload_seeds()
    if target == "icon_file":
        return icon_seeds()
    if target == "resource_tree":
        return launcher_seeds()
    if target == "batch_command":
        found = {}
        for name in os.listdir(os.path.join(HERE, "seeds", "batch_command")):
            with open(os.path.join(HERE, "seeds", "batch_command", name), "rb") as f:
                found[name] = f.read()
        return found
    if target == "service_command_line":
        return {"install": b'"C:\\Program Files\\Veltra\\Brisnode.exe" /install',
                "stop": b"Brisnode.exe   /STOP now", "run": b"C:\\Brisnode.exe",
                "registry": b"\x10\x08C:\\Veltra\0garbage"}
    return {"vm": b"\x08\x02-classpath \0C:\\Documents and Settings\\t\\\0QvxVersion\x001.1:A:A 1.2:A:A\0"
                  b"C:\\jdk\\bin\\java.exe\0-cp C:\\t QvxVersion\0PATH=C:\\x\0classpath=old\0",
            "requirement": b"\x20\x00-cp \0C:\\t\\\0QvxVersion\x0017+:Sun:Win 11-17:A:A\t1.8+:A: 17-11:A:A 8-\0"}


def run(target, seconds, build):
    binary = os.path.join(build, "tests", "fuzz", "fuzz_" + target)
    if not os.path.exists(binary):
        raise SystemExit("fuzz.py: %s is missing; run scripts/build.sh" % binary)
    corpus = os.path.join(build, "corpus", target)
    artifacts = os.path.join(build, "artifacts", target) + os.sep
    os.makedirs(corpus, exist_ok=True)
    shutil.rmtree(artifacts, ignore_errors=True)
    os.makedirs(artifacts)
    for name, data in seeds(target).items():
        with open(os.path.join(corpus, "seed-" + name), "wb") as f:
            f.write(data)
    dirs = [corpus]
    regressions = os.path.join(HERE, "regressions", target)
    if os.path.isdir(regressions):
        dirs.append(regressions)
    log_path = os.path.join(build, "fuzz-%s.log" % target)
    with open(log_path, "wb") as log:
        status = subprocess.run([binary, "-max_total_time=%d" % seconds, "-print_final_stats=1",
                                 "-artifact_prefix=" + artifacts, "-timeout=10", "-rss_limit_mb=2048"] + dirs,
                                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT).returncode
    with open(log_path, "rb") as f:
        text = f.read().decode("latin-1")
    executed = re.search(r"stat::number_of_executed_units:\s*(\d+)", text)
    findings = sorted(os.listdir(artifacts))
    if status != 0 and not findings:
        findings = ["exit status %d (see %s)" % (status, log_path)]
    return {"target": target, "executions": int(executed.group(1)) if executed else 0,
            "corpus": len(os.listdir(corpus)), "findings": findings, "log": log_path}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--target", action="append", choices=TARGETS)
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "fuzz"))
    options = parser.parse_args()
    results = [run(target, options.seconds, os.path.abspath(options.build))
               for target in options.target or TARGETS]
    print("| target | seconds | executions | corpus | findings |")
    print("|---|---:|---:|---:|---|")
    for r in results:
        print("| %s | %d | %s | %d | %s |" % (r["target"], options.seconds, format(r["executions"], ","),
                                             r["corpus"], ", ".join(r["findings"]) or "none"))
    for r in results:
        if r["findings"]:
            with open(r["log"], "rb") as f:
                sys.stdout.write("\n--- %s (%s)\n%s" % (r["target"], r["log"], f.read().decode("latin-1")[-4000:]))
    return 1 if any(r["findings"] for r in results) else 0


if __name__ == "__main__":
    sys.exit(main())
