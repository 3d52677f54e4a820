"""The shipped programs of both builds (and radad-pack.exe of the x86-64 one): the
right machine, small, linked without the C++ exception machinery, and needing no
DLL beyond those of Windows itself, with the manifest and the version information
that Windows reads; the payload tool works on both launchers; the release archive
holds them all with the guides, the examples and their sums; the documentation's
links lead somewhere."""

import hashlib
import os
import re
import stat
import subprocess
import sys
import tempfile
import unittest
import zipfile
import xml.etree.ElementTree as ET

import pefile  # an independent reader of resources (Debian's python3-pefile)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "probe"))
sys.dont_write_bytecode = True
import pe_resources  # noqa: E402

DIST = os.environ.get("DIST_DIR", "dist")
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GUIDES = ["docs/" + name for name in sorted(os.listdir(os.path.join(ROOT, "docs"))) if name.endswith(".md")]
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "comdlg32.dll",
                "gdi32.dll", "msvcrt.dll", "ole32.dll"}
# program: its size limit in both builds, its link map in a cross build tree
SHIPPED = {"radad.exe": (57856, "launcher/radad.map"), "Brisnode.exe": (32768, "service/Brisnode.map")}
# What only C++ exceptions link: the personality routine, the unwinder, a throw.
EXCEPTION_MACHINERY = ("__gxx_personality", "_Unwind_", "__cxa_allocate_exception", "__cxa_throw")
VERSION = os.environ["PROJECT_VERSION"]

RT_MANIFEST = 24
ASM_V1, ASM_V3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
SMI_2005, SMI_2019 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}", \
    "{http://schemas.microsoft.com/SMI/2019/WindowsSettings}"
# Vista, 7, 8, 8.1, 10 and 11
SUPPORTED_OS = ["{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"]
COMMON_CONTROLS = {"type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
                   "processorArchitecture": "*", "publicKeyToken": "6595b64144ccf1df", "language": "*"}

# program: FileDescription, ProductName, has dialogs
IDENTITIES = {
    "radad.exe": ("Kitebay installer launcher", "Kitebay", True),
    "radad-demo.exe": ("Kitebay installer launcher", "Kitebay", True),
    "Brisnode.exe": ("Veltra Corvane Manager Server", "Veltra Corvane Manager", False),
    "radad-pack.exe": ("Kitebay installer payload tool", "Kitebay", False),  # x86-64 only
}

# folder, PE machine, PE optional header magic, objdump that reads it, cross build tree
BUILDS = [
    ("", 0x14C, 0x10B, "i686-w64-mingw32-objdump", os.environ.get("CROSS_BUILD_DIR", "build/cross")),
    ("x64", 0x8664, 0x20B, "x86_64-w64-mingw32-objdump", os.environ.get("CROSS64_BUILD_DIR", "build/cross64")),
]


def path(folder, name):
    return os.path.join(DIST, folder, name)


def read(file_path):
    with open(file_path, "rb") as f:
        return f.read()


def imports(objdump, file_path):
    out = subprocess.run([objdump, "-p", file_path], stdout=subprocess.PIPE, check=True, text=True).stdout
    return {line.split()[-1].lower() for line in out.splitlines() if "DLL Name:" in line}


def manifest_and_version(file_path):
    """(the RT_MANIFEST 1 resource parsed, the version strings, the fixed file
    version as four numbers) as pefile reads them."""
    image = pefile.PE(file_path)
    manifests = [entry for kind in image.DIRECTORY_ENTRY_RESOURCE.entries if kind.id == RT_MANIFEST
                 for entry in kind.directory.entries]
    assert [entry.id for entry in manifests] == [1], "one manifest, resource id 1"
    data = manifests[0].directory.entries[0].data.struct
    manifest = ET.fromstring(image.get_data(data.OffsetToData, data.Size))
    strings = {key.decode(): value.decode() for info in image.FileInfo for block in info
               for table in getattr(block, "StringTable", []) for key, value in table.entries.items()}
    fixed = image.VS_FIXEDFILEINFO[0]
    numbers = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF, fixed.FileVersionLS >> 16,
               fixed.FileVersionLS & 0xFFFF)
    return manifest, strings, numbers


def prose(page):
    """A Markdown page without its code blocks, which hold neither links nor headings."""
    return re.sub(r"^```.*?^```", "", read(page).decode("utf-8"), flags=re.S | re.M)


def anchors(page):
    """The anchors of a page's headings, spelled as the hosting sites spell them."""
    return {re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-")
            for heading in re.findall(r"^#+ (.*)$", prose(page), flags=re.M)}


def pack(*args):
    return subprocess.run([path("", "radad-pack"), *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


class DeliverablesTest(unittest.TestCase):
    def test_each_build_is_for_its_machine_imports_only_windows_dlls_and_carries_manifest_and_version(self):
        numbers = tuple(int(n) for n in (VERSION.split(".") + ["0"] * 4)[:4])
        self.assertEqual(pack("--version").stdout, "radad-pack %s\n" % VERSION)
        for folder, machine, magic, objdump, _ in BUILDS:
            for name, (description, product, dialogs) in IDENTITIES.items():
                if name == "radad-pack.exe" and not folder:
                    continue
                with self.subTest(folder=folder or "x86", program=name):
                    file_path = path(folder, name)
                    self.assertEqual(pe_resources.headers(read(file_path))[:2], (machine, magic))
                    found = imports(objdump, file_path)
                    self.assertTrue(found, "no imports read from %s" % file_path)
                    self.assertLessEqual(found, WINDOWS_DLLS)
                    print("%s: %d bytes" % (os.path.relpath(file_path, DIST), os.path.getsize(file_path)))
                    manifest, strings, fixed = manifest_and_version(file_path)
                    level = manifest.find(".//%srequestedExecutionLevel" % ASM_V3)
                    self.assertEqual(level.attrib, {"level": "asInvoker", "uiAccess": "false"})
                    self.assertEqual([os.get("Id") for os in manifest.iter(COMPATIBILITY + "supportedOS")],
                                     SUPPORTED_OS)
                    self.assertEqual(manifest.find(".//%sactiveCodePage" % SMI_2019).text, "UTF-8")
                    dpi = manifest.find(".//%sdpiAware" % SMI_2005)
                    dependencies = [d.attrib for d in manifest.iter(ASM_V1 + "assemblyIdentity")]
                    self.assertEqual((dpi.text if dpi is not None else None, dependencies),
                                     ("true", [COMMON_CONTROLS]) if dialogs else (None, []))
                    self.assertEqual(strings, {"FileDescription": description, "ProductName": product,
                                               "FileVersion": VERSION, "ProductVersion": VERSION,
                                               "OriginalFilename": name.replace("-demo", "")})
                    self.assertEqual(fixed, numbers)

    def test_each_shipped_program_fits_its_limit_and_links_no_exception_machinery(self):
        for folder, _, _, _, tree in BUILDS:
            for name, (limit, link_map) in SHIPPED.items():
                with self.subTest(folder=folder or "x86", program=name):
                    linked = read(os.path.join(tree, link_map)).decode("latin-1")
                    self.assertEqual([symbol for symbol in EXCEPTION_MACHINERY if symbol in linked], [])
                    self.assertLessEqual(os.path.getsize(path(folder, name)), limit)

    def test_each_demo_launcher_is_its_launcher_with_a_payload_the_tool_accepts(self):
        for folder, _, _, _, _ in BUILDS:
            with self.subTest(folder=folder or "x86"):
                stub = read(path(folder, "radad.exe"))
                demo = read(path(folder, "radad-demo.exe"))
                # The same image, but for the checksum, which covers the payload too.
                _, magic, directories = pe_resources.headers(demo)
                at = directories - {0x10B: 96, 0x20B: 112}[magic] + 64
                self.assertEqual(demo[:at] + demo[at + 4:len(stub)], stub[:at] + stub[at + 4:])
                self.assertEqual(int.from_bytes(demo[at:at + 4], "little"), pefile.PE(data=demo).generate_checksum())
                self.assertEqual(int.from_bytes(demo[-4:], "little"), len(stub))
                listing = pack("list", path(folder, "radad-demo.exe"))
                self.assertEqual(listing.returncode, 0, listing.stderr)
                self.assertIn("trailer %d" % len(stub), listing.stdout)
                check = pack("check", path(folder, "radad-demo.exe"))
                self.assertEqual(check.returncode, 0, check.stdout + check.stderr)

    def test_every_relative_link_and_image_of_the_documentation_leads_to_a_file_and_heading(self):
        broken = []
        for page in ["README.md", "CHANGELOG.md"] + GUIDES:
            for target in re.findall(r"\]\(([^)\s]+)\)", prose(os.path.join(ROOT, page))):
                name, _, anchor = target.partition("#")
                if re.match(r"[a-z]+:", name):
                    continue
                linked = os.path.normpath(os.path.join(ROOT, os.path.dirname(page), name or os.path.basename(page)))
                if (not linked.startswith(ROOT + os.sep) or not os.path.isfile(linked)
                        or anchor and anchor not in anchors(linked)):
                    broken.append("%s: %s" % (page, target))
        self.assertEqual(broken, [])

    def test_the_release_archive_holds_both_builds_the_tools_the_guides_the_examples_and_their_sums(self):
        build = os.environ.get("NATIVE_BUILD_DIR", os.path.join("build", "native"))
        shipped = ["radad.exe", "radad-demo.exe", "Brisnode.exe"]
        examples = ["examples/installer/" + name for name in ("setup.java", "setup.class", "kitebay.ico")]
        examples += ["examples/service/" + name for name in ("start.bat", "stop.bat", "server.cmd")]
        expected = (shipped + ["x64/" + name for name in shipped + ["radad-pack.exe"]]
                    + ["radad-pack", "README.md", "CHANGELOG.md", "SHA256SUMS"] + GUIDES + examples)
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", folder],
                           cwd=build, check=True, stdout=subprocess.DEVNULL)
            archive = os.path.join(folder, "brisnode-radad-%s.zip" % VERSION)
            with open(archive + ".sha256") as f:
                self.assertEqual(f.read().split(), [hashlib.sha256(read(archive)).hexdigest(), os.path.basename(archive)])
            with zipfile.ZipFile(archive) as z:
                top = "brisnode-radad-%s/" % VERSION
                files = {info.filename[len(top):]: info for info in z.infolist() if not info.is_dir()}
                self.assertTrue(all(info.filename.startswith(top) for info in z.infolist()))
                self.assertLessEqual(set(expected), set(files))  # and the guides' pictures
                sums = dict(reversed(line.split("  ")) for line in z.read(top + "SHA256SUMS").decode().splitlines())
                self.assertEqual(sorted(sums), sorted(name for name in files if name != "SHA256SUMS"))
                for name, digest in sums.items():
                    self.assertEqual(hashlib.sha256(z.read(top + name)).hexdigest(), digest, name)
                for name in shipped:
                    self.assertEqual(z.read(top + name), read(path("", name)))
                    self.assertEqual(z.read(top + "x64/" + name), read(path("x64", name)))
                tool = z.extract(top + "radad-pack", folder)
                self.assertTrue(files["radad-pack"].external_attr >> 16 & stat.S_IXUSR)
                os.chmod(tool, 0o755)
                # Linked statically, it runs whatever C library the machine has.
                headers = subprocess.run(["readelf", "-l", tool], stdout=subprocess.PIPE, text=True, check=True)
                self.assertFalse("INTERP" in headers.stdout, "radad-pack asks for the machine's dynamic loader")
                self.assertEqual(subprocess.run([tool, "--version"], stdout=subprocess.PIPE, text=True).stdout,
                                 "radad-pack %s\n" % VERSION)


if __name__ == "__main__":
    unittest.main()
