#!/usr/bin/env python3
"""Writes the release package from a finished build:

    make_package.py SOURCE_DIR BUILD_DIR OUT_DIR   ->  OUT_DIR/vidlox-VERSION-win64.zip
                                                       OUT_DIR/vidlox-VERSION.tgz

The zip holds one folder, vidlox-VERSION-win64/, with bin/, include/, lib/,
the host's README.md and SHA256SUMS (sha256sum's format, paths relative to
that folder, so `sha256sum -c SHA256SUMS` checks an unpacked copy). The
version is the project's, read from the build's CMake cache.

The tgz is the npm package `vidlox` (bindings/node) as `npm pack` writes it,
laid out from the same build (bindings/node/scripts/stage.py): the zip's
README names it."""
import hashlib
import io
import json
import os
import re
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def package_files(source, build):
    """(path in the package, path on disk) for every file but the README and
    SHA256SUMS, in the package's order."""
    return [
        ("bin/vidlox64.dll", os.path.join(build, "bin", "vidlox64.dll")),
        ("bin/vidlox.exe", os.path.join(build, "bin", "vidlox.exe")),
        ("bin/vidlox-testcam64.dll", os.path.join(build, "bin", "vidlox-testcam64.dll")),
        ("bin/vidlox-share64.dll", os.path.join(build, "bin", "vidlox-share64.dll")),
        ("include/vidlox.h", os.path.join(source, "include", "vidlox.h")),
        ("include/vidlox_testcam.h", os.path.join(source, "testcam", "include", "vidlox_testcam.h")),
        ("include/vidlox_sharecam.h", os.path.join(source, "sharecam", "include", "vidlox_sharecam.h")),
        ("lib/libvidlox64.dll.a", os.path.join(build, "lib", "libvidlox64.dll.a")),
        ("lib/vidlox64.lib", os.path.join(build, "lib", "vidlox64.lib")),
        ("lib/vidlox64.def", os.path.join(source, "src", "exports", "vidlox64.def")),
    ]


def project_version(build):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        found = re.search(r"^CMAKE_PROJECT_VERSION:\w+=(\S+)$", f.read(), re.M)
    if not found:
        sys.exit("no project version in the build's CMake cache")
    return found.group(1)


def tool_usage(source):
    """The tool's usage block of the project README (which a test keeps equal
    to `vidlox --help`)."""
    with open(os.path.join(source, "README.md"), encoding="utf-8") as f:
        found = re.search(r"<!-- vidlox --help -->\n```\n(.*?)```", f.read(), re.S)
    if not found:
        sys.exit("README.md has no usage block of the tool")
    return found.group(1)


def host_readme(source, version):
    sys.path.insert(0, os.path.join(source, "tools", "vidlox"))
    import header_codes  # noqa: E402  (the one reader of the header's code tables)

    with open(os.path.join(source, "include", "vidlox.h"), encoding="utf-8") as f:
        functions = header_codes.read_header(f.read())
    tables = io.StringIO()
    header_codes.write_markdown(functions, tables)
    with open(os.path.join(HERE, "host-readme.md"), encoding="utf-8") as f:
        template = f.read()
    return (template.replace("@VERSION@", version)
            .replace("@TOOL_USAGE@", tool_usage(source))
            .replace("@CODE_TABLES@", tables.getvalue()))


def make_package(source, build, out_dir):
    version = project_version(build)
    root = f"vidlox-{version}-win64"
    contents = []
    for name, path in package_files(source, build):
        with open(path, "rb") as f:
            contents.append((name, f.read()))
    contents.append(("README.md", host_readme(source, version).encode("utf-8")))
    sums = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in contents)
    contents.append(("SHA256SUMS", sums.encode("ascii")))

    os.makedirs(out_dir, exist_ok=True)
    zip_path = os.path.join(out_dir, f"{root}.zip")
    stamp = _commit_time(source)
    with zipfile.ZipFile(zip_path + ".part", "w", zipfile.ZIP_DEFLATED) as archive:
        for name, data in contents:
            entry = zipfile.ZipInfo(f"{root}/{name}", date_time=stamp)
            entry.external_attr = 0o644 << 16
            archive.writestr(entry, data, zipfile.ZIP_DEFLATED)
    os.replace(zip_path + ".part", zip_path)
    return zip_path


def make_npm_package(source, build, out_dir):
    """OUT_DIR/vidlox-VERSION.tgz by `npm pack`; its package.json must carry
    the project's version."""
    sys.path.insert(0, os.path.join(source, "bindings", "node", "scripts"))
    import stage  # noqa: E402

    version = project_version(build)
    staged = stage.stage(source, build, os.path.join(build, "node", "pack"))
    with open(os.path.join(staged, "package.json"), encoding="utf-8") as f:
        declared = json.load(f)["version"]
    if declared != version:
        sys.exit(f"bindings/node/package.json says version {declared}, the project {version}")
    os.makedirs(out_dir, exist_ok=True)
    tarball = os.path.join(out_dir, f"vidlox-{version}.tgz")
    # npm pack of a folder writes the tarball into the working directory.
    subprocess.run(["npm", "pack", "--silent", staged], cwd=out_dir, check=True, stdout=subprocess.DEVNULL)
    if not os.path.isfile(tarball):
        sys.exit(f"npm pack wrote no {tarball}")
    return tarball


def _commit_time(source):
    """The time of the commit packaged (the same bytes give the same zip), or
    the start of 2024 outside a git checkout."""
    try:
        stamp = int(subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"], capture_output=True,
                                   text=True, check=True).stdout.strip())
    except (OSError, subprocess.CalledProcessError, ValueError):
        stamp = 1704067200
    return time.gmtime(stamp)[:6]


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    print(make_package(*sys.argv[1:4]))
    print(make_npm_package(*sys.argv[1:4]))


if __name__ == "__main__":
    main()
