#!/usr/bin/env python3
"""Compiles the public headers the way hosts include them: vidlox.h as C89,
C11 and C++20, the test camera's header as C11 and C++20, each with every
warning an error, using the MinGW compilers of the build."""
import os
import subprocess
import sys
import tempfile

SOURCE = """#include "vidlox.h"
%s
int main(void) {
    return vlx_Version() == VLX_VERSION ? 0 : 1;
}
"""
CAMERA = '#include "vidlox_testcam.h"'

def main():
    c_compiler, cxx_compiler, include, camera_include = sys.argv[1:5]
    cases = [
        ("C89", c_compiler, ".c", ["-std=c89"], False),
        ("C11", c_compiler, ".c", ["-std=c11"], True),
        ("C++20", cxx_compiler, ".cpp", ["-std=c++20"], True),
    ]
    failed = 0
    with tempfile.TemporaryDirectory() as folder:
        for name, compiler, suffix, flags, with_camera in cases:
            path = os.path.join(folder, "host" + suffix)
            with open(path, "w") as f:
                f.write(SOURCE % (CAMERA if with_camera else ""))
            command = [compiler, *flags, "-Wall", "-Wextra", "-Wpedantic", "-Werror", "-I", include,
                       "-I", camera_include, "-c", path, "-o", os.path.join(folder, "host.o")]
            result = subprocess.run(command, capture_output=True, text=True)
            headers = "vidlox.h" + (" and vidlox_testcam.h" if with_camera else "")
            if result.returncode:
                failed += 1
                print(f"FAILED {name}: {headers}\n{result.stderr}")
            else:
                print(f"ok     {name}: {headers}")
    print(f"{len(cases) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
