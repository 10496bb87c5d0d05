#!/usr/bin/env python3
"""Picture and sound in sync, measured in the file by FFmpeg.

Records the test camera and the test microphone through vidlox64.dll
(av_sync_bench.exe, render mode 300) and reads each file with Debian's
FFmpeg: the camera's flash frames against the microphone's clicks, one
offset per second (tools/avsync/av_offsets.py), and the frames in the file
against the frame numbers the camera painted. Prints one table row per case:

  sync 640x480 / 1920x1080   RGB24, 48 kHz stereo 16-bit, S seconds
  drift                      the microphone 0.1 % fast for L seconds, beside
                             the same on two free clocks (a graph without the
                             library's sync calls: what a file drifts without them)
  load                       640x480 with two cores kept busy meanwhile
  cpu                        with sound against the same without, at 640x480 for
                             S seconds and 1920x1080 for 10 s (Wine's mux, which
                             writes the file without sound, stops writing a
                             readable file past 2 GB)

    bench/av_sync_bench.py [S [L [CASES]]]   (defaults 60, 600 and "sync,drift,load,cpu";
                                               after scripts/test)

It starts a wineserver of its own on build/wineprefix (the devices need no
display) and ends it at the end."""
import json
import multiprocessing
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("VLX_BUILD_DIR", os.path.join(ROOT, "build"))
PREFIX = os.path.join(BUILD, "wineprefix")
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")
sys.path.insert(0, os.path.join(ROOT, "tools", "avsync"))
import av_offsets  # noqa: E402

FRAME_MS = 1000 / 30


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def record(file, seconds, width, height, *options):
    # Through a file: Wine's services may hold a pipe open past the program.
    with tempfile.TemporaryFile(mode="w+") as out:
        code = subprocess.run([WINE_RUN, PREFIX, os.path.join(BUILD, "bin", "av_sync_bench.exe"), windows_path(file),
                               str(seconds), str(width), str(height), *options], stdin=subprocess.DEVNULL,
                              stdout=out, stderr=subprocess.STDOUT, timeout=seconds * 3 + 120).returncode
        out.seek(0)
        text = out.read()
    fields = [line for line in text.splitlines() if line.startswith("cpu ")]
    if code != 0 or not fields:
        sys.exit(f"av_sync_bench.exe failed ({code}): {text[-2000:]}")
    words = fields[-1].split()
    return dict(zip(words[0::2], map(float, words[1::2])))


def frames_in_file(path):
    """(frames with data, empty entries) of the video stream."""
    sizes = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "packet=size",
                            "-of", "csv=p=0", path], capture_output=True, text=True, check=True).stdout.split()
    duration = float(subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
                                     "stream=duration", "-of", "csv=p=0", path], capture_output=True, text=True,
                                    check=True).stdout.strip() or 0)
    return len(sizes), round(duration * 30) - len(sizes)


def painted_numbers(path, width, height):
    """The camera's frame numbers painted in the first and the last frame."""
    numbers = []
    for seek, count in (([], ["-frames:v", "1"]), (["-sseof", "-1"], [])):
        raw = subprocess.run(["ffmpeg", "-v", "error", *seek, "-i", path, "-map", "0:v", *count, "-f", "rawvideo",
                              "-pix_fmt", "rgb24", "-"], capture_output=True, check=True).stdout
        frame = raw[:width * height * 3] if not seek else raw[-width * height * 3:]
        y = (7 * height // 16 + 9 * height // 16) // 2
        cell = width // 64
        number = 0
        for i in range(32):
            x = width // 4 + i * cell + cell // 2
            number = number << 1 | (frame[(y * width + x) * 3 + 1] >= 128)
        numbers.append(number)
    return numbers


def busy(stop):
    while not stop.is_set():
        pass


def measure(name, seconds, width, height, *options, load=False):
    with tempfile.TemporaryDirectory(dir=BUILD) as folder:
        file = os.path.join(folder, "recording.avi")
        stop = multiprocessing.Event()
        workers = [multiprocessing.Process(target=busy, args=(stop,)) for _ in range(2 if load else 0)]
        for worker in workers:
            worker.start()
        try:
            run = record(file, seconds, width, height, *options)
        finally:
            stop.set()
            for worker in workers:
                worker.join()
        row = {"case": name, "cpu_s": run["cpu"], "blocks": int(run["blocks"]), "audio_gaps": int(run["gaps"]),
               "blocks_missed": int(run["missed"])}
        if "--no-audio" not in options:
            pairs = av_offsets.offsets(file)
            row.update(av_offsets.summary(pairs))
            row["offsets_ms"] = [round(1000 * o, 1) for _, o in pairs]
        frames, empty = frames_in_file(file)
        first, last = painted_numbers(file, width, height)
        row.update({"frames": frames, "dropped_entries": empty, "frames_lost": last - first + 1 - frames - empty})
        return row


def main():
    seconds = int(sys.argv[1]) if len(sys.argv) > 1 else 60
    long_seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 600
    cases = (sys.argv[3] if len(sys.argv) > 3 else "sync,drift,load,cpu").split(",")
    env = dict(os.environ, WINEPREFIX=PREFIX)
    subprocess.run(["/usr/lib/wine/wineserver", "-p"], env=env, check=False)
    # Wine's services start with the first program: a silenced one.
    subprocess.run([WINE_RUN, PREFIX, "wineboot"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)
    rows, ratios = [], []
    try:
        if "sync" in cases:
            rows.append(measure("sync 640x480", seconds, 640, 480))
            rows.append(measure("sync 1920x1080", seconds, 1920, 1080))
        if "drift" in cases:
            rows.append(measure("drift, microphone +0.1 %", long_seconds, 640, 480, "--ppm", "1000"))
            rows.append(measure("drift on two free clocks", long_seconds, 640, 480, "--ppm", "1000", "--free-clocks"))
        if "load" in cases:
            rows.append(measure("load: two busy cores", seconds, 640, 480, load=True))
        if "cpu" in cases:
            for width, height, length in ((640, 480, seconds), (1920, 1080, 10)):
                with_sound = measure(f"cpu {width}x{height} with sound", length, width, height)
                without = measure(f"cpu {width}x{height} without", length, width, height, "--no-audio")
                rows += [with_sound, without]
                ratios.append((f"{width}x{height}", with_sound["cpu_s"] / without["cpu_s"]))
    finally:
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=dict(os.environ, WINEPREFIX=PREFIX), check=False)
    print(f"{'case':32} {'seconds':>7} {'median':>8} {'max':>8} {'drift':>8} {'gaps':>5} {'lost':>5} {'cpu s':>7}")
    for row in rows:
        def ms(key):
            return "-" if row.get(key) is None else f"{row[key]:.2f}"
        print(f"{row['case']:32} {row.get('seconds', '-'):>7} {ms('median_ms'):>8} {ms('max_ms'):>8} "
              f"{ms('drift_ms'):>8} {row['audio_gaps']:>5} {row['frames_lost']:>5} {row['cpu_s']:>7.2f}")
    for size, ratio in ratios:
        print(f"cpu with sound / without at {size}: {ratio:.3f} (aim <= 1.1)")
    print(f"one frame: {FRAME_MS:.1f} ms")
    with open(os.path.join(BUILD, "av_sync_bench.json"), "w") as out:
        json.dump(rows, out, indent=1)


if __name__ == "__main__":
    main()
