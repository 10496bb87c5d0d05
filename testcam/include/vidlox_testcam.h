/*
 * vidlox-testcam64.dll - a DirectShow video capture source for developing and
 * testing capture hosts without a camera.
 *
 * Registration (Windows: regsvr32 from an elevated prompt; Wine: the same
 * through `wine64 regsvr32`):
 *     regsvr32 vidlox-testcam64.dll              the main device only
 *     regsvr32 /n /i:all vidlox-testcam64.dll    the main device and every
 *                                                edge-case device below
 *     regsvr32 /u vidlox-testcam64.dll           removes every device and
 *                                                class the DLL registered
 * Devices are listed in CLSID_VideoInputDeviceCategory with these friendly
 * names (VLXCAM_NAME_*); each is its own class (VLXCAM_CLSID_*).
 *
 * Capabilities of the capture pin (IAMStreamConfig, 128-byte
 * VIDEO_STREAM_CONFIG_CAPS), in this order:
 *     0  RGB24 640x480,  FORMAT_VideoInfo,  30 fps (333333) .. 1 fps
 *     1  RGB24 1280x720, FORMAT_VideoInfo,  30 fps .. 1 fps
 *     2  RGB24 320x240,  FORMAT_VideoInfo,  15 fps (666666) .. 1 fps
 *     3  RGB24 800x600,  FORMAT_VideoInfo2, 30 fps .. 1 fps
 *     4  RGB24 1920x1080, FORMAT_VideoInfo, 30 fps .. 1 fps
 *     5  RGB24 3840x2160, FORMAT_VideoInfo, 30 fps .. 1 fps
 *     6  RGB24 1280x720,  FORMAT_VideoInfo, 60 fps (166666) .. 30 fps
 *     7  RGB24 1920x1080, FORMAT_VideoInfo, 60 fps .. 30 fps
 * Capabilities 6 and 7 state 30 fps in their media type (AvgTimePerFrame
 * 333333, as a UVC camera's default frame interval can be slower than its
 * fastest) and 60 fps as MinFrameInterval.
 * SetFormat accepts an RGB24 FORMAT_VideoInfo type, bottom-up, whose size is
 * one of these sizes and whose AvgTimePerFrame lies in a frame-interval range
 * of that size (1280x720 and 1920x1080 up to 60 fps); the type is then
 * normalised (biSizeImage, lSampleSize recomputed) and becomes the only type
 * the pin offers and connects with. Without SetFormat the pin offers all
 * eight, capability 0 first. As Windows'
 * capture filters do, SetFormat answers VFW_E_NOT_STOPPED unless the filter
 * is stopped, and on a connected pin asks the peer's QueryAccept and has the
 * graph reconnect the pin (IFilterGraph2::ReconnectEx) with the new format.
 *
 * Frames: bottom-up RGB24 (blue, green, red bytes), rows padded to 4 bytes.
 * Seen upright, the picture has four corner blocks of width/8 x height/8:
 * pure red top-left, pure green top-right, pure blue bottom-left, white
 * bottom-right. Between them, grey vertical stripes that move 8 pixels to the
 * right from one frame to the next.
 *
 * Frame number: the 32-bit number of the frame since the stream started
 * (0 for the first frame after Run), drawn as 32 cells in a row, most
 * significant bit first. Cell i (0..31) covers, in upright picture
 * coordinates,
 *     x from width/4 + i*(width/64) to width/4 + (i+1)*(width/64) - 1,
 *     y from 7*height/16 to 9*height/16 - 1 (integer division),
 * and is white (255,255,255) for a 1 bit and black (0,0,0) for a 0 bit.
 * vlxcam_read_frame_number() reads it back from raw frame bytes.
 *
 * Brightness (below) shows in the picture: every byte of the stripes is
 * shifted by (brightness - VLXCAM_DEFAULT_BRIGHTNESS), clamped to 0-255, from
 * the first frame painted after the Set. The stripes are everything but the
 * corner blocks and the 32 frame-number cells, which stay as they are (the
 * stripes between the cells and beside the corners shift too).
 *
 * Stills. The main camera and "(still trigger fails)" have a second output
 * pin, "Still" (PIN_CATEGORY_STILL, after "Capture"), with IAMStreamConfig
 * (128-byte VIDEO_STREAM_CONFIG_CAPS) and these capabilities, all RGB24,
 * FORMAT_VideoInfo, bottom-up, stating 30 fps .. 1 fps:
 *     0  3840x2160   1  1920x1080   2  1280x720   3  640x480
 * SetFormat takes one of them while the filter is stopped (a connected pin
 * asks its peer and is connected again), and it becomes the only type the
 * pin offers. The pin sends nothing on its own: one still whenever the
 * software trigger fires, and one whenever the camera's button is pressed
 * (vlxcam_PressButton) while the external trigger is enabled. The filter's
 * IAMVideoControl offers VideoControlFlag_Trigger and
 * VideoControlFlag_ExternalTriggerEnable on the still pin (GetCaps) and no
 * flag on the capture pin. SetMode(still pin, mode) keeps the external
 * trigger's flag (GetMode reads it back) and, with VideoControlFlag_Trigger,
 * fires the trigger: VFW_E_NOT_RUNNING unless the pin is connected and the
 * filter runs; "(still trigger fails)" answers 0x8007001F
 * (HRESULT_FROM_WIN32(ERROR_GEN_FAILURE)) and sends nothing. Flags other
 * than those two are E_INVALIDARG. Each still is stamped with the graph's
 * stream time (none without a clock) and passes the device's presence as
 * frames do.
 * A still's picture is not a capture frame's. Seen upright: the top eighth
 * of its rows (y < height/8) magenta (255,0,255) from edge to edge, which no
 * capture frame has; the bottom eighth (y >= height - height/8) cyan
 * (0,255,255) for a still of the software trigger, yellow (255,255,0) for one
 * of the button; grey (96,96,96) between them, with the still's number in
 * the frame number's 32 cells (above), read back with
 * vlxcam_read_frame_number(). Stills are numbered 1, 2, 3 ... per filter
 * instance, triggered and pressed alike, across Stop and Run.
 * vlxcam_read_still_mark() tells a still from a capture frame and its source.
 *
 * Camera controls. Every device but "(no pins)" has IAMVideoProcAmp and
 * IAMCameraControl on its filter, with the properties a UVC webcam's driver
 * states (minimum, maximum, step, default; modes 1 automatic, 2 manual):
 *     VideoProcAmp_Brightness              0    255     1   128  2
 *     VideoProcAmp_Contrast                0    255     1   128  2
 *     VideoProcAmp_Saturation              0    255     1   128  2
 *     VideoProcAmp_Sharpness               0    255     1   128  2
 *     VideoProcAmp_Gamma                  72    500     1   100  2
 *     VideoProcAmp_WhiteBalance         2800   6500    10  4600  1|2
 *     VideoProcAmp_BacklightCompensation   0      1     1     0  2
 *     VideoProcAmp_Gain                    0    255     1     0  2
 *     CameraControl_Pan               -36000  36000  3600     0  2
 *     CameraControl_Tilt              -36000  36000  3600     0  2
 *     CameraControl_Zoom                 100    500     1   100  2
 *     CameraControl_Exposure             -13     -1     1    -6  1|2 (log2 s)
 *     CameraControl_Focus                 10    250     8    50  1|2
 * Hue, colour enable, roll and iris answer E_PROP_ID_UNSUPPORTED. A filter
 * starts with every default, the 1|2 ones in automatic mode; what is set
 * then stays the filter's state across Stop, Pause and Run and Get reads it
 * back exactly. Set takes flags 2 with a value in the range on a step from
 * the minimum, or flags 1 on a 1|2 property (its value then settles on the
 * default); anything else is E_INVALIDARG and changes nothing.
 * vlxcam_ControlSetCalls() counts the Set calls that reached any filter.
 *
 * Webcam pixel formats. These devices paint the same picture in the format
 * a real webcam sends; the Sample Grabber then needs a decoder (on Wine, the
 * test platform's vidlox-testcodec64.dll behind Wine's AVI Decompressor):
 *     (YUY2), (NV12), (MJPG)  that format at 640x480, 1280x720 and
 *                             1920x1080, each 30 fps (333333) .. 1 fps;
 *                             (NV12) and (MJPG) then also 3 3840x2160 at
 *                             30 fps .. 1 fps, 4 1280x720 and 5 1920x1080 at
 *                             60 fps (166666) .. 30 fps, stating 30 fps as
 *                             capabilities 6 and 7 above do
 *     (webcam)                a typical USB 2 camera, in this order:
 *                             0 YUY2  640x480   30 fps
 *                             1 YUY2  320x240   30 fps
 *                             2 YUY2  800x600   20 fps
 *                             3 YUY2  1280x720  10 fps
 *                             4 YUY2  1920x1080  5 fps
 *                             5..9 MJPG at the same five sizes, 30 fps;
 *                             every capability down to 5 fps (2000000)
 *     (undecodable format)    YUY2 bytes at 640x480 under the FourCC
 *                             'VLXU', which no decoder knows
 * All are FORMAT_VideoInfo with a positive biHeight; biCompression is the
 * FourCC and biBitCount 16 (YUY2, VLXU), 12 (NV12) or 24 (MJPG). SetFormat
 * accepts any listed pixel format and size with an AvgTimePerFrame inside
 * that capability's range, as a UVC camera does.
 * YUY2 and NV12 rows are top-down whatever the sign of biHeight, as on real
 * cameras; they are BT.601, limited range, with each chroma sample the mean
 * of the pixels it covers. An MJPG frame is one baseline JPEG (4:2:0,
 * libjpeg quality 90 where the platform's encoder takes a quality) without
 * Huffman tables, as many cameras send it: decoders use the standard tables
 * of ITU T.81 Annex K.3. Its samples vary in length (the most a frame takes
 * is width * height * 2 bytes, as UVC cameras announce).
 */
#ifndef VIDLOX_TESTCAM_H
#define VIDLOX_TESTCAM_H

#include <stdint.h>
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VLXCAM_NAME_MAIN L"vidlox Test Camera"
#define VLXCAM_NAME_NO_PINS L"vidlox Test Camera (no pins)"
#define VLXCAM_NAME_CAPS_BLOCK L"vidlox Test Camera (64-byte caps block)"
#define VLXCAM_NAME_REFUSES L"vidlox Test Camera (refuses formats)"
/* Its "Preview" pin shows what the "Capture" pin captures: a format set on
 * the capture pin is set on the preview pin too (reconnecting it when it is
 * connected), so a preview branch sees a format change without the platform's
 * Smart Tee in between. */
#define VLXCAM_NAME_PREVIEW_PIN L"vidlox Test Camera (capture and preview pins)"
#define VLXCAM_NAME_SLOW_START L"vidlox Test Camera (first frame after 2 s)"
/* Like some drivers, keeps the biSizeImage and lSampleSize of the type given
 * to SetFormat and connects with them, while it delivers frames of the real
 * size of the format: a stale size in the type reaches the host unchanged. */
#define VLXCAM_NAME_KEEPS_SIZES L"vidlox Test Camera (keeps given sample size)"
/* GetStreamCaps states capability 0 with AvgTimePerFrame 0, as drivers with a
 * variable frame rate do; it connects and streams like the main camera. */
#define VLXCAM_NAME_UNSTATED_RATE L"vidlox Test Camera (capability without frame rate)"
/* States the same control ranges as the main camera but keeps only every
 * VLXCAM_COARSE_STEPS-th step: a manual value is held as
 * minimum + floor((value - minimum) / (step * 4)) * (step * 4), so Set answers
 * S_OK and Get reads back another value (brightness 130 is held as 128). */
#define VLXCAM_NAME_COARSE_CONTROLS L"vidlox Test Camera (coarse controls)"
#define VLXCAM_COARSE_STEPS 4
/* "vidlox Kamera für Tests ✓": a 2-byte and a 3-byte UTF-8 character. */
#define VLXCAM_NAME_NON_ASCII L"vidlox Kamera f\u00fcr Tests \u2713"

/* Webcam pixel formats, described above. */
#define VLXCAM_NAME_YUY2 L"vidlox Test Camera (YUY2)"
#define VLXCAM_NAME_NV12 L"vidlox Test Camera (NV12)"
#define VLXCAM_NAME_MJPG L"vidlox Test Camera (MJPG)"
#define VLXCAM_NAME_WEBCAM L"vidlox Test Camera (webcam)"
#define VLXCAM_NAME_UNDECODABLE L"vidlox Test Camera (undecodable format)"

/* Device identity and health (registered with /i:all).
 * Two cameras with one friendly name, told apart by their "DevicePath"
 * properties, as two cameras of one model on two USB ports are. No other
 * device of this DLL has a DevicePath. */
#define VLXCAM_NAME_TWIN L"vidlox Test Camera (twin)"
#define VLXCAM_PATH_TWIN_1 L"\\\\?\\root#vidlox_twin#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"
#define VLXCAM_PATH_TWIN_2 L"\\\\?\\root#vidlox_twin#0002#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"
/* Starting it (stopped to paused) fails with 0x800705AA,
 * HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES): what the kernel-streaming
 * proxy of a USB camera answers while another program has the camera open.
 * It also notifies its graph EC_ERRORABORT with that code, so that a graph
 * manager that starts filters asynchronously (Wine's answers Run with
 * S_FALSE and drops the filter's result) still learns why. */
#define VLXCAM_NAME_IN_USE L"vidlox Test Camera (in use)"
/* The main camera's still pin, whose software trigger always fails (see
 * "Stills" above); its button works. */
#define VLXCAM_NAME_STILL_FAILS L"vidlox Test Camera (still trigger fails)"
/* Test microphones (registered with /i:all): live audio capture sources in
 * CLSID_AudioInputDeviceCategory, each with one capture pin ("Capture").
 * The pin offers these PCM formats (IAMStreamConfig, one
 * AUDIO_STREAM_CONFIG_CAPS each, in this order; the first is the default):
 *     0  48000 Hz  2 channels  16 bits      4  48000 Hz  2 channels  24 bits
 *     1  48000 Hz  1 channel   16 bits      5  16000 Hz  1 channel   16 bits
 *     2  44100 Hz  2 channels  16 bits      6   8000 Hz  1 channel    8 bits
 *     3  44100 Hz  1 channel   16 bits
 * and connects in the one format SetFormat chose (stopped filter only; a
 * connected pin is reconnected), the default before. Its buffers are what
 * IAMBufferNegotiation::SuggestAllocatorProperties asked before the pin
 * connected (whole sample frames), else half a second, as audio drivers
 * default; each buffer is one block, delivered when its last sample is
 * taken and stamped with the stream time of its first (sample n at
 * n / rate seconds).
 * The filter offers its device's clock (IReferenceClock), which runs with
 * the performance counter unless vlxcam_SetClockError says otherwise. With
 * it as the graph's clock, stream time is the microphone's own; on another
 * clock the samples keep the device's count and drift by the clock error.
 * The signal: at every second of the graph's stream time a 10 ms click, a
 * 1 kHz square wave at 90 % of full scale on every channel; silence
 * otherwise. The test camera flashes at the same instants (below), so a
 * recording in sync has flash and click together. On the microphone's own
 * clock (or none) the click of second k starts at sample k * rate; on
 * another clock where the samples' count says, which drifts. */
#define VLXCAM_NAME_MICROPHONE L"vidlox Test Microphone"
#define VLXCAM_PATH_MICROPHONE L"\\\\?\\swd#mmdevapi#vidlox_microphone_0001#{2eef81be-33fa-4800-9670-1cd474972c3f}"
#define VLXCAM_MICROPHONE_RATE 48000
#define VLXCAM_MICROPHONE_CHANNELS 2
#define VLXCAM_MICROPHONE_BITS 16
#define VLXCAM_MICROPHONE_FORMAT_COUNT 7
#define VLXCAM_MICROPHONE_DEFAULT_BUFFER_MS 500
#define VLXCAM_CLICK_MS 10
/* Starting it fails with 0x800705AA and notifies EC_ERRORABORT, as the
 * "(in use)" camera does. */
#define VLXCAM_NAME_MICROPHONE_IN_USE L"vidlox Test Microphone (in use)"
/* Its pin connects with no type, and SetFormat answers
 * VFW_E_INVALIDMEDIATYPE: a device that refuses every format. */
#define VLXCAM_NAME_MICROPHONE_REFUSES L"vidlox Test Microphone (refuses formats)"

/* Flash: the camera paints the band of picture rows from 3*height/16 to
 * 5*height/16 - 1 (integer division) full white in the frame whose stream
 * time lies nearest each whole second (the frame stamped k * 10^7 exactly,
 * since frames are paced on the graph's reference clock from stream time
 * 0: frame n is due at n * AvgTimePerFrame), and nowhere else; without a
 * clock, in every frame whose number times its interval is a whole
 * second. Everything else of the picture is as described above. */
#define VLXCAM_FLASH_TOP_SIXTEENTHS 3
#define VLXCAM_FLASH_BOTTOM_SIXTEENTHS 5

/* The same names in UTF-8, as device lists give them. */
#define VLXCAM_NAME_NON_ASCII_UTF8 "vidlox Kamera f\xc3\xbcr Tests \xe2\x9c\x93"

/* Brightness's default: the stripes are painted unshifted at this value. */
#define VLXCAM_DEFAULT_BRIGHTNESS 128

/* Delay before the slow-start device delivers its first frame. */
#define VLXCAM_SLOW_START_MS 2000

/* Live COM objects of this DLL (filters with their pins, enumerators, class
 * factories, property pages); 0 once every host has released everything. */
int32_t __cdecl vlxcam_LiveObjects(void);

/* IAMVideoProcAmp::Set and IAMCameraControl::Set calls that reached any
 * filter of this DLL since it was loaded, refused ones included. */
int32_t __cdecl vlxcam_ControlSetCalls(void);

/* For tests of out-of-memory paths: the `nth` allocation (1 = the next) that
 * the calling thread makes inside the camera fails as if memory ran out;
 * 0 disarms. Every COM method then answers E_OUTOFMEMORY or succeeds. */
void __cdecl vlxcam_FailAllocation(int32_t nth);

/* For tests of device loss. Each acts on every running instance of the
 * device whose DevicePath is `device_path`, in this process, and answers 0,
 * or -1 when no device of this DLL has that path; call them on the thread
 * that owns the instances' graphs.
 * vlxcam_Unplug: the device goes as a USB camera that is pulled out does:
 *   its instances stop delivering and notify their graphs
 *   (IMediaEventSink::Notify(EC_DEVICE_LOST, the filter's IUnknown, 0)),
 *   and it leaves its category (the system device enumerator no longer
 *   lists it). -2: its category entry cannot be removed.
 * vlxcam_Replug: it is listed again (the same entry); instances that were
 *   unplugged stay dead, and each notifies EC_DEVICE_LOST with 1 (the
 *   device is back). -2: it cannot be registered.
 * vlxcam_Stall: its instances deliver nothing for `milliseconds`, then go
 *   on (frames due meanwhile are lost), as a hung driver does.
 * vlxcam_FailStream: its instances stop delivering and notify their graphs
 *   EC_ERRORABORT with `error`.
 * The test microphone (VLXCAM_PATH_MICROPHONE) answers all four too:
 * unplugged it notifies EC_DEVICE_LOST and leaves the audio category;
 * stalled, the samples taken meanwhile are lost (the next block's time
 * shows the gap). */
int32_t __cdecl vlxcam_Unplug(const wchar_t* device_path);
int32_t __cdecl vlxcam_Replug(const wchar_t* device_path);
int32_t __cdecl vlxcam_Stall(const wchar_t* device_path, int32_t milliseconds);
int32_t __cdecl vlxcam_FailStream(const wchar_t* device_path, HRESULT error);

/* Presses the button of a device with a still pin: `device_path` is its
 * DevicePath or, for a device without one (the main camera), its moniker's
 * display name, as vlx_GetDevicePathList lists it. The press belongs to the
 * device, not to one process: it goes to an instance of the device that
 * streams (paused or running, in any process of the session; one of them
 * when several do), whose still pin sends a still marked as the button's
 * once it runs, if its external trigger is enabled, and drops the press
 * otherwise. Presses before that instance takes them count once.
 *   0 pressed   1 no instance of the device streams: the press is lost
 *   -1 no device of this DLL has that path   -2 the device has no still pin
 *   -3 the press could not be made */
int32_t __cdecl vlxcam_PressButton(const wchar_t* device_path);

/* The clock error of the microphone whose DevicePath is `device_path`: its
 * clock and its samples run `parts_per_million` fast (negative: slow)
 * against the performance counter, from now on, for every instance, as a
 * cheap USB microphone's crystal does (1000: 0.1 % fast, 48048 samples in
 * the performance counter's second). 0, or -1 for no such microphone, -2
 * for a value of a million or more either way. */
int32_t __cdecl vlxcam_SetClockError(const wchar_t* device_path, int32_t parts_per_million);

/* Frame number of a frame in the documented layout: `bits` points at the
 * first byte, `height` is biHeight (positive: bottom-up). */
static inline uint32_t vlxcam_read_frame_number(const uint8_t* bits, int32_t width, int32_t height) {
    int32_t rows = height < 0 ? -height : height;
    int32_t stride = ((width * 24 + 31) / 32) * 4;
    int32_t cell = width / 64;
    int32_t y = (7 * rows / 16 + 9 * rows / 16) / 2; /* middle of the band */
    int32_t memory_row = height > 0 ? rows - 1 - y : y;
    uint32_t number = 0;
    for (int32_t i = 0; i < 32; ++i) {
        int32_t x = width / 4 + i * cell + cell / 2;
        const uint8_t* pixel = bits + (size_t)memory_row * (size_t)stride + (size_t)x * 3;
        number = (number << 1) | (pixel[1] >= 128 ? 1u : 0u);
    }
    return number;
}

/* What a picture in the documented layouts is: VLXCAM_NOT_A_STILL for a
 * capture frame, else the source a still's bottom band shows. */
#define VLXCAM_NOT_A_STILL 0
#define VLXCAM_STILL_OF_TRIGGER 1
#define VLXCAM_STILL_OF_BUTTON 2
static inline int32_t vlxcam_read_still_mark(const uint8_t* bits, int32_t width, int32_t height) {
    int32_t rows = height < 0 ? -height : height;
    int32_t stride = ((width * 24 + 31) / 32) * 4;
    int32_t top = rows / 16, bottom = rows - 1 - rows / 16; /* middle of each band */
    const uint8_t* mark = bits + (size_t)(height > 0 ? rows - 1 - top : top) * (size_t)stride + (size_t)(width / 2) * 3;
    const uint8_t* source = bits + (size_t)(height > 0 ? rows - 1 - bottom : bottom) * (size_t)stride + (size_t)(width / 2) * 3;
    if (!(mark[0] >= 128 && mark[1] < 128 && mark[2] >= 128)) return VLXCAM_NOT_A_STILL;
    return source[0] >= 128 ? VLXCAM_STILL_OF_TRIGGER : VLXCAM_STILL_OF_BUTTON; /* cyan's blue, yellow's none */
}

#ifdef __cplusplus
}
#endif

#endif /* VIDLOX_TESTCAM_H */
