#!/usr/bin/env python3
"""platform_files: records real files through the shipped DLL on the test
platform, then reads each one with ffprobe and ffmpeg.

Usage: check_files.py <wine-run> <prefix> <recorder.exe> <output folder>

The recorder (a GoogleTest program run under Wine) asserts what the host
sees and appends to manifest.jsonl what each file must hold; this script
checks container, codec, profile, size, frame rate, frame count, duration,
the decoded picture's corner colours (upright) and its frame numbers.
"""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "avsync"))
import av_offsets  # noqa: E402  (the measurement the bench makes too)

TOLERANCE = 48  # per channel: JPEG and 4:2:0 chroma blur the colours a little
CORNERS = {  # upright picture: block centres and the camera's colours
    "top-left": ((1, 1), (255, 0, 0)),
    "top-right": ((15, 1), (0, 255, 0)),
    "bottom-left": ((1, 15), (0, 0, 255)),
    "bottom-right": ((15, 15), (255, 255, 255)),
}

results = []


def check(name, ok, detail=""):
    results.append(ok)
    print(("PASS " if ok else "FAIL ") + name + ("" if ok else ": " + detail), flush=True)


def probe(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-count_frames", "-show_entries",
         "format=format_name:stream=codec_name,profile,width,height,r_frame_rate,nb_read_frames,duration",
         "-of", "json", path], capture_output=True, text=True, check=True).stdout
    info = json.loads(out)
    return info["format"], info["streams"][0]


def decoded_frame(path, index, folder):
    png = os.path.join(folder, "frame.png")
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", path, "-vf", f"select=eq(n\\,{index})",
                    "-vsync", "0", "-frames:v", "1", png], check=True)
    with Image.open(png) as image:
        return image.convert("RGB")


def corner_problems(image):
    width, height = image.size
    problems = []
    for name, ((fx, fy), expected) in CORNERS.items():
        got = image.getpixel((fx * width // 16, fy * height // 16))
        if any(abs(a - b) > TOLERANCE for a, b in zip(got, expected)):
            problems.append(f"{name} {got}, expected {expected}")
    return "; ".join(problems)


def frame_number(image):
    """The camera's frame number cells (testcam/include/vidlox_testcam.h)."""
    width, height = image.size
    cell = width // 64
    number = 0
    for i in range(32):
        green = image.getpixel((width // 4 + i * cell + cell // 2, (7 * height // 16 + 9 * height // 16) // 2))[1]
        number = (number << 1) | (1 if green >= 128 else 0)
    return number


def check_file(entry, folder, scratch):
    name = entry["file"]
    path = os.path.join(folder, name)
    if not os.path.isfile(path):
        check(name, False, "not written")
        return
    fmt, stream = probe(path)
    print(f"     {name}: {fmt['format_name']}, {stream['codec_name']} {stream.get('profile', '')}, "
          f"{stream['width']}x{stream['height']}, {stream['r_frame_rate']} fps, "
          f"{stream['nb_read_frames']} frames, {stream.get('duration', '?')} s, {os.path.getsize(path)} bytes")
    check(f"{name} container", entry["container"] in fmt["format_name"].split(","), fmt["format_name"])
    check(f"{name} codec", stream["codec_name"] == entry["codec"], stream["codec_name"])
    check(f"{name} size", (stream["width"], stream["height"]) == (entry["width"], entry["height"]),
          f"{stream['width']}x{stream['height']}")
    frames = int(stream["nb_read_frames"])
    if entry["container"] == "avi":
        # No audio device chosen: the file Wine's mux always wrote, one stream.
        header = main_header(path)
        check(f"{name} headers as before sound", header == (0x810, 1, ["avih", "strl", "strh", "strf", "indx", "odml",
              "dmlh"]), str(header))
        check(f"{name} frame rate", stream["r_frame_rate"] == entry["rate"], stream["r_frame_rate"])
        expected = entry["recorded_ms"] * 30 / 1000
        check(f"{name} frame count", 0.7 * expected <= frames <= expected + 3,
              f"{frames} frames for {entry['recorded_ms']} ms at 30 fps")
    else:
        check(f"{name} profile", stream.get("profile") == entry["profile"], str(stream.get("profile")))
        check(f"{name} frame count", frames == entry["frames"], str(frames))
        duration = entry["frames"] * entry["frame_duration"] / 1e7
        check(f"{name} duration", abs(float(stream["duration"]) - duration) < 2e-6,
              f"{stream['duration']} s, expected {duration:.6f}")
    if "smaller_frames_than" in entry:
        other = os.path.join(folder, entry["smaller_frames_than"])
        other_frames = int(probe(other)[1]["nb_read_frames"])
        ours, theirs = os.path.getsize(path) / frames, os.path.getsize(other) / other_frames
        check(f"{name} frames smaller", ours < 0.8 * theirs, f"{ours:.0f} bytes a frame against {theirs:.0f}")
    first, last = decoded_frame(path, 0, scratch), decoded_frame(path, frames - 1, scratch)
    problems = corner_problems(first) or corner_problems(last)
    check(f"{name} upright", not problems, problems)
    numbers = (frame_number(first), frame_number(last))
    if "smaller_frames_than" in entry:
        pass  # coarse blocks hide the number cells
    elif entry["container"] == "avi":
        check(f"{name} frame order", numbers[1] > numbers[0], f"frame numbers {numbers}")
    else:
        check(f"{name} frame numbers", numbers == (0, frames - 1), f"frame numbers {numbers}")


def main_header(path):
    """(dwFlags, dwStreams) of the 'avih' chunk, and the hdrl list's chunk ids in order."""
    with open(path, "rb") as f:
        head = f.read(1 << 16)
    at = head.find(b"avih")
    flags, streams = struct.unpack_from("<I", head, at + 8 + 12)[0], struct.unpack_from("<I", head, at + 8 + 24)[0]
    ids = [head[i:i + 4].decode("latin1") for i in range(12, head.find(b"movi")) if head[i:i + 4] in
           (b"avih", b"strl", b"strh", b"strf", b"indx", b"odml", b"dmlh", b"strn", b"JUNK")]
    return flags, streams, ids


def riff_parts(path):
    """The RIFF chunks one after another: 'AVI ', then 'AVIX' parts."""
    kinds = []
    with open(path, "rb") as f:
        while True:
            header = f.read(12)
            if len(header) < 12 or header[:4] != b"RIFF":
                return kinds
            kinds.append(header[8:12].decode("ascii", "replace"))
            f.seek(int.from_bytes(header[4:8], "little") - 4, 1)


def decoded_audio(path):
    """The file's audio decoded by ffmpeg: 16-bit little-endian samples, interleaved."""
    return subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-f", "s16le", "-"],
                          capture_output=True, check=True).stdout


def stream_report(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-count_packets", "-show_entries",
         "stream=codec_type,codec_name,width,height,sample_rate,channels,nb_read_packets,duration",
         "-of", "json", path], capture_output=True, text=True, check=True).stdout
    return {s["codec_type"]: s for s in json.loads(out)["streams"]}


def check_mux_file(entry, folder):
    """A file the test platform's mux wrote itself: both streams, every part."""
    name = entry["file"]
    path = os.path.join(folder, name)
    if not os.path.isfile(path):
        check(name, False, "not written")
        return
    streams = stream_report(path)
    video, audio = streams.get("video", {}), streams.get("audio", {})
    print(f"     {name}: {os.path.getsize(path)} bytes, RIFF parts {riff_parts(path)}, video {video}, audio {audio}")
    check(f"{name} size", os.path.getsize(path) >= entry["min_bytes"], str(os.path.getsize(path)))
    check(f"{name} RIFF parts", riff_parts(path) == ["AVI "] + ["AVIX"] * (entry["riff_parts"] - 1),
          str(riff_parts(path)))
    check(f"{name} video", (video.get("width"), video.get("height")) == (entry["width"], entry["height"]), str(video))
    check(f"{name} frames, and the dropped one's place", (int(video.get("nb_read_packets", -1)),
          round(float(video.get("duration", 0)) * 30)) == (entry["frames"] - entry["empty_frames"], entry["frames"]),
          f"{video.get('nb_read_packets')} frames in {video.get('duration')} s")
    check(f"{name} audio", (audio.get("codec_name"), int(audio.get("sample_rate", 0)), audio.get("channels")) ==
          (entry["codec"], entry["sample_rate"], entry["channels"]), str(audio))
    pcm = decoded_audio(path)
    seconds = len(pcm) / 2 / entry["channels"] / entry["sample_rate"]
    check(f"{name} audio length, the gap filled", abs(seconds - entry["audio_seconds"]) < 0.002, f"{seconds} s")
    os.remove(path)  # a gibibyte is not kept


def check_sound_file(entry, folder):
    """A recording with sound: both streams as asked, and every flash with its click."""
    name = entry["file"]
    path = os.path.join(folder, name)
    if not os.path.isfile(path):
        check(name, False, "not written")
        return
    streams = stream_report(path)
    video, audio = streams.get("video", {}), streams.get("audio", {})
    print(f"     {name}: video {video}, audio {audio}")
    check(f"{name} video", (video.get("codec_name"), video.get("width"), video.get("height")) ==
          (entry["video_codec"], entry["width"], entry["height"]), str(video))
    check(f"{name} audio", (audio.get("codec_name"), int(audio.get("sample_rate", 0)), audio.get("channels")) ==
          (entry["codec"], entry["sample_rate"], entry["channels"]), str(audio))
    audio_seconds = len(decoded_audio(path)) / 2 / entry["channels"] / entry["sample_rate"]
    video_seconds = float(video.get("duration", 0))
    check(f"{name} each stream as long as its device recorded", abs(video_seconds - entry["seconds"]) < 0.7 and
          abs(audio_seconds - entry["audio_seconds"]) < 0.7, f"video {video_seconds} s, audio {audio_seconds} s")
    pairs = av_offsets.offsets(path, entry["sample_rate"])
    result = av_offsets.summary(pairs)
    print(f"     {name}: flash - click per second (ms): {[round(1000 * o, 2) for _, o in pairs]}")
    frame = 1 / 30
    check(f"{name} a flash beside every click", result["seconds"] >= int(entry["audio_seconds"]), str(result))
    check(f"{name} in sync", pairs and result["median_ms"] < 10 and result["max_ms"] < 1000 * frame, str(result))


def main():
    wine_run, prefix, recorder, folder = sys.argv[1:5]
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    env = dict(os.environ, VLX_PLATFORM_OUT="Z:" + os.path.abspath(folder).replace("/", "\\"))
    try:
        code = subprocess.run([wine_run, prefix, recorder], env=env, cwd=os.path.dirname(recorder),
                              timeout=300).returncode
    except subprocess.TimeoutExpired:
        code = "timeout"
    check("recorder (the host's side, through the DLL)", code == 0, f"exit {code}")
    manifest = os.path.join(folder, "manifest.jsonl")
    entries = [json.loads(line) for line in open(manifest)] if os.path.exists(manifest) else []
    check("manifest lists files", len(entries) > 0, "no file recorded")
    with tempfile.TemporaryDirectory() as scratch:
        for entry in entries:
            if entry.get("kind") == "mux":
                check_mux_file(entry, folder)
            elif entry.get("kind") == "sound":
                check_sound_file(entry, folder)
            else:
                check_file(entry, folder, scratch)
    failed = results.count(False)
    print(f"{len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
