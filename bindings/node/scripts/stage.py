#!/usr/bin/env python3
"""Lays out the npm package `vidlox` from the sources and a finished build:

    stage.py SOURCE_DIR BUILD_DIR OUT_DIR

OUT_DIR then holds the package as npm packs it: the JavaScript of
bindings/node, the build's vidlox64.dll under win32-x64/ (where the package
looks for it), the library's header under include/, and lib/header.json, the
header's constants and the meanings of its return codes, read from its
comments by the same reader the command-line tool uses (header_codes.py), so
that errors explain a code in the header's own words. A link to the
installed node_modules of bindings/node makes the staged copy runnable as it
stands (npm pack leaves node_modules out)."""
import json
import os
import re
import shutil
import sys

PACKAGE_FILES = ["package.json", "index.js", "index.d.ts", "README.md"]


def header_table(header_text, read_header):
    constants, notes = {}, {}
    for match in re.finditer(r"^#define\s+(VLX_\w+)\s+\(?(0x[0-9A-Fa-f]+|-?\d+)\)?[ \t]*(?:/\*(.*?)\*/)?",
                             header_text, re.M | re.S):
        constants[match.group(1)] = int(match.group(2), 0)
        if match.group(3):
            notes[match.group(1)] = " ".join(match.group(3).replace("*", " ").split())
    codes = {name: {str(code): meaning for code, meaning in table.items()}
             for name, table in read_header(header_text).items()}
    return {"constants": constants, "notes": notes, "codes": codes}


def stage(source, build, out):
    here = os.path.join(source, "bindings", "node")
    sys.path.insert(0, os.path.join(source, "tools", "vidlox"))
    import header_codes  # noqa: E402  (the one reader of the header's code tables)

    if os.path.islink(os.path.join(out, "node_modules")):
        os.unlink(os.path.join(out, "node_modules"))
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(os.path.join(out, "lib"))
    os.makedirs(os.path.join(out, "win32-x64"))
    os.makedirs(os.path.join(out, "include"))
    for name in PACKAGE_FILES:
        shutil.copyfile(os.path.join(here, name), os.path.join(out, name))
    for name in sorted(os.listdir(os.path.join(here, "lib"))):
        if name.endswith(".js"):
            shutil.copyfile(os.path.join(here, "lib", name), os.path.join(out, "lib", name))
    shutil.copyfile(os.path.join(build, "bin", "vidlox64.dll"), os.path.join(out, "win32-x64", "vidlox64.dll"))
    header = os.path.join(source, "include", "vidlox.h")
    shutil.copyfile(header, os.path.join(out, "include", "vidlox.h"))
    with open(header, encoding="utf-8") as f:
        table = header_table(f.read(), header_codes.read_header)
    with open(os.path.join(out, "lib", "header.json"), "w", encoding="utf-8") as f:
        json.dump(table, f, indent=1, sort_keys=True)
        f.write("\n")
    modules = os.path.join(here, "node_modules")
    if os.path.isdir(modules):
        os.symlink(modules, os.path.join(out, "node_modules"))
    return out


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    print(stage(*sys.argv[1:4]))


if __name__ == "__main__":
    main()
