#!/usr/bin/env python3
"""vidlox.exe run under Wine as a user runs it, against the test camera:
each command, a failure of each with its message, and the files it writes
checked with ffprobe. Usage: tool_test.py SOURCE_DIR BUILD_DIR WINE_RUN"""
import os
import re
import subprocess
import sys
import tempfile
import unittest

from PIL import Image

SOURCE, BUILD, WINE_RUN = sys.argv[1:4]
sys.path.insert(0, os.path.join(SOURCE, "tools", "package"))
import make_package  # noqa: E402  (reads the README's usage block)

TOOL = os.path.join(BUILD, "bin", "vidlox.exe")
CAMERA = "vidlox Test Camera"


def vidlox(*args, cwd=None, timeout=120):
    """Runs the tool; answers (exit code, stdout, stderr) as text."""
    result = subprocess.run([WINE_RUN, os.path.join(BUILD, "wineprefix"), TOOL, *args], cwd=cwd,
                            capture_output=True, timeout=timeout)
    err = "\n".join(line for line in result.stderr.decode("utf-8", "replace").split("\n")
                    if not line.startswith("ALSA lib"))
    return result.returncode, result.stdout.decode("utf-8").replace("\r\n", "\n"), err.replace("\r\n", "\n")


def numbered_lines(out):
    """(index, name) of the numbered lines of `vidlox devices`."""
    parts = (line.strip().split("  ", 1) for line in out.split("\n"))
    return [(int(p[0]), p[1]) for p in parts if len(p) == 2 and p[0].isdigit()]


def device_lines(out):
    """{name: index} from the numbered lines of `vidlox devices` (twins: the first)."""
    lines = {}
    for index, name in reversed(numbered_lines(out)):
        lines[name] = index
    return lines


class CommandLine(unittest.TestCase):
    def test_help_is_the_usage_the_readme_shows(self):
        code, out, _ = vidlox("--help")
        self.assertEqual(code, 0)
        self.assertEqual(out, make_package.tool_usage(SOURCE))

    def test_wrong_lines_exit_2_with_the_reason(self):
        for args, message in ((["bogus"], 'unknown command "bogus"'),
                              (["encode", "0"], "usage: vidlox encode DEVICE FILE.mp4"),
                              (["devices", "--codec", "1"], "this command does not take --codec"),
                              (["encode", "0", "x.mp4", "--fps", "fast"], '--fps takes a number above 0, not "fast"'),
                              (["encode", "0", "x.mp4", "--seconds"], "--seconds needs a value"),
                              (["snap", "0", "x.webp"], 'cannot tell a picture format from the name "x.webp"'),
                              (["snap", "0", "x.png", "--raw"], "--raw writes the frame's own bytes to a .bmp"),
                              (["filters", "0", "300"], "filters opens no file"),
                              (["profile", "0", "--save", "a", "--apply", "b"], "profile takes one of --save FILE")):
            with self.subTest(args=args):
                code, _, err = vidlox(*args)
                self.assertEqual(code, 2)
                self.assertIn(message, err)

    def test_version_resources(self):
        code, out, _ = vidlox("--version")
        self.assertEqual(code, 0)
        self.assertIn("vidlox.exe    2.1.3 (vidlox command-line tool)", out)
        self.assertIn("vidlox64.dll  2.1.3 (vidlox video capture and encoding library), vlx_Version 213", out)


class Lists(unittest.TestCase):
    def test_devices_numbers_video_devices_as_vlx_open_takes_them(self):
        code, out, _ = vidlox("devices")
        self.assertEqual(code, 0)
        devices = device_lines(out)
        self.assertIn(CAMERA, devices)
        self.assertIn("vidlox Kamera f\u00fcr Tests \u2713", devices)  # UTF-8 from end to end
        indexes = [index for index, _ in numbered_lines(out)]
        self.assertEqual(indexes, list(range(len(indexes))))
        self.assertIn("audio capture devices:\n      vidlox Test Microphone\n", out)

    def test_codecs(self):
        code, out, _ = vidlox("codecs")
        self.assertEqual(code, 0)
        self.assertIn("video compressors:\n", out)
        self.assertIn("Wine MS-RLE video codec", out)
        self.assertIn("audio compressors: none", out)

    def test_log_goes_to_stderr(self):
        code, _, err = vidlox("--log", "devices")
        self.assertEqual(code, 0)
        self.assertIn("vlx_GetDeviceListSize->CoCreateInstance = S_OK", err)
        self.assertIn("vlx_GetDeviceList->PropertyBag->Read = S_OK", err)


class DeviceIdentity(unittest.TestCase):
    TWIN = "vidlox Test Camera (twin)"

    def test_paths_under_names_and_every_way_to_name_a_device(self):
        code, out, _ = vidlox("devices", "--paths")
        self.assertEqual(code, 0)
        lines = out.split("\n")
        twins = [i for i, line in enumerate(lines) if line.endswith("  " + self.TWIN)]
        self.assertEqual(len(twins), 2)
        paths = [lines[i + 1].strip() for i in twins]
        self.assertEqual(sorted(paths), [r"\\?\root#vidlox_twin#000%d#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global" % n
                                         for n in (1, 2)])
        self.assertIn("vidlox Test Microphone\n      " + r"\\?\swd#mmdevapi#vidlox_microphone_0001#", out)
        for device in (paths[1], self.TWIN + "#1"):
            code, out, err = vidlox("caps", device)
            self.assertEqual((code, out.split("\n")[0]), (0, self.TWIN + ": 7 capabilities"), err)
        code, _, err = vidlox("caps", self.TWIN + "#2")
        self.assertEqual(code, 1)
        self.assertIn('no video capture device has the name or path "%s#2"' % self.TWIN, err)

    def test_a_camera_in_use_stops_the_recording_with_the_reason(self):
        with tempfile.TemporaryDirectory() as folder:
            code, _, err = vidlox("record", "vidlox Test Camera (in use)", "x.avi", cwd=folder)
            self.assertEqual(code, 1)
            self.assertIn("vidlox: the camera is in use by another program", err)


class DeviceFailures(unittest.TestCase):
    def test_unknown_name(self):
        code, _, err = vidlox("encode", "no such camera", "x.mp4")
        self.assertEqual(code, 1)
        self.assertIn('no video capture device has the name or path "no such camera"', err)

    def test_index_past_the_list_is_vlx_open_s_code_with_its_meaning(self):
        code, _, err = vidlox("encode", "999", "x.mp4")
        self.assertEqual(code, 1)
        self.assertIn("vidlox: vlx_Open failed with -4: device_index out of range", err)


class Graph(unittest.TestCase):
    def test_caps_one_line_per_capability(self):
        code, out, _ = vidlox("caps", CAMERA)
        self.assertEqual(code, 0)
        self.assertIn("vidlox Test Camera: 7 capabilities\n"
                      "   0  640 x 480  30.00 fps\n   1  1280 x 720  30.00 fps\n"
                      "   2  320 x 240  15.00 fps\n   3  1920 x 1080  30.00 fps\n"
                      "   4  3840 x 2160  30.00 fps\n   5  1280 x 720  30.00 fps\n"
                      "   6  1920 x 1080  30.00 fps\n", out)
        code, out, _ = vidlox("caps", "vidlox Test Camera (64-byte caps block)")
        self.assertEqual((code, out), (0, "vidlox Test Camera (64-byte caps block): no usable capabilities\n"))

    def test_filters_of_a_mode(self):
        code, out, _ = vidlox("filters", CAMERA, "0")
        self.assertEqual(code, 0)
        for name in ("Device Filter", "Sample Grabber", "Video Renderer"):
            self.assertIn("      %s\n" % name, out)

    def test_a_device_without_pins_fails_to_open_with_the_step_named(self):
        for command in ("caps", "filters"):
            code, _, err = vidlox(command, "vidlox Test Camera (no pins)")
            self.assertEqual(code, 1)
            self.assertIn("vidlox: vlx_Open failed with -56: mode 6: render\n"
                          "vidlox: last platform status 0x80070057", err)


class Controls(unittest.TestCase):
    def test_table_then_a_value_the_device_rounds_and_one_refused(self):
        code, out, _ = vidlox("controls", CAMERA)
        self.assertEqual(code, 0)
        self.assertIn("vidlox Test Camera: 13 controls\n", out)
        self.assertRegex(out, r"\n +104  exposure +-13 +-1 +1 +-6  auto manual +-6  auto\n")
        code, out, _ = vidlox("control", "vidlox Test Camera (coarse controls)", "brightness", "130")
        self.assertEqual((code, out), (0, "brightness = 128 (manual)\nthe device accepted 130 but holds another value\n"))
        code, _, err = vidlox("control", CAMERA, "focus", "11")
        self.assertEqual(code, 1)
        self.assertIn("vlx_SetControl failed with -7: value below the minimum, above the maximum, or off step", err)


class Profile(unittest.TestCase):
    def test_saved_edited_applied_and_kept_to_its_twin(self):
        twin = "vidlox Test Camera (twin)"
        with tempfile.TemporaryDirectory() as folder:
            code, out, err = vidlox("profile", twin, "--save", "twin.profile", cwd=folder)
            self.assertEqual((code, out), (0, twin + ": 14 settings saved to twin.profile\n"), err)
            with open(os.path.join(folder, "twin.profile"), "r+", encoding="utf-8", newline="") as f:
                text = f.read()
                self.assertIn("\r\ndevice = \\\\?\\root#vidlox_twin#0001#", text)
                f.seek(0)
                f.write(text.replace("brightness = 128 manual range 0 255 1", "brightness = 40") + "colour = 1\n")
                f.truncate()
            code, out, err = vidlox("profile", twin, "--apply", "twin.profile", cwd=folder)
            self.assertEqual(code, 0, err)
            self.assertTrue(out.startswith(twin + ": 14 settings applied from twin.profile\n"), out)
            self.assertRegex(out, r"\n  line 10 +brightness +applied\n(.*\n){12}  line 23 +- +unknown_name\n$")
            code, _, err = vidlox("profile", twin + "#1", "--apply", "twin.profile", cwd=folder)
            self.assertEqual(code, 1)
            self.assertIn("vlx_ApplyProfile failed with -7: the profile is of another device", err)
            code, out, _ = vidlox("profile", twin + "#1", "--apply", "twin.profile", "--any-device", cwd=folder)
            self.assertEqual(code, 0)


class Watch(unittest.TestCase):
    def test_every_frame_taken_with_the_device_s_drops_and_latency(self):
        code, out, err = vidlox("watch", CAMERA, "--seconds", "2")
        self.assertEqual(code, 0, err)
        taken, arrived = map(int, re.search(r"took (\d+) of (\d+) frames that arrived", out).groups())
        self.assertGreaterEqual(taken, 30)
        self.assertLessEqual(taken, arrived)
        self.assertRegex(out, r"the device dropped \d+\n")
        self.assertRegex(out, r"latency from arrival to the bytes in hand: median [\d.]+ ms")
        self.assertIn("frames kept by the library: the camera's samples themselves", out)


class Snap(unittest.TestCase):
    def test_formats_from_the_extension_upright_and_resized(self):
        with tempfile.TemporaryDirectory() as folder:
            for args, name, size, kind in ((["--size", "320x0"], "small.png", (320, 480), "PNG"),
                                           (["--quality", "90"], "q.jpg", (640, 480), "JPEG"),
                                           (["--raw"], "raw.bmp", (640, 480), "BMP")):
                code, out, err = vidlox("snap", CAMERA, name, *args, cwd=folder)
                self.assertEqual(code, 0, err)
                self.assertTrue(out.startswith("saved " + name), out)
                with Image.open(os.path.join(folder, name)) as picture:
                    self.assertEqual((picture.format, picture.size), (kind, size))
                    rgb = picture.convert("RGB")
                    width, height = size
                    for (x, y), colour in (((2, 2), (255, 0, 0)), ((width - 3, height - 3), (255, 255, 255))):
                        for got, wanted in zip(rgb.getpixel((x, y)), colour):
                            self.assertLess(abs(got - wanted), 16, name)
            self.assertEqual(os.path.getsize(os.path.join(folder, "raw.bmp")), 54 + 640 * 480 * 3)

    def test_an_encoder_the_platform_lacks(self):
        with tempfile.TemporaryDirectory() as folder:
            code, _, err = vidlox("snap", CAMERA, "x.jxr", cwd=folder)
            self.assertEqual(code, 1)
            self.assertIn("vidlox: vlx_SaveImage failed with -12: CreateEncoder (JPEG XR and HEIF where the system "
                          "has no encoder)", err)
            self.assertEqual(os.listdir(folder), [])


class Stills(unittest.TestCase):
    MAGENTA, CYAN, YELLOW = (255, 0, 255), (0, 255, 255), (255, 255, 0)

    def check_still(self, path, size, bottom):
        """A still of the test camera's still pin: magenta on top, the bottom band its source's colour."""
        with Image.open(path) as picture:
            self.assertEqual(picture.size, size)
            rgb = picture.convert("RGB")
            width, height = size
            for (x, y), colour in (((width // 2, height // 16), self.MAGENTA), ((width // 2, height - 1 - height // 16), bottom)):
                for got, wanted in zip(rgb.getpixel((x, y)), colour):
                    self.assertLess(abs(got - wanted), 16, path)

    def test_a_still_on_the_trigger_one_of_the_button_and_a_capture_frame(self):
        code, out, _ = vidlox("devices", "--paths")
        lines = out.split("\n")
        path = next(lines[i + 1].strip() for i, line in enumerate(lines) if line.endswith("  " + CAMERA))
        with tempfile.TemporaryDirectory() as folder:
            code, out, err = vidlox("still", CAMERA, "trigger.png", "--size", "1280x720", cwd=folder)
            self.assertEqual(code, 0, err)
            self.assertRegex(out, r"^saved trigger.png: PNG, a 1280x720 still of the trigger, [\d.]+ ms after the trigger\n$")
            self.check_still(os.path.join(folder, "trigger.png"), (1280, 720), self.CYAN)
            # The button, pressed through the test camera's export from
            # another process while the tool waits for it.
            tool = subprocess.Popen([WINE_RUN, os.path.join(BUILD, "wineprefix"), TOOL, "still", CAMERA, "button.jpg",
                                     "--button", "--seconds", "60"], cwd=folder, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE)
            press = subprocess.run([WINE_RUN, os.path.join(BUILD, "wineprefix"), os.path.join(BUILD, "bin", "press_button.exe"),
                                    path], capture_output=True, timeout=90)
            out, err = tool.communicate(timeout=90)
            self.assertEqual((press.returncode, tool.returncode), (0, 0), err)
            self.assertRegex(out.decode().replace("\r\n", "\n"), r"^waiting for the camera's button\n"
                             r"saved button.jpg: JPEG, a 3840x2160 still of the button, [\d.]+ ms after the wait began\n$")
            self.check_still(os.path.join(folder, "button.jpg"), (3840, 2160), self.YELLOW)
            code, out, err = vidlox("still", DeviceIdentity.TWIN, "frame.bmp", cwd=folder)
            self.assertEqual(code, 0, err)
            self.assertIn("a 640x480 still (the next capture frame)", out)
            code, _, err = vidlox("still", DeviceIdentity.TWIN, "frame.bmp", "--button", cwd=folder)
            self.assertEqual(code, 1)
            self.assertIn("has no still pin: its stills are capture frames at the capture size, and it has no button", err)


def probe(path):
    """ffprobe's codec, size and count of stored frames of the first video stream."""
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
                          "stream=codec_name,width,height,nb_read_packets", "-of", "default=noprint_wrappers=1",
                          path], capture_output=True, text=True, check=True).stdout
    fields = dict(line.split("=", 1) for line in out.split())
    return fields["codec_name"], int(fields["width"]), int(fields["height"]), int(fields["nb_read_packets"])


def progress_lines(err):
    """The states the updating progress line went through."""
    return [part.strip() for part in err.split("\r") if part.strip()]


class Record(unittest.TestCase):
    def test_avi_files_uncompressed_and_through_the_test_compressor(self):
        with tempfile.TemporaryDirectory() as folder:
            for name, args, codec in (("raw.avi", [], "rawvideo"),
                                      ("mjpeg.avi", ["--compressor", "vidlox Test MJPEG Compressor"], "mjpeg")):
                code, out, err = vidlox("record", CAMERA, name, "--seconds", "1.5", *args, cwd=folder)
                self.assertEqual(code, 0, err)
                written = re.match(r"wrote %s: (\d+) frames of the camera's (\d+)" % name, out)
                self.assertTrue(written, out)
                frames, delivered = int(written.group(1)), int(written.group(2))
                # Under load the camera drops frames, which the mux keeps as
                # empty index entries: pictures are what the file stores.
                stored_codec, width, height, stored = probe(os.path.join(folder, name))
                self.assertEqual((stored_codec, width, height, stored), (codec, 640, 480, frames))
                self.assertTrue(0 < frames <= delivered and 20 <= delivered <= 60, out)
                self.assertRegex(progress_lines(err)[-1], r"^record +\d+\.\d s  %d frames$" % delivered)

    def test_a_compressor_that_is_not_installed(self):
        with tempfile.TemporaryDirectory() as folder:
            code, _, err = vidlox("record", CAMERA, "x.avi", "--compressor", "no such codec", cwd=folder)
            self.assertEqual(code, 1)
            self.assertIn("vidlox: vlx_Open failed with -49: AVI: no compressor with that name", err)
            self.assertEqual(os.listdir(folder), [])


class Sound(unittest.TestCase):
    MICROPHONE = "vidlox Test Microphone"

    def test_record_with_sound_then_the_formats_and_the_meter(self):
        with tempfile.TemporaryDirectory() as folder:
            code, out, err = vidlox("record", CAMERA, "talk.avi", "--seconds", "1.5", "--audio", self.MICROPHONE,
                                    "--audio-format", "44100,1,16", cwd=folder)
            self.assertEqual(code, 0, err)
            self.assertIn("sound from vidlox Test Microphone: 44100 Hz, 1 channel, 16 bits\n", out)
            self.assertRegex(out, r"wrote talk\.avi: \d+ frames of the camera's \d+, uncompressed, 1\.\d\d s of sound\n")
            code, _, err = vidlox("record", CAMERA, "x.avi", "--audio", "no such microphone", cwd=folder)
            self.assertEqual(code, 1)
            self.assertIn('no audio capture device has the name or path "no such microphone"', err)
        code, out, _ = vidlox("audio-formats", self.MICROPHONE)
        self.assertEqual(out.split("\n")[:3], ["vidlox Test Microphone: 7 formats (INDEX RATE CHANNELS BITS)",
                                               "0 48000 2 16", "1 48000 1 16"])
        code, out, err = vidlox("listen", self.MICROPHONE, "--seconds", "1.2")
        self.assertEqual(code, 0, err)
        self.assertRegex(out, r"\n   0\.000 s  block      1  missed 0  L #+ +-0\.9 dB  R #+ +-0\.9 dB  \(7680 bytes\)\n")


class Encode(unittest.TestCase):
    def test_grabs_into_an_mp4_upright_with_progress(self):
        with tempfile.TemporaryDirectory() as folder:
            code, out, err = vidlox("encode", CAMERA, "x.mp4", "--seconds", "1", "--fps", "10", cwd=folder)
            self.assertEqual(code, 0, err)
            self.assertEqual(out, "wrote x.mp4: 10 frames of 640x480 at 10 fps, codec 2\n")
            # At 10 of the camera's 30 fps, about two camera frames in three never reach the file.
            self.assertRegex(progress_lines(err)[-1], r"^encode +\d+\.\d s  10 frames  [1-9]\d* dropped$")
            path = os.path.join(folder, "x.mp4")
            self.assertEqual(probe(path), ("h264", 640, 480, 10))
            first = os.path.join(folder, "first.png")
            subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-frames:v", "1", first], check=True)
            with Image.open(first) as picture:
                rgb = picture.convert("RGB")
                for (x, y), colour in (((4, 4), (255, 0, 0)), ((4, 475), (0, 0, 255))):
                    for got, wanted in zip(rgb.getpixel((x, y)), colour):
                        self.assertLess(abs(got - wanted), 24)

    def test_codec_without_a_format(self):
        with tempfile.TemporaryDirectory() as folder:
            code, _, err = vidlox("encode", CAMERA, "x.mp4", "--codec", "4", cwd=folder)
            self.assertEqual(code, 1)
            self.assertIn("vidlox: vlx_OpenEncoder failed with -10: output type: subtype; "
                          "also codec 4 or 6 (checked before any file is created)", err)
            self.assertEqual(os.listdir(folder), [])


class Formats(unittest.TestCase):
    WEBCAM = "vidlox Test Camera (webcam)"

    def test_every_format_of_the_webcam(self):
        code, out, _ = vidlox("formats", self.WEBCAM)
        self.assertEqual(code, 0)
        self.assertTrue(out.startswith(self.WEBCAM + ": 10 formats\n"), out)
        self.assertRegex(out, r"(?m)^ +8  MJPG +1280 x 720 +5\.00 - 30\.00 +fps  VIDEOINFOHEADER$")

    def test_format_option_exact_nearest_refused(self):
        with tempfile.TemporaryDirectory() as folder:
            code, out, err = vidlox("snap", self.WEBCAM, "f.png", "--format", "MJPG:1280x720@30", cwd=folder)
            self.assertEqual(code, 0, err)
            self.assertIn("format in force: MJPG 1280x720 at 30.00 fps\n", out)
            with Image.open(os.path.join(folder, "f.png")) as picture:
                self.assertEqual(picture.size, (1280, 720))
        code, out, _ = vidlox("caps", self.WEBCAM, "--format", "1000x700@25", "--nearest")
        self.assertIn("format in force: MJPG 1280x720 at 25.00 fps\n", out)
        code, _, err = vidlox("caps", self.WEBCAM, "--format", "1024x768@30")
        self.assertEqual(code, 1)
        self.assertIn("no format that equals --format 1024x768@30", err)
        for args, message in ((["--nearest"], "--nearest goes with --format"),
                              (["--format", "MJPG:12x"], "--format takes SUBTYPE:WIDTHxHEIGHT@FPS"),
                              (["--format", "MJPEG:640x480"], '"MJPEG" names no subtype')):
            code, _, err = vidlox("caps", "0", *args)
            self.assertEqual((code, message in err), (2, True), err)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
