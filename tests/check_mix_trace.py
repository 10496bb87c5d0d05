#!/usr/bin/env python3
"""Calls vlx_VMRMixImage from a host process the way a script host does
(dll/mix_trace_host.c: resolved with GetProcAddress, floats by value) on a
running VMR9 preview of the test camera, and checks every field of the bitmap
description Wine 8's VMR9 received, read from the trace its SetAlphaBitmap
stub writes on the quartz channel. The stub answers E_NOTIMPL, which the
library returns unchanged.

usage: check_mix_trace.py <wine-run> <prefix> <mix_trace_host.exe>"""
import os
import re
import struct
import subprocess
import sys

E_NOTIMPL = -2147467263

# The 13 arguments after the device context, and what VMR9 must receive.
CASES = [
    ("10 20 110 70 0.5 0 0 0.5 0.25 1 255 0 0",
     dict(flags=0xA, src=(10, 20, 110, 70), dest=(0.0, 0.0, 0.5, 0.25), alpha=0.5, key=0x0000FF)),
    ("1 2 33 44 0.35 0.1 0.2 0.7 0.9 0 0x1FF 0x180 0x7F",
     dict(flags=0x2, src=(1, 2, 33, 44), dest=(0.1, 0.2, 0.7, 0.9), alpha=0.35, key=0x7F80FF)),
    ("-5 0 16 16 1 0.25 0.125 1 1 2 0 0 255",
     dict(flags=0x2, src=(-5, 0, 16, 16), dest=(0.25, 0.125, 1.0, 1.0), alpha=1.0, key=0xFF0000)),
]

# dwFlags %#lx, hdc %p, pDDS %p, rSrc (l,t)-(r,b), rDest (%e,%e)-(%e,%e),
# fAlpha %e, clrSrcKey #%06lx
TRACE = re.compile(
    r"SetAlphaBitmap dwFlags (0x[0-9a-f]+|0), hdc ([0-9A-Fa-f]+), pDDS ([0-9A-Fa-f]+), "
    r"rSrc \((-?\d+),(-?\d+)\)-\((-?\d+),(-?\d+)\), "
    r"rDest \(([^,]+),([^)]+)\)-\(([^,]+),([^)]+)\), fAlpha ([^,]+), clrSrcKey #([0-9a-f]+)")


def as_float32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def main():
    wine_run, prefix, host = sys.argv[1:4]
    arguments = [a for call, _ in CASES for a in call.split()]
    environment = dict(os.environ, WINEDEBUG="-all,trace+quartz")
    run = subprocess.run([wine_run, prefix, host] + arguments, env=environment, capture_output=True, text=True,
                         errors="replace", timeout=240, cwd=os.path.dirname(host))
    problems = []
    if run.returncode != 0:
        problems.append(f"host exited with {run.returncode}: {run.stdout} {run.stderr[-2000:]}")

    hdc = re.search(r"^hdc ([0-9a-f]+)$", run.stdout, re.M)
    results = [int(r) for r in re.findall(r"^result (-?\d+)$", run.stdout, re.M)]
    if results != [E_NOTIMPL] * len(CASES):
        problems.append(f"results {results}, expected E_NOTIMPL ({E_NOTIMPL}) for each call")

    traced = TRACE.findall(run.stderr)
    if len(traced) != len(CASES):
        problems.append(f"{len(traced)} SetAlphaBitmap traces in {len(run.stderr)} bytes, expected {len(CASES)}")
    for (call, want), fields in zip(CASES, traced):
        flags, dc, surface = int(fields[0], 16), int(fields[1], 16), int(fields[2], 16)
        src = tuple(int(v) for v in fields[3:7])
        # Nine significant digits give every float back exactly.
        dest = tuple(as_float32(float(v)) for v in fields[7:11])
        alpha, key = as_float32(float(fields[11])), int(fields[12], 16)
        got = dict(flags=flags, src=src, dest=dest, alpha=alpha, key=key)
        expected = dict(want, dest=tuple(as_float32(v) for v in want["dest"]), alpha=as_float32(want["alpha"]))
        for name, value in expected.items():
            if got[name] != value:
                problems.append(f"[{call}] {name}: traced {got[name]!r}, expected {value!r}")
        if not hdc or dc != int(hdc.group(1), 16):
            problems.append(f"[{call}] hdc {dc:x} is not the host's device context")
        if surface != 0:
            problems.append(f"[{call}] pDDS {surface:x}, expected null")

    for problem in problems:
        print(problem)
    print(f"{len(traced)} bitmap descriptions checked" if not problems else "FAILED")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
