#!/usr/bin/env python3
"""The offsets between picture and sound in a recording of the test camera
and the test microphone, as FFmpeg decodes the file.

The camera paints its flash band (picture rows 3/16 to 5/16, full white) in
the frame nearest each second of stream time and the microphone writes a
10 ms click at each second (testcam/include/vidlox_testcam.h). This finds
the flash frames' times and the clicks' onsets and pairs each click with the
nearest flash: offset = flash time - click time, in seconds.

    av_offsets.py FILE.avi     prints one line per second, then a summary
"""
import re
import statistics
import subprocess
import sys

FLASH_LEVEL = 200        # mean grey of the band: the stripes never reach it
CLICK_LEVEL = 0.5        # of full scale: the clicks are at 0.9, the rest silence
QUIET_BEFORE_CLICK = 0.5  # seconds of quiet before an onset


def flash_times(path):
    """Times (s) of the frames whose flash band is white, as decoded."""
    band = "crop=iw:ih*2/16:0:ih*3/16,scale=8:1,format=gray,showinfo"
    run = subprocess.run(["ffmpeg", "-v", "info", "-nostats", "-i", path, "-map", "0:v", "-fps_mode", "passthrough",
                          "-vf", band, "-f", "rawvideo", "-"], capture_output=True, check=True)
    times = [float(t) for t in re.findall(rb"pts_time:\s*([0-9.]+)", run.stderr)]
    means = [sum(run.stdout[i * 8:i * 8 + 8]) / 8 for i in range(len(run.stdout) // 8)]
    return [t for t, mean in zip(times, means) if mean >= FLASH_LEVEL]


def audio_samples(path, rate):
    """The first channel, as floats of full scale."""
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-ac", "1", "-ar", str(rate),
                          "-f", "s16le", "-"], capture_output=True, check=True).stdout
    return [int.from_bytes(raw[i:i + 2], "little", signed=True) / 32768 for i in range(0, len(raw) - 1, 2)]


def click_onsets(path, rate=48000):
    """Times (s) where the sound rises past CLICK_LEVEL after a quiet half second."""
    onsets, last_loud = [], -1e9
    for n, value in enumerate(audio_samples(path, rate)):
        if abs(value) >= CLICK_LEVEL:
            if (n - last_loud) / rate >= QUIET_BEFORE_CLICK:
                onsets.append(n / rate)
            last_loud = n
    return onsets


def offsets(path, rate=48000):
    """(click time, offset) for each click with a flash within half a second
    of where the offset so far puts it: a drift past half a second is
    followed, not taken for the next second's flash."""
    flashes = flash_times(path)
    pairs, expected = [], 0.0
    for click in click_onsets(path, rate):
        nearest = min(flashes, key=lambda f: abs(f - click - expected), default=None)
        if nearest is not None and abs(nearest - click - expected) < 0.5:
            pairs.append((click, nearest - click))
            expected = nearest - click
    return pairs


def summary(pairs):
    magnitudes = [abs(o) for _, o in pairs]
    return {"seconds": len(pairs), "median_ms": 1000 * statistics.median(magnitudes) if pairs else None,
            "max_ms": 1000 * max(magnitudes) if pairs else None,
            "drift_ms": 1000 * (pairs[-1][1] - pairs[0][1]) if len(pairs) > 1 else None}


def main():
    pairs = offsets(sys.argv[1])
    for click, offset in pairs:
        print(f"{click:9.3f} s  {1000 * offset:+8.2f} ms")
    print(summary(pairs))


if __name__ == "__main__":
    main()
