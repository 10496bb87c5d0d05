// The model the random call sequences check the library against: what the
// test cameras offer, the render modes a host asks for, and the state of
// every slot as the host's calls leave it.
#pragma once

#include "vidlox.h"
#include "vidlox_testcam.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <map>

namespace vlx_test {

struct Size {
    int32_t width, height;
    int32_t bytes() const { return ((width * 24 + 31) / 32) * 4 * height; }
};
constexpr Size kDefaultSize{640, 480};

// Requested formats and what each device makes of them.
struct Request {
    int32_t width, height;
    double rate;
};
inline const Request kRequests[] = {{0, 0, 0.0}, {320, 240, 15.0}, {1280, 720, 30.0}, {123, 45, 30.0}};
inline bool valid_request(const Request& r) { return r.width == 320 || r.width == 1280; }
inline bool any_request(const Request& r) { return r.width != 0 || r.height != 0 || r.rate != 0.0; }

// The subtype a slot asks for (vlx_SetDevSubtype): every capability of the
// devices used here is RGB24.
enum class Subtype { none, rgb24, other };

// What vlx_SetDevFormatChoice 1 or 2 picks on these devices: the
// capabilities the grabber can be given (the VIDEOINFOHEADER2 one never),
// with their frame-interval ranges.
struct Chosen {
    bool found;
    Size size;
};
struct Capability {
    Size size;
    int64_t shortest, longest;  // frame interval, 100 ns
};
inline const Capability kCapabilities[] = {{{640, 480}, 333333, 10000000},
                                           {{1280, 720}, 333333, 10000000},
                                           {{320, 240}, 666666, 10000000},
                                           {{1920, 1080}, 333333, 10000000}};

inline Chosen choose(int32_t choice, const Request& r, Subtype subtype) {
    if (choice == VLX_FORMAT_CHOICE_EXACT) {
        if (subtype == Subtype::other) return {false, {}};
        for (const Capability& c : kCapabilities) {
            if ((r.width != 0 && r.width != c.size.width) || (r.height != 0 && r.height != c.size.height)) continue;
            if (r.rate != 0.0) {
                const auto interval = static_cast<int64_t>(10000000.0 / r.rate);
                if (interval < c.shortest || interval > c.longest) continue;
            }
            return {true, c.size};
        }
        return {false, {}};
    }
    // Nearest: by size alone on these requests (no two capabilities tie on
    // size and differ in rate), ties to the lower index.
    auto ratio = [](int32_t wanted, int32_t has) {
        if (wanted == 0) return 1.0;
        return wanted > has ? double(wanted) / has : double(has) / wanted;
    };
    const Capability* best = &kCapabilities[0];
    double best_score = 0.0;
    for (const Capability& c : kCapabilities) {
        const double score = ratio(r.width, c.size.width) * ratio(r.height, c.size.height);
        if (&c == &kCapabilities[0] || score < best_score) {
            best = &c;
            best_score = score;
        }
    }
    return {true, best->size};
}

struct Device {
    const wchar_t* name;
    bool refuses_formats;
    bool preview_pin;  // the preview pin, which follows the capture pin's format, feeds the grabber
    bool in_use = false;               // Run fails: another program holds it
    const wchar_t* path = nullptr;     // a DevicePath: the camera can unplug, replug and stall it
    int32_t index = -1;                // its position in the video device list now; -1 unplugged
};

// Render modes with the arguments a host gives them.
struct Mode {
    int32_t mode;
    intptr_t param1, param2;
    int32_t failure;  // what vlx_Open answers on Wine once past its checks, 0: it opens
    bool grabber_connected;
};
inline const wchar_t kAviFile[] = L"random-calls.avi";
inline const wchar_t kCompressor[] = L"Wine MS-RLE video codec";
inline const Mode kModes[] = {
    {0, 0, 0, 0, true},
    {2, 1 /* VMRMode_Windowed */, 1, 0, true},
    {2, 1, 2, 0, true},  // two streams: the mixer
    {2, 1, 4, 0, true},  // four
    {6, 0, 0, 0, true},
    {5, 0, 0, 0, false},  // no renderer branch
    {1, 1, 1, -88, false},  // Wine's VMR7 has no SetNumberOfStreams
    // The AVI modes that open are recorded by the platform_files test; here
    // the ones that fail at a known step, each releasing its file again.
    {300, reinterpret_cast<intptr_t>(kAviFile), reinterpret_cast<intptr_t>(kCompressor), -51, false},  // RLE: no RGB24
    {301, reinterpret_cast<intptr_t>(kAviFile), reinterpret_cast<intptr_t>(kCompressor), -51, false},
    {300, 1, 0, -45, false},  // a small integer for the file name
    {301, reinterpret_cast<intptr_t>(kAviFile), 2, -49, false},  // and for the compressor name
};

// The test camera's controls (vidlox_testcam.h): range, step, default, modes.
struct ControlModel {
    int32_t id, minimum, maximum, step, default_value, modes;
};
inline const ControlModel kControls[] = {
    {VLX_CONTROL_BRIGHTNESS, 0, 255, 1, 128, 2},   {VLX_CONTROL_CONTRAST, 0, 255, 1, 128, 2},
    {VLX_CONTROL_SATURATION, 0, 255, 1, 128, 2},   {VLX_CONTROL_SHARPNESS, 0, 255, 1, 128, 2},
    {VLX_CONTROL_GAMMA, 72, 500, 1, 100, 2},       {VLX_CONTROL_WHITE_BALANCE, 2800, 6500, 10, 4600, 3},
    {VLX_CONTROL_BACKLIGHT_COMPENSATION, 0, 1, 1, 0, 2}, {VLX_CONTROL_GAIN, 0, 255, 1, 0, 2},
    {VLX_CONTROL_PAN, -36000, 36000, 3600, 0, 2}, {VLX_CONTROL_TILT, -36000, 36000, 3600, 0, 2},
    {VLX_CONTROL_ZOOM, 100, 500, 1, 100, 2},       {VLX_CONTROL_EXPOSURE, -13, -1, 1, -6, 3},
    {VLX_CONTROL_FOCUS, 10, 250, 8, 50, 3},
};
inline const ControlModel* find_control(int32_t id) {
    for (const ControlModel& c : kControls)
        if (c.id == id) return &c;
    return nullptr;
}
// Ids the header names that the test camera lacks (E_PROP_ID_UNSUPPORTED).
inline bool lacked_control(int32_t id) {
    return id == VLX_CONTROL_HUE || id == VLX_CONTROL_COLOR_ENABLE || id == VLX_CONTROL_ROLL || id == VLX_CONTROL_IRIS;
}

// The main camera's still sizes (vidlox_testcam.h); the other devices here
// have no still pin.
inline const Size kStillSizes[] = {{3840, 2160}, {1920, 1080}, {1280, 720}, {640, 480}};
inline bool still_size_of_pin(const Size& size) {
    for (const Size& s : kStillSizes)
        if (s.width == size.width && s.height == size.height) return true;
    return false;
}

// What the device state of a slot whose device was unplugged can be.
enum class Lost { no, yes, maybe };

enum class AudioChoice { none, microphone, absent };
enum class AudioAsk { none, offered, not_offered };

struct SlotModel {
    int32_t state = 0;
    int32_t render_mode = 0;
    const Mode* mode = nullptr;
    const Device* device = nullptr;
    Request request{0, 0, 0.0};
    int32_t choice = VLX_FORMAT_CHOICE_ALL;  // kept across vlx_Close, like the request
    Subtype subtype = Subtype::none;
    Size size = kDefaultSize;
    bool buffering = false;
    bool played = false;     // run since it was opened
    bool ownerless = false;  // its preview was placed without an owner window
    bool frame_uncertain = false;  // after a reconnection while open: a stale frame, or none
    bool size_uncertain = false;   // after a reconnection that the platform may not carry through
    Size old_size = kDefaultSize;
    Size renderer_size = kDefaultSize;  // the frame the renderer after the grabber was connected for
    Lost lost = Lost::no;
    int64_t last_taken = 0;  // the number of the frame vlx_GetFrame took last, 0 none
    // Frame events began on this graph: the grabber keeps no frame of its
    // own, and the frame functions read the library's copy.
    bool tracked = false;
    std::map<int32_t, std::pair<int32_t, int32_t>> controls;  // id -> value, mode, once set
    // vlx_SetStillSize (kept across vlx_Close), and whether the open graph
    // has the still branch.
    Size still_size{0, 0};
    bool still_branch = false;
    int64_t last_still = 0;  // the number of the still taken last

    // Sound: the audio device chosen for the next vlx_Open and the format
    // asked (both kept across vlx_Close), and whether the open graph has it.
    AudioChoice audio = AudioChoice::none;
    AudioAsk audio_ask = AudioAsk::none;
    bool with_audio = false;

    // What vlx_Close leaves: the request and how it is applied.
    SlotModel closed() const {
        return SlotModel{.request = request, .choice = choice, .subtype = subtype, .still_size = still_size,
                         .audio = audio, .audio_ask = audio_ask};
    }
};

// What vlx_Reopen repeats: the last open that succeeded in the slot.
struct ReopenMemo {
    bool made = false;
    const Device* device = nullptr;
    const Mode* mode = nullptr;
    bool runs = false;  // a reopen that found no device keeps the run for the next one
};

struct Model {
    bool initialised = false;
    int32_t active = 0;
    int32_t buffer_flag = 0;
    std::array<SlotModel, VLX_SLOT_COUNT> slots{};
    std::array<ReopenMemo, VLX_SLOT_COUNT> reopen{};
    std::map<int32_t, bool> encoders;  // id -> open
    int32_t last_encoder_id = -1;
    SlotModel& slot() { return slots[static_cast<size_t>(active)]; }
};

}  // namespace vlx_test
