// Seeded random call sequences through the DLL, as a careless host would make
// them, checked against a model of the library's state: every slot's state,
// render mode, requested format and how it is applied, connected format,
// buffering, camera controls, frame numbers taken, device loss; the log
// settings; the encoder ids; what vlx_Reopen repeats. The test camera unplugs,
// replugs and stalls its twins in between. Where the model cannot know an
// extension's answer, the answer must be one of the codes the header
// documents, no byte may land past a buffer (guard bytes), a list may not
// exceed its size query's answer and frame numbers may not go back. A crash
// ends the process with the recent calls and the stack printed, a call that
// does not return within the watchdog's time the same, and any result the
// model does not allow fails the test.
//
// VLX_RANDOM_SEEDS (e.g. "1,2,3") and VLX_RANDOM_STEPS (steps per seed) make
// longer runs: VLX_RANDOM_STEPS=5000 for thousands of steps. Processes run
// side by side need a Wine prefix each: Wine's device enumerator rebuilds
// the compressor list without a lock between processes.
//
// Left out: the platform's own crashes (VMR9 rendering modes 2 and 4, VMR9
// windows of 32767 pixels or more) and modal dialogs (vlx_FilterProp,
// vlx_DevPinProp and vlx_CodecDialog are only called where they refuse).
#include "dll/call_watchdog.h"
#include "dll/host_library.h"
#include "dll/random_extensions.h"
#include "dll/sound_exports.h"
#include "dll/random_model.h"
#include "dll/random_stack.h"
#include "support/text_lines.h"
#include "support/camera_graph.h"
#include "support/handle_census.h"
#include "support/message_window.h"
#include "vidlox_testcam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace vlx_test {
namespace {

// ---- What a call may answer -----------------------------------------------

using Allowed = std::set<int32_t>;

// The devices the host opens; their positions move when a twin is unplugged
// or replugged. One table for the whole run: vlx_Reopen remembers a device
// across seeds.
Device g_devices[] = {{VLXCAM_NAME_MAIN, false, false},
                      {VLXCAM_NAME_PREVIEW_PIN, false, true},
                      {VLXCAM_NAME_REFUSES, true, false},
                      {VLXCAM_NAME_IN_USE, false, false, true},
                      {VLXCAM_NAME_TWIN, false, false, false, VLXCAM_PATH_TWIN_1},
                      {VLXCAM_NAME_TWIN, false, false, false, VLXCAM_PATH_TWIN_2}};
Device* const kTwins[] = {&g_devices[4], &g_devices[5]};

// ---- Watchdog and the trail of recent calls ---------------------------------

// Ends the process when a call does not return within a minute.
CallWatchdog* g_watchdog = nullptr;

class Trail {
public:
    void add(std::string call) {
        if (g_watchdog) g_watchdog->arm("the call after \"" + call + "\"", 60000);
        std::lock_guard guard(lock_);
        calls_.push_back(std::move(call));
        static const size_t kept = [] {
            const char* text = std::getenv("VLX_RANDOM_TRAIL");  // calls printed after a fault
            return text ? static_cast<size_t>(std::strtoul(text, nullptr, 10)) : size_t{60};
        }();
        if (calls_.size() > kept) calls_.pop_front();
    }
    void print(const char* why) {
        std::lock_guard guard(lock_);
        std::fprintf(stderr, "%s; the last calls, oldest first:\n", why);
        for (const std::string& call : calls_) std::fprintf(stderr, "  %s\n", call.c_str());
        std::fflush(stderr);
    }

private:
    std::mutex lock_;
    std::deque<std::string> calls_;
};

Trail g_trail;

LONG WINAPI report_crash(EXCEPTION_POINTERS* info) {
    char why[96];
    std::snprintf(why, sizeof why, "crash: exception 0x%08lx", info->ExceptionRecord->ExceptionCode);
    g_trail.print(why);
    std::fprintf(stderr, "the crashing thread's stack:\n");
    print_stack(*info->ContextRecord);
    return EXCEPTION_CONTINUE_SEARCH;
}

// ---- The run ----------------------------------------------------------------

class RandomHost {
public:
    RandomHost(uint32_t seed, Model& model) : random_(seed), m_(model) {
        memory_dc_ = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 64, 64, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(memory_dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        SelectObject(memory_dc_, bitmap_);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"vidlox-random-calls";
        CreateDirectoryW(folder_.c_str(), nullptr);
        log_.assign(4096, '\0');
        // A run that ended early may have left a twin unplugged in the prefix.
        for (Device* twin : kTwins) x.Replug(twin->path);
        unplugged_ = {};
        refresh_indices();
    }
    ~RandomHost() {
        DeleteDC(memory_dc_);
        DeleteObject(bitmap_);
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((folder_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileW((folder_ + L"\\" + found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder_.c_str());
    }

    bool devices_found() const {
        for (const Device& device : g_devices)
            if (device.index < 0) return false;
        return true;
    }

    void step() {
        const Action& action = pick();
        action.run(*this);
    }

    // Closes every slot and deletes every encoder, as a tidy host ends.
    void end() {
        close_every_slot();
        if (!m_.initialised) v.Init();  // the audio settings are kept for an initialised library
        for (int32_t slot = 0; slot < VLX_SLOT_COUNT; ++slot) {
            v.SetActiveSel(slot);
            x.SetDevFormatChoice(VLX_FORMAT_CHOICE_ALL);
            x.SetDevSubtype(nullptr);
            x.SetStillSize(0, 0);
            x.UnlockFrame();  // a lent frame outlives its slot, and the next seed's host knows of none
            x.SetAudioDevice(-1);
            x.SetAudioFormat(0, 0, 0);
            m_.slots[static_cast<size_t>(slot)].audio = AudioChoice::none;
            m_.slots[static_cast<size_t>(slot)].audio_ask = AudioAsk::none;
        }
        if (!m_.initialised) v.Exit();
        x.SetDeviceNotify(nullptr, 0);
        for (Device* twin : kTwins) x.Replug(twin->path);
        for (auto& [id, open] : m_.encoders) v.DeleteEncoder(id);
        m_.encoders.clear();
        v.SetLogBuffer(nullptr, 0);
        v.SetErrorCallbackHwnd(nullptr, 0);
        v.SetLogLevel(0);
        if (m_.initialised) v.Exit();
        v.SetActiveSel(0);
        // What outlives vlx_Exit: the library-wide buffering choice and the
        // render mode a failed open left in a closed slot (vlx_Close above
        // cleared the mode of a slot that was open).
        const Model ended = m_;
        m_ = Model{.buffer_flag = ended.buffer_flag, .reopen = ended.reopen, .last_encoder_id = ended.last_encoder_id};
        for (size_t slot = 0; slot < m_.slots.size(); ++slot)
            if (ended.slots[slot].state < 2) m_.slots[slot].render_mode = ended.slots[slot].render_mode;
        window_.pump();
        frame_window_.pump();
        health_window_.pump();
    }

private:
    // Device positions, read with the library initialised (for a moment,
    // when the host has it closed: only between seeds).
    void refresh_indices() {
        const bool initialised = m_.initialised;
        if (!initialised) v.Init();
        for (Device& device : g_devices) {
            const size_t twin = static_cast<size_t>(&device == kTwins[1]);
            if (device.path && unplugged_[twin]) device.index = -1;
            else if (device.path) device.index = x.FindDevice(utf8(device.path).c_str(), 0);
            else device.index = device_index(device.name);
        }
        const int32_t bytes = x.GetDevicePathListSize(0);
        std::string paths(bytes > 0 ? static_cast<size_t>(bytes) : 1, '\0');
        x.GetDevicePathList(paths.data(), 0);
        const std::vector<std::string> lines = split_lines(paths.c_str());
        const size_t main = static_cast<size_t>(g_devices[0].index);
        if (main < lines.size()) main_path_.assign(lines[main].begin(), lines[main].end());
        microphone_ = audio_device_index(VLXCAM_NAME_MICROPHONE);
        if (!initialised) v.Exit();
        indices_stale_ = false;
    }
    // Any device that is plugged in now.
    const Device& pluggedin_device() {
        for (;;) {
            const Device& device = one_of(g_devices);
            if (!device.path || !unplugged_[static_cast<size_t>(&device == kTwins[1])]) return device;
        }
    }

    struct Action {
        const char* name;
        int weight;
        void (*run)(RandomHost&);
    };
    static const std::vector<Action>& actions();

    const Action& pick() {
        static const int total = [] {
            int sum = 0;
            for (const Action& a : actions()) sum += a.weight;
            return sum;
        }();
        int roll = std::uniform_int_distribution<int>(0, total - 1)(random_);
        for (const Action& a : actions()) {
            if (roll < a.weight) return a;
            roll -= a.weight;
        }
        return actions().front();
    }
    int32_t any(int32_t from, int32_t to) { return std::uniform_int_distribution<int32_t>(from, to)(random_); }
    template <class T, size_t N>
    const T& one_of(const T (&items)[N]) {
        return items[static_cast<size_t>(any(0, static_cast<int32_t>(N) - 1))];
    }

    // Records the call, checks its result against what the model allows.
    void expect(const std::string& call, int32_t result, const Allowed& allowed) {
        g_trail.add(call + " = " + std::to_string(result));
        ++tally_[call.substr(0, call.find('(')) + " = " + std::to_string(result)];
        EXPECT_TRUE(allowed.count(result)) << call << " answered " << result << " (slot " << m_.active << ", state "
                                           << m_.slot().state << ")";
        // The extensions' results, whatever the model allows, are the header's.
        const std::string function = "vlx_" + call.substr(0, call.find('('));
        if (const std::optional<bool> known = documented(function.c_str(), result)) {
            EXPECT_TRUE(*known) << call << " answered " << result << ", which include/vidlox.h does not document";
        }
    }
    void note(const std::string& call) { g_trail.add(call); }

public:
    // How often each function gave each result: what the run reached.
    static void print_tally() {
        std::string line;
        for (const auto& [what, count] : tally_) line += what + " x" + std::to_string(count) + "; ";
        std::printf("results: %s\n", line.c_str());
    }

private:
    static inline std::map<std::string, int> tally_;

    // The frame codes a slot allows: -1 closed, -2 no connected type, -3
    // buffering off, else a frame or none yet.
    Allowed frame_codes() {
        const SlotModel& s = m_.slot();
        if (s.state < 2) return {-1};
        if (!s.mode->grabber_connected) return {-2};
        if (s.tracked) return s.size_uncertain ? Allowed{0, -2, -4, -7} : Allowed{0, -7};
        if (s.size_uncertain) return {0, -2, -3, -4, -6, -7};
        if (s.frame_uncertain) return {0, -3, -4, -7};
        if (!s.buffering) return {-3};
        return {0, -7};
    }

    // ---- Library frame and settings ----
    static void init(RandomHost& h) {
        h.expect("Init", h.v.Init(), h.m_.initialised ? Allowed{-1} : Allowed{1});
        h.m_.initialised = true;
    }
    static void exit(RandomHost& h) {
        h.expect("Exit", h.v.Exit(), h.m_.initialised ? Allowed{0} : Allowed{-1});
        h.m_.initialised = false;
        h.autos_ = {};
        h.reports_.fill(std::string());
        // Watching ends with vlx_Exit: what it read of a lost device may go with it.
        for (SlotModel& s : h.m_.slots)
            if (s.lost == Lost::yes) s.lost = Lost::maybe;
    }
    static void select(RandomHost& h) {
        const int32_t slot = h.any(0, 9) == 0 ? h.one_of({-1, 31, 32, INT32_MIN}) : h.any(0, 3);
        const bool valid = slot >= 0 && slot < VLX_SLOT_COUNT;
        h.expect("SetActiveSel(" + std::to_string(slot) + ")", h.v.SetActiveSel(slot), {valid ? 0 : -1});
        if (valid) h.m_.active = slot;
        h.expect("GetActiveSel", h.v.GetActiveSel(), {h.m_.active});
        h.expect("GetRef", h.v.GetRef(), {h.m_.slot().state});
        h.expect("Version", h.v.Version(), {VLX_VERSION});
    }
    static void log_settings(RandomHost& h) {
        const int32_t level = h.any(-1, 3);
        h.expect("SetLogLevel(" + std::to_string(level) + ")", h.v.SetLogLevel(level), {0});
        const int32_t choice = h.any(0, 3);
        if (choice == 0) {
            h.expect("SetLogBuffer(null)", h.v.SetLogBuffer(nullptr, 0), {0});
            h.log_set_ = false;
        } else {
            h.log_.assign(h.log_.size(), '\0');
            const int32_t size = choice == 1 ? 10 : static_cast<int32_t>(h.log_.size());
            h.expect("SetLogBuffer(" + std::to_string(size) + ")", h.v.SetLogBuffer(h.log_.data(), size), {0});
            h.log_set_ = size;
        }
        const bool window = h.any(0, 1) != 0;
        h.expect("SetErrorCallbackHwnd", h.v.SetErrorCallbackHwnd(window ? h.window_.handle() : nullptr, h.any(-5, 5)),
                 {0});
        note_last_error(h);
    }
    static void note_last_error(RandomHost& h) {
        h.note("GetLastError = " + std::to_string(h.v.GetLastError()));
        // The log only ever holds whole lines, within its size.
        if (h.log_set_) {
            const std::string text(h.log_.data());
            EXPECT_LT(static_cast<int32_t>(text.size()), h.log_set_);
            for (size_t start = 0, end; start < text.size(); start = end + 2) {
                end = text.find("\r\n", start);
                ASSERT_NE(end, std::string::npos) << "a cut line in the log";
                EXPECT_EQ(text.compare(start, 2, "1 "), 0) << text.substr(start, end - start);
            }
            if (h.any(0, 3) == 0) h.log_[0] = '\0';  // the host empties it
        }
        for (const PostedMessage& message : h.window_.pump()) EXPECT_EQ(message.wparam, 1u);
    }

    // ---- Lists and sizes ----
    static void lists(RandomHost& h) {
        const int32_t kind = h.any(0, 2) == 0 ? 1 : 0;
        const bool codecs = h.any(0, 1) != 0;
        const int32_t size = codecs ? h.v.GetCodecListSize(kind) : h.v.GetDeviceListSize(kind);
        std::string text(size > 0 ? static_cast<size_t>(size) : 1, '\0');
        const int32_t count = codecs ? h.v.GetCodecList(text.data(), kind) : h.v.GetDeviceList(text.data(), kind);
        const std::string which = std::string(codecs ? "Codec" : "Device") + "List(" + std::to_string(kind) + ")";
        if (!h.m_.initialised) {
            h.expect(which + "Size", size, {-1});
            h.expect(which, count, {-1});
            return;
        }
        const int32_t empty = -3;  // no audio compressors on Wine (the test microphone is an audio device)
        if (kind != 0 && codecs) {
            h.expect(which + "Size", size, {empty});
            h.expect(which, count, {empty});
            return;
        }
        h.expect(which + "Size", size, {static_cast<int32_t>(std::strlen(text.c_str())) + 1});
        const size_t lines = split_lines(text.c_str()).size();
        h.expect(which, count, {static_cast<int32_t>(lines)});
        h.expect(which + "(null)", codecs ? h.v.GetCodecList(nullptr, 0) : h.v.GetDeviceList(nullptr, 0), {-1});
    }
    static void buffer_size(RandomHost& h) {
        const int32_t query = h.any(-1, 10);
        const int32_t result = h.v.GetBufferSize(query);
        const SlotModel& s = h.m_.slot();
        const bool open = s.state >= 2;
        Allowed allowed;
        switch (query) {
        case 0: case 1: case 3: allowed = h.m_.initialised ? Allowed{result > 1 ? result : 2} : Allowed{-1}; break;
        case 4: allowed = {h.m_.initialised ? -3 : -1}; break;
        case 2: allowed = open ? Allowed{result > 1 ? result : 2} : Allowed{-1}; break;
        case 5: allowed = h.frame_size_codes(); break;
        case 6: allowed = {open ? 44 : -1}; break;
        case 7: case 8: case 9:
            allowed = !h.m_.initialised ? Allowed{-1} : open ? Allowed{result > 1 ? result : 2} : Allowed{-2};
            break;
        default: allowed = {-1};
        }
        h.expect("GetBufferSize(" + std::to_string(query) + ")", result, allowed);
    }
    Allowed frame_size_codes() {
        const SlotModel& s = m_.slot();
        if (s.state < 2) return {-1};
        if (!s.mode->grabber_connected) return {-2};
        if (s.size_uncertain) return {s.size.bytes(), s.old_size.bytes(), -2};
        return {s.size.bytes()};
    }

    // ---- Graph ----
    static void request(RandomHost& h) {
        const Request& r = h.one_of(kRequests);
        h.note("SetDev(" + std::to_string(r.width) + "x" + std::to_string(r.height) + "@" + std::to_string(r.rate) +
               ")");
        h.expect("SetDevWidth", h.v.SetDevWidth(r.width), {0});
        h.expect("SetDevHeight", h.v.SetDevHeight(r.height), {0});
        h.expect("SetDevFrameRate", h.v.SetDevFrameRate(r.rate), {0});
        h.m_.slot().request = r;
    }
    static void open(RandomHost& h) {
        SlotModel& s = h.m_.slot();
        const Device& device = h.pluggedin_device();
        const Mode& mode = h.one_of(kModes);
        int32_t index = h.position(device);
        const int32_t odd = h.any(0, 15);
        if (odd == 0) index = -1;
        if (odd == 1) index = 1000;
        const int32_t reserved = odd == 2 ? -1 : 0;
        const int32_t result = h.v.Open(index, mode.mode, reserved, mode.param1, mode.param2);
        std::ostringstream call;
        call << "Open(" << index << " " << utf8(device.path ? device.path : device.name).substr(0, 40) << ", " << mode.mode << ", " << reserved << ", "
             << mode.param1 << ", " << mode.param2 << ")";
        if (!h.m_.initialised) return h.expect(call.str(), result, {-1});
        if (s.state != 0) return h.expect(call.str(), result, {-2});
        if (index < 0 || reserved < 0) return h.expect(call.str(), result, {-6});
        if (index == 1000) return h.expect(call.str(), result, {-4});
        h.opened(call.str(), result, device, mode);
    }
    // The format step of vlx_Open on `device`: its result (0, 1 refused, or
    // the failure that releases the slot) and the size the slot then has.
    struct FormatStep {
        int32_t result;
        Size size;
    };
    static FormatStep open_format_step(const SlotModel& s, const Device& device) {
        if (s.choice == VLX_FORMAT_CHOICE_ALL) {
            const bool asked = any_request(s.request);
            const bool refused = asked && (device.refuses_formats || !valid_request(s.request));
            return {refused ? 1 : 0, asked && !refused ? Size{s.request.width, s.request.height} : kDefaultSize};
        }
        if (!any_request(s.request) && s.subtype == Subtype::none) return {0, kDefaultSize};
        const Chosen chosen = choose(s.choice, s.request, s.subtype);
        if (!chosen.found) return {-60, kDefaultSize};
        return device.refuses_formats ? FormatStep{1, kDefaultSize} : FormatStep{0, chosen.size};
    }
    // vlx_Open (or vlx_Reopen) of `device` in `mode` past the argument
    // checks, in the active slot: checks the result, records the open.
    void opened(const std::string& call, int32_t result, const Device& device, const Mode& mode) {
        SlotModel& s = m_.slot();
        // The format step comes before the renderer's branch; a failed one
        // leaves the slot's render mode as it was.
        const FormatStep step = open_format_step(s, device);
        if (step.result < 0) return expect(call, result, {step.result});
        s.render_mode = mode.mode;
        if (mode.failure != 0) return expect(call, result, {mode.failure});
        // The audio branch comes after the renderer's.
        if (s.audio == AudioChoice::absent) return expect(call, result, {-120});
        if (s.audio == AudioChoice::microphone && s.audio_ask == AudioAsk::not_offered &&
            s.choice != VLX_FORMAT_CHOICE_NEAREST)
            return expect(call, result, {-122});
        expect(call, result, {step.result});
        const bool with_audio = s.audio == AudioChoice::microphone;
        s = s.closed();
        s.render_mode = mode.mode;
        s.state = 2;
        s.mode = &mode;
        s.with_audio = with_audio;
        s.device = &device;
        // A slot that asked for a size of the still pin gets its branch.
        s.still_branch = has_still_pin(device) && still_size_of_pin(s.still_size);
        s.size = step.size;
        s.renderer_size = step.size;
        m_.reopen[static_cast<size_t>(m_.active)] = ReopenMemo{true, &device, &mode, false};
        // The slot's automatic profile, applied after the open.
        if (const auto automatic = autos_[static_cast<size_t>(m_.active)]) take_profile(profiles_[*automatic], false);
    }
    static void set_dev_cap_config(RandomHost& h) {
        SlotModel& s = h.m_.slot();
        if (!h.m_.initialised) return h.expect("SetDevCapConfig", h.v.SetDevCapConfig(), {-1});
        if (s.state < 2) return h.expect("SetDevCapConfig", h.v.SetDevCapConfig(), {-2});
        // Running, every format is refused; stopped, a valid one is applied
        // and a connected pin reconnects with it. Wine's graph finishes Run
        // on a thread of its own, so right after vlx_Play the device may
        // still be stopped and take the format.
        const bool running = s.state == 3;
        bool refused = s.device->refuses_formats;
        Size size{s.request.width, s.request.height};
        if (s.choice == VLX_FORMAT_CHOICE_ALL) {
            refused = refused || !valid_request(s.request);
        } else {
            // One capability is offered, whether or not anything is requested.
            const Chosen chosen = choose(s.choice, s.request, s.subtype);
            if (!chosen.found) return h.expect("SetDevCapConfig", h.v.SetDevCapConfig(), {-6});
            size = chosen.size;
        }
        // Wine's Sample Grabber keeps its output's old type when its input
        // is connected again, and Wine's VMR9 copies a frame of that type
        // from every sample: a smaller frame than VMR9 was connected for
        // crashes the streaming thread once the graph runs
        // (docs/wine-platform.md, "A Sample Grabber that does not follow its
        // input"). Only that change is left out.
        if (!refused && s.mode->mode == 2 && s.mode->grabber_connected && size.bytes() < s.renderer_size.bytes())
            return h.note("SetDevCapConfig skipped: a smaller frame than VMR9's type crashes Wine's VMR9");
        const int32_t result = h.v.SetDevCapConfig();
        if (refused || !s.mode->grabber_connected || size.width == s.size.width) {
            h.expect("SetDevCapConfig", result, refused ? Allowed{1} : running ? Allowed{0, 1} : Allowed{0});
        } else if (running) {
            h.expect("SetDevCapConfig", result, {0, 1});
            if (result == 0) {
                s.old_size = s.size;
                s.size = size;
                s.size_uncertain = true;
            }
        } else if (s.device->preview_pin && s.mode->mode == 6) {
            // Preview pin straight into the grabber, Null Renderer after it.
            h.expect("SetDevCapConfig", result, {0});
            s.size = size;
            s.frame_uncertain = true;
        } else {
            // Through Wine's Smart Tee (one-pin devices), or with a video
            // renderer after the grabber: the new type may stop anywhere.
            h.expect("SetDevCapConfig", result, {0, 1});
            s.old_size = s.size;
            s.size = size;
            s.size_uncertain = true;
        }
        h.expect("GetImageMemSize(0)", h.v.GetImageMemSize(0), h.frame_size_codes());
    }
    int32_t owner() { return static_cast<int32_t>(reinterpret_cast<intptr_t>(window_.handle())); }
    static void play(RandomHost& h) {
        SlotModel& s = h.m_.slot();
        const bool windowed = h.any(0, 1) != 0;
        const int32_t x = h.any(-50, 300), y = h.any(-50, 300), w = h.any(0, 640), hh = h.any(0, 480);
        const int32_t owner = h.any(0, 4) == 0 ? 0 : h.owner();  // 0: the preview without an owner
        const int32_t result = windowed ? h.v.Play(owner, x, y, w, hh) : h.v.Play2();
        const std::string call = windowed ? "Play(" + std::string(owner ? "" : "0, ") + std::to_string(w) + "x" +
                                                std::to_string(hh) + ")"
                                          : "Play2";
        if (s.state < 2) return h.expect(call, result, {-1});
        if (s.state == 3) return h.expect(call, result, {-2});
        h.expect(call, result, {0, 1});
        s.state = 3;
        s.buffering = true;
        s.played = true;
        if (windowed) s.ownerless = owner == 0;
    }
    static void resize(RandomHost& h) {
        const int32_t w = h.any(0, 800), hh = h.any(0, 600);
        const int32_t owner = h.any(0, 4) == 0 ? 0 : h.owner();
        SlotModel& s = h.m_.slot();
        if (s.state >= 2) s.ownerless = owner == 0;
        h.expect("ReSize(" + std::string(owner ? "" : "0, ") + std::to_string(w) + "x" + std::to_string(hh) + ")",
                 h.v.ReSize(owner, h.any(-20, 200), h.any(-20, 200), w, hh), {h.m_.slot().state < 2 ? -1 : 0});
        h.window_.pump();
    }
    static void stop(RandomHost& h) {
        SlotModel& s = h.m_.slot();
        h.expect("Stop", h.v.Stop(), {s.state == 3 ? 0 : -1});
        if (s.state == 3) s.state = 2;
    }
    static void close(RandomHost& h) {
        SlotModel& s = h.m_.slot();
        h.expect("Close", h.v.Close(), {s.state >= 2 ? 0 : -1});
        if (s.state >= 2) s = s.closed();
        h.window_.pump();
    }
    static void get_state(RandomHost& h) {
        const int32_t state = h.m_.slot().state;
        if (state >= 2) h.note(std::string("slot of ") + utf8(h.m_.slot().device->path ? h.m_.slot().device->path : h.m_.slot().device->name));
        // A device in use whose run failed leaves Wine's graph half-started
        // (docs/wine-platform.md, "A run that fails half-way"): with a
        // renderer the graph runs and answers E_FAIL; without one (mode 5) it
        // stays Stopped, also after vlx_Stop, and answers after the bounded
        // wait.
        const SlotModel& s = h.m_.slot();
        if (state == 3 && s.device->in_use) return h.expect("GetState", h.v.GetState(), {s.mode->mode == 5 ? 0 : -2});
        h.expect("GetState", h.v.GetState(), {state < 2 ? -1 : state == 2 ? 0 : 2});
    }
    static void cap_config(RandomHost& h) {
        SlotModel& s = h.m_.slot();
        const int32_t buffering = h.any(-1, 2);
        const int32_t result = h.v.SetCapConfig(buffering);
        const std::string call = "SetCapConfig(" + std::to_string(buffering) + ")";
        if (s.state < 3) return h.expect(call, result, {-1});
        h.expect(call, result, {buffering == -1 ? h.m_.buffer_flag : 0});
        if (buffering == 0 || buffering == 1) {
            h.m_.buffer_flag = buffering;
            s.buffering = buffering == 1;
        }
    }
    static void filter_list(RandomHost& h) {
        const SlotModel& s = h.m_.slot();
        const int32_t size = h.v.GetStreamFilterListSize();
        std::string text(size > 0 ? static_cast<size_t>(size) : 1, '\0');
        const bool second_name = h.any(0, 1) != 0;
        const int32_t count = second_name ? h.v.GetStreamFilterList(text.data()) : h.v.StreamFilterList(text.data());
        if (s.state < 2) {
            h.expect("GetStreamFilterListSize", size, {-1});
            return h.expect("StreamFilterList", count, {-1});
        }
        h.expect("GetStreamFilterListSize", size, {static_cast<int32_t>(std::strlen(text.c_str())) + 1});
        const size_t lines = split_lines(text.c_str()).size();
        h.expect("StreamFilterList", count, {static_cast<int32_t>(lines)});
        EXPECT_GE(count, 2) << "device and grabber at least";
        EXPECT_NE(text.find("Sample Grabber\r\n"), std::string::npos) << text;
    }

    // ---- Frames and still pictures ----
    static void frame_to_memory(RandomHost& h) {
        const SlotModel& s = h.m_.slot();
        h.expect("GetImageMemSize(1)", h.v.GetImageMemSize(h.any(1, 3)), {s.state < 2 ? -1 : 44});
        h.expect("GetImageMemSize(0)", h.v.GetImageMemSize(0), h.frame_size_codes());
        std::vector<uint8_t> pixels(static_cast<size_t>(std::max(s.size.bytes(), s.old_size.bytes())));
        BITMAPINFO header{};
        int32_t size = static_cast<int32_t>(pixels.size());
        const int32_t result = h.v.GetImageMem(pixels.data(), &size, &header);
        h.expect("GetImageMem", result, h.frame_codes());
        if (result == 0 && !s.frame_uncertain && !s.size_uncertain) {
            EXPECT_EQ(header.bmiHeader.biWidth, s.size.width);
            EXPECT_EQ(header.bmiHeader.biHeight, s.size.height);
            EXPECT_EQ(size, s.size.bytes());
        }
    }
    static void frame_to_dc(RandomHost& h) {
        const int32_t result = h.v.GetImage(h.memory_dc_, h.any(0, 10), h.any(0, 10), h.any(1, 700), h.any(1, 500));
        h.expect("GetImage", result, h.frame_codes());
    }
    static void save_bmp(RandomHost& h) {
        const std::wstring wide = h.folder_ + L"\\still.bmp";
        const std::string path(wide.begin(), wide.end());
        h.expect("SaveBMP", h.v.SaveBMP(path.c_str()), h.frame_codes());
    }
    static void save_image(RandomHost& h) {
        const int32_t format = h.any(-1, 7);
        const std::wstring path = h.folder_ + L"\\still.img";
        const int32_t result = h.v.SaveImage(path.c_str(), format, h.any(-10, 110), h.any(-1, 200), h.any(-1, 200));
        Allowed allowed = h.frame_codes();
        if (h.m_.slot().state >= 2) {
            if (format < 0 || format > 6) allowed.insert(-11);
            if (format == 5 || format == 6) allowed.insert(-12);  // no JPEG XR or HEIF encoder on Wine
            if (format < 0 || format > 4) allowed.erase(0);
        }
        h.expect("SaveImage(" + std::to_string(format) + ")", result, allowed);
    }

    // ---- Capabilities, dialogs that refuse, mixing renderer ----
    static void capabilities(RandomHost& h) {
        const SlotModel& s = h.m_.slot();
        const int32_t list = h.any(-1, 3);
        const int32_t size = h.v.GetDevCapConfigSize(list);
        std::string rates(512, '\0'), widths(512, '\0'), heights(512, '\0');
        const int32_t result = h.v.GetDevCapConfig(rates.data(), widths.data(), heights.data());
        if (!h.m_.initialised) {
            h.expect("GetDevCapConfigSize", size, {-1});
            h.expect("GetDevCapConfig", result, {-1});
        } else if (s.state < 2) {
            h.expect("GetDevCapConfigSize", size, {-2});
            h.expect("GetDevCapConfig", result, {-2});
        } else {
            const std::string& text = list == 0 ? rates : list == 1 ? widths : heights;
            h.expect("GetDevCapConfigSize(" + std::to_string(list) + ")", size,
                     {list >= 0 && list <= 2 ? static_cast<int32_t>(std::strlen(text.c_str())) + 1 : 1});
            h.expect("GetDevCapConfig", result, {0});
            EXPECT_EQ(std::string(widths.c_str()), "640\r\n1280\r\n320\r\n1920\r\n3840\r\n1280\r\n1920\r\n");
        }
        const int32_t item = h.any(0, 6);
        const int32_t info = h.v.GetCapInfo(item);
        if (s.state < 2) return h.expect("GetCapInfo", info, {-1});
        const int32_t expected[] = {640, 480, info, info, 333333, 0, 0};
        h.expect("GetCapInfo(" + std::to_string(item) + ")", info, {expected[item]});
    }
    static void refusing_dialogs(RandomHost& h) {
        const SlotModel& s = h.m_.slot();
        HWND owner = h.window_.handle();
        h.expect("CodecDialog", h.v.CodecDialog(owner, h.one_of({1, 2, 4, 8})), {-1});
        if (s.state < 2) {
            h.expect("FilterProp", h.v.FilterProp(owner, L"Device Filter"), {-1});
            h.expect("DevPinProp", h.v.DevPinProp(owner), {-1});
        } else {
            h.expect("FilterProp(null)", h.v.FilterProp(owner, nullptr), {-2});
            h.expect("FilterProp(no such filter)", h.v.FilterProp(owner, L"no such filter"), {-2});
        }
    }
    static void mixing(RandomHost& h) {
        const SlotModel& s = h.m_.slot();
        const int32_t result = h.v.VMRMixImage(h.memory_dc_, 0, 0, 32, 32, 0.5f, 0.0f, 0.0f, 0.5f, 0.5f,
                                               h.any(0, 1), 255, 0, 255);
        if (s.state < 3) h.expect("VMRMixImage", result, {-1});
        else if (s.render_mode != 2) h.expect("VMRMixImage", result, {-2});
        else h.expect("VMRMixImage", result, {E_NOTIMPL});  // Wine's VMR9 SetAlphaBitmap
        const uint32_t prefs = static_cast<uint32_t>(h.any(0, 4));
        const int32_t deinterlace = h.v.SetVMRDeinterlace(prefs, nullptr);
        Allowed allowed;
        if (!h.m_.initialised) allowed = {-1};
        else if (s.render_mode != 1 && s.render_mode != 2) allowed = {-2};
        else allowed = {s.state >= 2 ? -4 : -3};  // no deinterlace control on Wine; a failed open keeps the mode
        h.expect("SetVMRDeinterlace", deinterlace, allowed);
    }

    // ---- Extensions: camera controls ----
    // What every control call answers before the device is asked, if it
    // stops there.
    std::optional<int32_t> control_gate() {
        if (!m_.initialised) return -1;
        if (m_.slot().state < 2) return -2;
        return std::nullopt;
    }
    std::pair<int32_t, int32_t> control_held(const ControlModel& c) {
        const auto& held = m_.slot().controls;
        const auto at = held.find(c.id);
        if (at != held.end()) return at->second;
        return {c.default_value, (c.modes & VLX_CONTROL_AUTO) ? VLX_CONTROL_AUTO : VLX_CONTROL_MANUAL};
    }
    static void controls(RandomHost& h) {
        static const int32_t kIds[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 100, 101, 102, 103, 104, 105, 106, -1, 10, 107};
        const int32_t id = h.one_of(kIds);
        const ControlModel* c = find_control(id);
        const bool named = c || lacked_control(id);
        const std::optional<int32_t> gate = h.control_gate();
        const std::string which = "(" + std::to_string(id) + ")";
        switch (h.any(0, 3)) {
        case 0: {
            int32_t got[5] = {};
            const bool null = h.any(0, 9) == 0;
            const int32_t result = h.x.GetControlRange(id, &got[0], &got[1], &got[2], &got[3], null ? nullptr : &got[4]);
            // Which of an unknown id and a null pointer is named first, the header leaves open.
            const Allowed allowed = gate ? Allowed{*gate} : !named && null ? Allowed{-3, -4} : !named ? Allowed{-3}
                                    : null ? Allowed{-4} : !c ? Allowed{-6} : Allowed{0};
            h.expect("GetControlRange" + which, result, allowed);
            if (result == 0 && c) {
                EXPECT_EQ(std::vector<int32_t>(got, got + 5),
                          (std::vector<int32_t>{c->minimum, c->maximum, c->step, c->default_value, c->modes}));
            }
            break;
        }
        case 1: {
            int32_t value = 0, mode = 0;
            const bool null = h.any(0, 9) == 0;
            const int32_t result = h.x.GetControl(id, &value, null ? nullptr : &mode);
            const Allowed allowed = gate ? Allowed{*gate} : !named && null ? Allowed{-3, -4} : !named ? Allowed{-3}
                                    : null ? Allowed{-4} : !c ? Allowed{-6} : Allowed{0};
            h.expect("GetControl" + which, result, allowed);
            if (result == 0 && c) {
                const auto [held_value, held_mode] = h.control_held(*c);
                EXPECT_EQ(value, held_value) << "control " << id;
                EXPECT_EQ(mode, held_mode) << "control " << id;
            }
            break;
        }
        case 2: {
            const int32_t mode = h.one_of({1, 2, 2, 2, 0, 3});
            int32_t value = 0;
            if (c) {
                const int32_t steps = (c->maximum - c->minimum) / c->step;
                switch (h.any(0, 4)) {
                case 0: value = c->maximum + c->step; break;               // above the range
                case 1: value = c->minimum + (c->step > 1 ? 1 : -1); break;  // off step, or below
                default: value = c->minimum + h.any(0, steps) * c->step;
                }
            }
            const int32_t result = h.x.SetControl(id, value, mode);
            const bool bad_mode = mode != VLX_CONTROL_AUTO && mode != VLX_CONTROL_MANUAL;
            Allowed allowed;
            if (gate) allowed = {*gate};
            else if (!named) allowed = bad_mode ? Allowed{-3, -8} : Allowed{-3};
            else if (bad_mode) allowed = {-8};
            else if (!c) allowed = {-6};
            else if (mode == VLX_CONTROL_AUTO && !(c->modes & VLX_CONTROL_AUTO)) allowed = {-8};
            else if (mode == VLX_CONTROL_MANUAL &&
                     (value < c->minimum || value > c->maximum || (value - c->minimum) % c->step != 0))
                allowed = {-7};
            else allowed = {0};
            h.expect("SetControl" + which + "(" + std::to_string(value) + ", " + std::to_string(mode) + ")", result,
                     allowed);
            if (result == 0 && c)
                h.m_.slot().controls[id] = mode == VLX_CONTROL_AUTO ? std::pair{c->default_value, VLX_CONTROL_AUTO}
                                                                      : std::pair{value, VLX_CONTROL_MANUAL};
            break;
        }
        default: control_list(h, gate);
        }
    }
    static void control_list(RandomHost& h, const std::optional<int32_t>& gate) {
        const int32_t size = h.x.GetControlListSize();
        if (h.any(0, 7) == 0) {
            const int32_t result = h.x.GetControlList(nullptr);
            h.expect("GetControlList(null)", result, gate ? Allowed{*gate, -4} : Allowed{-4});
        }
        GuardedBuffer text(size > 0 ? static_cast<size_t>(size) : 1);
        const int32_t count = h.x.GetControlList(text.data());
        if (gate) {
            h.expect("GetControlListSize", size, {*gate});
            return h.expect("GetControlList", count, {*gate});
        }
        const std::string listed = text.text();
        h.expect("GetControlListSize", size, {static_cast<int32_t>(listed.size()) + 1});
        h.expect("GetControlList", count, {static_cast<int32_t>(std::size(kControls))});
        EXPECT_TRUE(text.intact()) << "vlx_GetControlList wrote past the " << size << " bytes its size query answered";
        // Each line: id name minimum maximum step default modes value mode.
        for (const std::string& line : split_lines(listed.c_str())) {
            std::vector<std::string> fields;
            std::stringstream in(line);
            for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
            ASSERT_EQ(fields.size(), 9u) << line;
            const ControlModel* c = find_control(std::stoi(fields[0]));
            ASSERT_NE(c, nullptr) << line;
            const auto [value, mode] = h.control_held(*c);
            EXPECT_EQ(std::stoi(fields[7]), value) << line;
            EXPECT_EQ(std::stoi(fields[8]), mode) << line;
        }
    }

    // ---- Extensions: capture formats ----
    // A device's position now (the list moves when a twin goes or comes).
    int32_t position(const Device& device) {
        if (indices_stale_ && m_.initialised) refresh_indices();
        return device.index;
    }
    static void format_list(RandomHost& h) {
        const int32_t pick = h.any(0, 9);
        const int32_t index = pick == 0 ? h.one_of({-1, INT32_MIN}) : pick == 1 ? 1000 : h.position(h.pluggedin_device());
        const int32_t size = h.x.GetFormatListSize(index);
        GuardedBuffer text(size > 0 ? static_cast<size_t>(size) : 1);
        const int32_t count = h.x.GetFormatList(text.data(), index);
        const std::string which = "(" + std::to_string(index) + ")";
        const int32_t refused = !h.m_.initialised ? -1 : index < 0 ? -2 : index == 1000 ? -5 : 0;
        if (refused) {
            h.expect("GetFormatListSize" + which, size, {refused});
            return h.expect("GetFormatList" + which, count, {refused});
        }
        const std::string listed = text.text();
        h.expect("GetFormatListSize" + which, size, {static_cast<int32_t>(listed.size()) + 1});
        h.expect("GetFormatList" + which, count, {8});  // the RGB24 capabilities, the VIDEOINFOHEADER2 one too
        EXPECT_TRUE(text.intact()) << "vlx_GetFormatList wrote past the " << size << " bytes its size query answered";
        EXPECT_EQ(listed.rfind("0 RGB24 640 480 1.00 30.00 VIDEOINFOHEADER\r\n", 0), 0u) << listed;
        h.expect("GetFormatList(null)", h.x.GetFormatList(nullptr, index), {-1});
    }
    static void format_request(RandomHost& h) {
        SlotModel& s = h.m_.slot();
        if (h.any(0, 1) == 0) {
            const int32_t choice = h.one_of({-1, 0, 1, 1, 2, 2, 3});
            const bool valid = choice >= 0 && choice <= 2;
            h.expect("SetDevFormatChoice(" + std::to_string(choice) + ")", h.x.SetDevFormatChoice(choice),
                     {valid ? 0 : -1});
            if (valid) s.choice = choice;
            return;
        }
        struct Named {
            const char* text;
            int32_t result;
            Subtype subtype;
        };
        static const Named kSubtypes[] = {
            {nullptr, 0, Subtype::none},     {"", 0, Subtype::none},
            {"RGB24", 0, Subtype::rgb24},    {"{e436eb7d-524f-11ce-9f53-0020af0ba770}", 0, Subtype::rgb24},
            {"YUY2", 0, Subtype::other},     {"MJPG", 0, Subtype::other},
            {"RGB", -1, Subtype::none},      {"rgb24", -1, Subtype::none},
            {"{not a guid}", -1, Subtype::none},
        };
        const Named& named = h.one_of(kSubtypes);
        h.expect(std::string("SetDevSubtype(") + (named.text ? named.text : "null") + ")",
                 h.x.SetDevSubtype(named.text), {named.result});
        if (named.result == 0) s.subtype = named.subtype;
    }
    static void dev_format(RandomHost& h) {
        const SlotModel& s = h.m_.slot();
        GuardedBuffer subtype(VLX_SUBTYPE_TEXT_SIZE);
        int32_t width = -1, height = -1;
        double rate = -1.0;
        const bool null = h.any(0, 9) == 0;
        const int32_t result = h.x.GetDevFormat(subtype.data(), &width, null ? nullptr : &height, &rate);
        h.expect("GetDevFormat", result,
                 {!h.m_.initialised ? -1 : null ? -2 : s.state < 2 ? -3 : 0});
        EXPECT_TRUE(subtype.intact()) << "vlx_GetDevFormat wrote past " << VLX_SUBTYPE_TEXT_SIZE << " bytes";
        if (result != 0) return;
        EXPECT_EQ(subtype.text(), "RGB24");
        EXPECT_GT(rate, 0.0);
        if (!s.mode->grabber_connected) return;  // a capture pin nothing is connected to
        const bool now = width == s.size.width && height == s.size.height;
        const bool before = s.size_uncertain && width == s.old_size.width && height == s.old_size.height;
        EXPECT_TRUE(now || before) << width << "x" << height << ", the model " << s.size.width << "x" << s.size.height;
    }

    // ---- Extensions: frame events ----
    static void wait_frame(RandomHost& h) {
        SlotModel& s = h.m_.slot();
        if (s.state >= 2) s.tracked = true;
        const int32_t timeout = h.one_of({0, 0, 20, 100, 250});
        const int32_t result = h.x.WaitFrame(timeout);
        h.expect("WaitFrame(" + std::to_string(timeout) + ")", result,
                 s.state < 2 ? Allowed{-1} : s.state == 3 ? Allowed{0, 1} : Allowed{0, -2});
        h.frame_window_.pump();
    }
    static void get_frame(RandomHost& h) {
        SlotModel& s = h.m_.slot();
        // Room for the largest frame a request here makes, or too little.
        const int32_t largest = Size{1280, 720}.bytes();
        const int32_t choice = h.any(0, 9);
        const bool null_pixels = choice == 0, null_size = choice == 1, small = choice == 2;
        const int32_t capacity = small ? 100 : largest;
        GuardedBuffer pixels(static_cast<size_t>(capacity));
        GuardedBuffer header(44);
        constexpr int64_t kUntouched = -12345;
        int64_t info[VLX_FRAME_INFO_COUNT + 1];
        std::fill(std::begin(info), std::end(info), kUntouched);
        int32_t size = capacity;
        const int32_t result =
            h.x.GetFrame(null_pixels ? nullptr : pixels.data(), null_size ? nullptr : &size, header.data(), info);
        if (s.state >= 2 && !null_size) s.tracked = true;
        Allowed allowed;
        if (s.state < 2) allowed = {-1};
        else if (null_size) allowed = {-5};
        else if (!s.mode->grabber_connected) allowed = {-2};
        else allowed = small ? Allowed{-4, -7} : Allowed{0, -7};
        if (s.size_uncertain && s.state >= 2 && !null_size) allowed.insert(-2);
        const std::string call = std::string("GetFrame") + (null_pixels ? "(null pixels)" : small ? "(100 bytes)" : "");
        h.expect(call, result, allowed);
        EXPECT_TRUE(pixels.intact()) << "vlx_GetFrame wrote past " << capacity << " bytes";
        EXPECT_TRUE(header.intact()) << "vlx_GetFrame wrote past the 44-byte header";
        EXPECT_EQ(info[VLX_FRAME_INFO_COUNT], kUntouched) << "vlx_GetFrame wrote past info[]";
        h.frame_window_.pump();
        if (result == -4) {
            EXPECT_GT(size, capacity) << "a frame too large for the buffer leaves its byte count";
            return;
        }
        if (result != 0) return;
        BITMAPINFOHEADER bmi;
        std::memcpy(&bmi, header.data(), sizeof bmi);
        const Size framed{bmi.biWidth, bmi.biHeight < 0 ? -bmi.biHeight : bmi.biHeight};
        EXPECT_EQ(size, framed.bytes()) << "the size answered is not the header's frame";
        if (!s.size_uncertain && !s.frame_uncertain) {
            EXPECT_EQ(framed.width, s.size.width);
            EXPECT_EQ(framed.height, s.size.height);
        }
        if (result != 0 || null_pixels) {
            EXPECT_EQ(info[0], kUntouched) << "info[] written without a take";
            return;
        }
        // Numbers never go back; the missed count covers the gap exactly.
        const int64_t number = info[VLX_FRAME_NUMBER];
        EXPECT_GE(number, std::max<int64_t>(s.last_taken, 1)) << "frame numbers went back";
        EXPECT_EQ(info[VLX_FRAME_MISSED], number > s.last_taken ? number - s.last_taken - 1 : 0) << "frame " << number;
        EXPECT_GE(info[VLX_FRAME_DROPPED], -1);
        s.last_taken = number;
    }
    // Borrows the newest frame, or gives back the one lent; a slot's lent
    // frame outlives its graph until given back.
    static void lock_frame(RandomHost& h) {
        SlotModel& s = h.m_.slot();
        bool& lent = h.lent_[static_cast<size_t>(h.m_.active)];
        if (h.any(0, 2) == 0) {
            h.expect("UnlockFrame", h.x.UnlockFrame(), lent ? Allowed{0} : Allowed{-1});
            lent = false;
            return;
        }
        const void* pixels = nullptr;
        int32_t size = -1;
        GuardedBuffer header(44);
        int64_t info[VLX_FRAME_INFO_COUNT] = {};
        const int32_t result = h.x.LockFrame(&pixels, &size, header.data(), info);
        if (s.state >= 2 && !lent) s.tracked = true;
        Allowed allowed;
        if (s.state < 2) allowed = {-1};
        else if (lent) allowed = {-11};
        else if (!s.mode->grabber_connected) allowed = {-2};
        else allowed = {0, -7};
        if (s.size_uncertain && s.state >= 2 && !lent) allowed.insert(-2);
        h.expect("LockFrame", result, allowed);
        EXPECT_TRUE(header.intact()) << "vlx_LockFrame wrote past the 44-byte header";
        // The test camera's allocator has four buffers: a grabber connected
        // to it holds samples, one without a connection copies.
        Allowed holding{-2};
        if (s.state < 2) holding = {-1};
        else if (s.tracked) holding = s.size_uncertain ? Allowed{0, 1} : Allowed{s.mode->grabber_connected ? 1 : 0};
        h.expect("GetFrameHolding", h.x.GetFrameHolding(), holding);
        if (result != 0) return;
        lent = true;
        BITMAPINFOHEADER bmi;
        std::memcpy(&bmi, header.data(), sizeof bmi);
        EXPECT_EQ(size, (Size{bmi.biWidth, bmi.biHeight < 0 ? -bmi.biHeight : bmi.biHeight}.bytes()));
        EXPECT_NE(pixels, nullptr);
        const int64_t number = info[VLX_FRAME_NUMBER];
        EXPECT_GE(number, std::max<int64_t>(s.last_taken, 1)) << "frame numbers went back";
        s.last_taken = number;
    }
    static void frame_notify(RandomHost& h) {
        SlotModel& s = h.m_.slot();
        const int32_t pick = h.any(0, 5);
        const HWND window = pick == 0 ? nullptr : pick == 1 ? reinterpret_cast<HWND>(0x7777) : h.frame_window_.handle();
        const int32_t result = h.x.SetFrameNotify(window, kFrameMessage);
        if (s.state >= 2 && pick >= 2) s.tracked = true;  // every pick past 1 names the window
        Allowed allowed;
        // A NULL window stops the messages in any slot state.
        if (s.state < 2) allowed = pick == 0 ? Allowed{0} : pick == 1 ? Allowed{-1, -2} : Allowed{-1};
        else allowed = {pick == 1 ? -2 : 0};
        h.expect(std::string("SetFrameNotify(") + (pick == 0 ? "null" : pick == 1 ? "no window" : "window") + ")",
                 result, allowed);
        for (const PostedMessage& message : h.frame_window_.pump()) {
            EXPECT_LT(message.wparam, static_cast<WPARAM>(VLX_SLOT_COUNT));
            EXPECT_GT(message.lparam, 0) << "a frame number";
        }
    }

    // ---- Extensions: device identity and health ----
    static void device_state(RandomHost& h) {
        const SlotModel& s = h.m_.slot();
        Allowed allowed;
        if (!h.m_.initialised) allowed = {-1};
        else if (s.state < 2) allowed = {-2};
        else if (s.lost == Lost::yes) allowed = {VLX_DEVICE_LOST};
        else if (s.state == 2) allowed = {VLX_DEVICE_NOT_RUNNING};
        else if (s.device->in_use) allowed = {VLX_DEVICE_WAITING, VLX_DEVICE_IN_USE};
        else allowed = {VLX_DEVICE_DELIVERING, VLX_DEVICE_WAITING, VLX_DEVICE_STALLED};
        if (s.state >= 2 && s.lost == Lost::maybe) allowed.insert(VLX_DEVICE_LOST);
        h.expect("GetDeviceState", h.x.GetDeviceState(), allowed);
        health_messages(h);
    }
    static void health_messages(RandomHost& h) {
        for (const PostedMessage& message : h.health_window_.pump()) {
            EXPECT_LT(message.wparam, static_cast<WPARAM>(VLX_SLOT_COUNT));
            EXPECT_TRUE(message.lparam >= VLX_DEVICE_DELIVERING && message.lparam <= VLX_DEVICE_NOT_RUNNING)
                << message.lparam;
        }
    }
    // ---- Extensions: sound ----
    static void sound(RandomHost& h) {
        SlotModel& s = h.m_.slot();
        const bool init = h.m_.initialised;
        const auto in_slot = [&](const Allowed& with_audio) {
            return !init || s.state < 2 ? Allowed{-1} : !s.with_audio ? Allowed{-2} : with_audio;
        };
        switch (h.any(0, 6)) {
        case 0: {
            if (h.any(0, 3) == 0) {  // by path: the microphone's, or one nobody has
                const bool known = h.any(0, 1) == 0;
                const std::string path = known ? utf8(VLXCAM_PATH_MICROPHONE) : std::string("\\\\?\\nobody");
                h.expect("SetAudioDevicePath(" + path + ")", h.x.SetAudioDevicePath(path.c_str()), {init ? 0 : -1});
                if (init) s.audio = known ? AudioChoice::microphone : AudioChoice::absent;
                return;
            }
            const int32_t pick = h.any(0, 5);
            const int32_t index = pick == 0 ? -1 : pick == 1 ? 1000 : pick == 2 ? -2 : h.microphone_;
            h.expect("SetAudioDevice(" + std::to_string(index) + ")", h.x.SetAudioDevice(index),
                     {!init ? -1 : index < -1 ? -2 : 0});
            if (init && index >= -1)
                s.audio = index == -1 ? AudioChoice::none : index == 1000 ? AudioChoice::absent : AudioChoice::microphone;
            return;
        }
        case 1: {
            const int32_t timeout = h.one_of({0, 0, 20});
            h.expect("WaitAudio(" + std::to_string(timeout) + ")", h.x.WaitAudio(timeout),
                     in_slot(s.state == 3 ? Allowed{0, 1} : Allowed{0, -3}));
            return;
        }
        case 2: {
            const int32_t pick = h.any(0, 3);
            GuardedBuffer pcm(pick == 0 ? 8 : 65536);
            int32_t size = pick == 0 ? 8 : 65536;
            int64_t info[VLX_AUDIO_INFO_COUNT + 1];
            info[VLX_AUDIO_INFO_COUNT] = -12345;
            const int32_t result =
                h.x.GetAudio(pick == 1 ? nullptr : pcm.data(), pick == 2 ? nullptr : &size, info);
            h.expect("GetAudio", result, in_slot(pick == 2 ? Allowed{-8} : pick == 0 ? Allowed{-7, -9} : Allowed{0, -9}));
            EXPECT_TRUE(pcm.intact()) << "vlx_GetAudio wrote past the buffer";
            EXPECT_EQ(info[VLX_AUDIO_INFO_COUNT], -12345) << "vlx_GetAudio wrote past info[]";
            return;
        }
        case 3: {
            int32_t rate = 0, channels = 0, bits = 0;
            h.expect("GetAudioFormat", h.x.GetAudioFormat(&rate, &channels, &bits), in_slot({0}));
            return;
        }
        case 4: {
            struct Ask {
                int32_t rate, channels, bits;
                AudioAsk ask;
            };
            static const Ask kAsks[] = {{0, 0, 0, AudioAsk::none}, {44100, 1, 16, AudioAsk::offered},
                                        {22050, 2, 16, AudioAsk::not_offered}};
            const Ask& ask = h.one_of(kAsks);
            const int32_t result = h.x.SetAudioFormat(ask.rate, ask.channels, ask.bits);
            const std::string call = "SetAudioFormat(" + std::to_string(ask.rate) + ")";
            if (!init) return h.expect(call, result, {-1});
            if (s.state < 2 || !s.with_audio || ask.ask == AudioAsk::none) {
                h.expect(call, result, {0});
                s.audio_ask = ask.ask;
                return;
            }
            if (s.state == 3) return h.expect(call, result, {-4});
            const bool taken = ask.ask == AudioAsk::offered || s.choice == VLX_FORMAT_CHOICE_NEAREST;
            h.expect(call, result, {taken ? 0 : -3});
            if (taken) s.audio_ask = ask.ask;
            return;
        }
        case 5: {
            const int32_t pick = h.any(0, 2);
            const HWND window = pick == 0 ? nullptr : pick == 1 ? reinterpret_cast<HWND>(0x7777) : h.frame_window_.handle();
            h.expect("SetAudioNotify", h.x.SetAudioNotify(window, kFrameMessage + 1), in_slot({pick == 1 ? -10 : 0}));
            h.frame_window_.pump();
            return;
        }
        default: {
            const int32_t index = h.any(0, 4) == 0 ? 1000 : h.microphone_;
            const int32_t size = h.x.GetAudioFormatListSize(index);
            GuardedBuffer text(static_cast<size_t>(std::max(size, 1)));
            const int32_t count = h.x.GetAudioFormatList(text.data(), index);
            const int32_t expected = !init ? -1 : index == 1000 ? -5 : VLXCAM_MICROPHONE_FORMAT_COUNT;
            h.expect("GetAudioFormatList(" + std::to_string(index) + ")", count, {expected});
            EXPECT_TRUE(text.intact()) << "vlx_GetAudioFormatList wrote past its size query's " << size << " bytes";
            return;
        }
        }
    }
    static void device_notify(RandomHost& h) {
        const int32_t pick = h.any(0, 5);
        const HWND window = pick == 0 ? nullptr : pick == 1 ? reinterpret_cast<HWND>(0x7777) : h.health_window_.handle();
        const int32_t result = h.x.SetDeviceNotify(window, kHealthMessage);
        h.expect(std::string("SetDeviceNotify(") + (pick == 0 ? "null" : pick == 1 ? "no window" : "window") + ")",
                 result, {!h.m_.initialised ? -1 : pick == 1 ? -3 : 0});
        health_messages(h);
    }
    static void path_list(RandomHost& h) {
        const int32_t kind = h.any(0, 3) == 0 ? 1 : 0;
        const std::string which = "(" + std::to_string(kind) + ")";
        const int32_t size = h.x.GetDevicePathListSize(kind);
        // Now and then the list changes between the size query and the list.
        const bool changes = kind == 0 && h.any(0, 4) == 0;
        if (changes) plug(h);
        GuardedBuffer text(size > 0 ? static_cast<size_t>(size) : 1);
        const int32_t count = h.x.GetDevicePathList(text.data(), kind);
        if (!h.m_.initialised) {
            h.expect("GetDevicePathListSize" + which, size, {-1});
            return h.expect("GetDevicePathList" + which, count, {-1});
        }
        const std::string listed = text.text();
        const std::vector<std::string> lines = split_lines(listed.c_str());
        EXPECT_TRUE(text.intact()) << "vlx_GetDevicePathList wrote past the " << size
                                   << " bytes its size query answered";
        EXPECT_LE(static_cast<int32_t>(listed.size()) + 1, size);
        h.expect("GetDevicePathList" + which, count, {static_cast<int32_t>(lines.size())});
        if (changes) return h.note("GetDevicePathListSize" + which + " = " + std::to_string(size) + " before");
        h.expect("GetDevicePathListSize" + which, size, {static_cast<int32_t>(listed.size()) + 1});
        const int32_t names = h.v.GetDeviceListSize(kind);
        std::string name_text(names > 0 ? static_cast<size_t>(names) : 1, '\0');
        h.expect("GetDeviceList" + which, h.v.GetDeviceList(name_text.data(), kind), {count});
        // Each path finds its own position.
        if (kind == 0 && !lines.empty()) {
            const int32_t at = h.any(0, static_cast<int32_t>(lines.size()) - 1);
            h.expect("FindDevice(path " + std::to_string(at) + ")", h.x.FindDevice(lines[at].c_str(), 0), {at});
        }
    }
    static void find_device(RandomHost& h) {
        const int32_t pick = h.any(0, 5);
        const Device& twin = *h.one_of(kTwins);
        const int32_t occurrence = h.any(0, 2);
        int32_t result = 0;
        std::string call;
        Allowed allowed;
        const bool twin_plugged[] = {!h.unplugged_[0], !h.unplugged_[1]};
        switch (pick) {
        case 0: {
            result = h.x.FindDevice(utf8(twin.path).c_str(), 0);
            call = "FindDevice(twin path)";
            allowed = {twin_plugged[&twin == kTwins[1]] ? h.position(twin) : -4};
            break;
        }
        case 1: {
            result = h.x.FindDevice(utf8(VLXCAM_NAME_TWIN).c_str(), occurrence);
            call = "FindDevice(twin name, " + std::to_string(occurrence) + ")";
            std::vector<int32_t> found;
            for (Device* t : kTwins)
                if (twin_plugged[t == kTwins[1]]) found.push_back(h.position(*t));
            std::sort(found.begin(), found.end());
            allowed = {occurrence < static_cast<int32_t>(found.size()) ? found[static_cast<size_t>(occurrence)] : -4};
            break;
        }
        case 2:
            result = h.x.FindDevice(utf8(VLXCAM_NAME_MAIN).c_str(), h.one_of({0, -1}));
            call = "FindDevice(main camera)";
            allowed = {h.position(g_devices[0]), -5};  // -5 for the negative occurrence
            break;
        case 3:
            result = h.x.FindDevice("no such camera", 0);
            call = "FindDevice(no such camera)";
            allowed = {-4};
            break;
        default:
            result = h.x.FindDevice(pick == 4 ? nullptr : reinterpret_cast<const char*>(uintptr_t{77}), 0);
            call = pick == 4 ? "FindDevice(null)" : "FindDevice(77)";
            allowed = {-1};
        }
        if (!h.m_.initialised) allowed = {-1};
        h.expect(call, result, allowed);
    }
    static void reopen(RandomHost& h) {
        SlotModel& s = h.m_.slot();
        ReopenMemo& memo = h.m_.reopen[static_cast<size_t>(h.m_.active)];
        const int32_t result = h.x.Reopen();
        if (!h.m_.initialised) return h.expect("Reopen", result, {-1});
        if (!memo.made) return h.expect("Reopen", result, {-110});
        const bool was_running = s.state == 3 || (s.state < 2 && memo.runs);
        const bool was_ownerless = s.ownerless;
        memo.runs = false;
        if (s.state >= 2) s = s.closed();
        const Device& device = *memo.device;
        if (device.path && h.unplugged_[&device == kTwins[1]]) {
            h.expect("Reopen", result, {-111});
            memo.runs = was_running;
            return;
        }
        h.opened("Reopen", result, device, *memo.mode);
        if (result >= 0) s.ownerless = was_ownerless;  // the preview goes where it was
        if (result >= 0 && was_running) {
            s.state = 3;
            s.buffering = true;
            s.played = true;
        }
        h.window_.pump();
    }
    // The test camera unplugs, replugs or stalls a twin.
    static void plug(RandomHost& h) {
        Device& twin = *h.one_of(kTwins);
        const size_t which = &twin == kTwins[1];
        const std::string name = which ? "twin 2" : "twin 1";
        switch (h.any(0, 2)) {
        case 0:
            h.expect("vlxcam_Unplug(" + name + ")", h.x.Unplug(twin.path), h.unplugged_[which] ? Allowed{0, -2} : Allowed{0});
            h.unplugged_[which] = true;
            for (SlotModel& slot : h.m_.slots)
                if (slot.state >= 2 && slot.device == &twin) slot.lost = Lost::yes;
            break;
        case 1:
            h.expect("vlxcam_Replug(" + name + ")", h.x.Replug(twin.path), {0});
            h.unplugged_[which] = false;
            break;
        default: {
            const int32_t ms = h.any(0, 1500);
            h.expect("vlxcam_Stall(" + name + ", " + std::to_string(ms) + ")", h.x.Stall(twin.path, ms), {0});
            return;
        }
        }
        h.indices_stale_ = true;
        if (h.m_.initialised) h.refresh_indices();
    }

    // ---- Extensions: profiles ----
    // A profile file the host wrote (never written again: an automatic
    // profile reads its file at every open), what becomes of each of its
    // lines after the first (the device line) and the controls it sets.
    struct Profile {
        std::string file;
        const Device* of = nullptr;  // a twin, or none (no device line)
        std::vector<std::string> outcomes;  // "OUTCOME NAME"
        std::map<int32_t, std::pair<int32_t, int32_t>> sets;
        // The slot's report after it, applied or refused as another device's.
        std::string report(bool applies) const {
            static const std::set<std::string> kApplying = {"applied", "lacking", "range_changed", "off_range",
                                                            "bad_mode"};
            std::string text = applies ? "" : "0 other_device file\r\n";
            for (size_t i = 0; i < outcomes.size(); ++i) {
                if (applies || !kApplying.count(outcomes[i].substr(0, outcomes[i].find(' '))))
                    text += std::to_string(i + 2) + " " + outcomes[i] + "\r\n";
            }
            return text;
        }
    };
    const Profile& write_profile() {
        static const char* const kNames[] = {"brightness", "contrast", "saturation", "sharpness", "gamma",
                                             "white_balance", "backlight_compensation", "gain", "pan", "tilt",
                                             "zoom", "exposure", "focus"};
        const std::wstring name = folder_ + L"\\p" + std::to_wstring(profiles_.size()) + L".profile";
        Profile p{utf8(name.c_str()), any(0, 3) ? one_of(kTwins) : nullptr};
        std::string text = p.of ? "device = " + utf8(p.of->path) + "\r\n" : "# no device\r\n";
        std::set<std::string> used;
        for (int lines = any(0, 6); lines > 0; --lines) {
            const size_t at = static_cast<size_t>(any(0, 12));
            const ControlModel& c = kControls[at];
            const int32_t valid = c.minimum + any(0, (c.maximum - c.minimum) / c.step) * c.step;
            const std::string range = " range " + std::to_string(c.minimum) + " " + std::to_string(c.maximum);
            std::string name = kNames[at], value = std::to_string(valid), outcome = "applied";
            std::pair<int32_t, int32_t> set{valid, VLX_CONTROL_MANUAL};
            switch (any(0, 8)) {
            case 1: value = "auto", set = {c.default_value, VLX_CONTROL_AUTO}; break;
            case 2: value += " manual" + range + " " + std::to_string(c.step); break;
            case 3: value += range + " " + std::to_string(c.step + 1), outcome = "range_changed"; break;
            case 4: value = std::to_string(c.maximum + c.step), outcome = "off_range"; break;
            case 5: name = one_of({"hue", "color_enable", "roll", "iris"}), outcome = "lacking"; break;
            case 6: value += range, outcome = "bad_value"; break;
            case 7: name = "shininess", outcome = "unknown_name"; break;
            case 8: name = one_of({std::string(1500, 'x'), std::string("\xff"), std::string("junk")});
                outcome = name[0] == 'x' ? "too_long" : name[0] == 'j' ? "damaged" : "not_utf8";
            }
            if (set.second == VLX_CONTROL_AUTO && !(c.modes & VLX_CONTROL_AUTO)) outcome = "bad_mode";
            const bool named = outcome != "unknown_name" && outcome != "too_long" && outcome != "damaged" &&
                               outcome != "not_utf8";
            if (named && !used.insert(name).second) outcome = "repeated";
            p.outcomes.push_back(outcome + " " + (named ? name : "-"));
            if (outcome == "applied") p.sets[c.id] = set;
            text += name + (outcome == "damaged" ? "\r\n" : " = " + value + "\r\n");
        }
        std::FILE* file = _wfopen(name.c_str(), L"wb");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        profiles_.push_back(std::move(p));
        return profiles_.back();
    }
    // What applying `p` to the active slot does to the model; whether it applied.
    bool take_profile(const Profile& p, bool any_device) {
        const bool applies = any_device || (p.of && p.of == m_.slot().device);
        if (applies)
            for (const auto& [id, held] : p.sets) m_.slot().controls[id] = held;
        reports_[static_cast<size_t>(m_.active)] = p.report(applies);
        return applies;
    }
    static void profiles(RandomHost& h) {
        const std::optional<int32_t> gate = h.control_gate();
        auto& report = h.reports_[static_cast<size_t>(h.m_.active)];
        switch (h.any(0, 4)) {
        case 0: {  // saved and applied again: everything applies, the format in force included
            const std::string file = utf8((h.folder_ + L"\\saved.profile").c_str());
            const int32_t saved = h.x.SaveProfile(file.c_str());
            h.expect("SaveProfile", saved, {gate ? *gate : 14});
            h.expect("ApplyProfile(saved)", h.x.ApplyProfile(file.c_str(), 0), {gate ? *gate : saved});
            if (!gate) report.reset();
            break;
        }
        case 1:
        case 2: {
            const Profile& p = h.write_profile();
            const int32_t flags = h.one_of({0, 0, 0, VLX_PROFILE_ANY_DEVICE, 2});
            const int32_t result = h.x.ApplyProfile(p.file.c_str(), flags);
            const std::string call =
                "ApplyProfile(" + p.file.substr(p.file.rfind('\\') + 1) + ", " + std::to_string(flags) + ")";
            if (gate || flags == 2) return h.expect(call, result, {gate ? *gate : -4});
            h.expect(call, result, {h.take_profile(p, flags != 0) ? static_cast<int32_t>(p.sets.size()) : -7});
            break;
        }
        case 3: {
            const int32_t pick = h.any(0, 3);
            const char* file = pick == 0 ? nullptr : pick == 1 ? "" : h.write_profile().file.c_str();
            const int32_t result = h.x.SetAutoProfile(file);
            h.expect("SetAutoProfile", result, {!h.m_.initialised ? -1 : pick == 1 ? -3 : 0});
            if (result == 0) h.autos_[static_cast<size_t>(h.m_.active)].reset();
            if (result == 0 && pick) h.autos_[static_cast<size_t>(h.m_.active)] = h.profiles_.size() - 1;
            break;
        }
        default: {
            const int32_t size = h.x.GetProfileReportSize();
            GuardedBuffer text(size > 0 ? static_cast<size_t>(size) : 1);
            const int32_t count = h.x.GetProfileReport(text.data());
            const int32_t lines = static_cast<int32_t>(split_lines(text.text()).size());
            const int32_t bytes = static_cast<int32_t>(text.text().size()) + 1;
            h.expect("GetProfileReportSize", size, {h.m_.initialised ? bytes : -1});
            h.expect("GetProfileReport", count, {h.m_.initialised ? lines : -1});
            EXPECT_TRUE(text.intact()) << "vlx_GetProfileReport wrote past the " << size << " bytes of its size query";
            if (h.m_.initialised && report) {
                EXPECT_EQ(text.text(), *report);
            }
        }
        }
    }

    // ---- Encoder ----
    static void encoder(RandomHost& h) {
        const int32_t choice = h.any(0, 6);
        auto id = [&] {
            if (h.m_.encoders.empty() || h.any(0, 4) == 0) return h.m_.last_encoder_id + 1000;  // unknown
            auto at = h.m_.encoders.begin();
            std::advance(at, h.any(0, static_cast<int32_t>(h.m_.encoders.size()) - 1));
            return at->first;
        }();
        const bool known = h.m_.encoders.count(id) != 0;
        switch (choice) {
        case 0: h.expect("InitEncoder", h.v.InitEncoder(), {S_OK}); break;
        case 1: {
            const int32_t created = h.v.CreateEncoder();
            h.expect("CreateEncoder", created, {h.m_.last_encoder_id + 1});
            h.m_.last_encoder_id = created;
            h.m_.encoders[created] = false;
            break;
        }
        case 2: {
            const int32_t codec = h.any(0, 9);
            const bool named = h.any(0, 4) != 0;
            const std::wstring file = h.folder_ + L"\\video" + std::to_wstring(id) + L".mp4";
            const int32_t result = h.v.OpenEncoder(id, named ? file.c_str() : nullptr, codec, 64, 48,
                                                   h.one_of({24, 32}), 30.0, 1000000);
            // The test platform's sink writer writes H.264 (codecs 1, 2, 3 and
            // every unnamed value); the other codecs have no encoder: -22.
            const bool h264 = codec != 0 && codec != 5 && codec != 7 && codec != 8;
            const bool open = known && h.m_.encoders[id];
            const int32_t expected = !known ? -100 : !named ? -1 : open ? -3 : (codec == 4 || codec == 6) ? -10
                                     : h264                        ? 0
                                                                   : -22;
            h.expect("OpenEncoder(" + std::to_string(id) + ", codec " + std::to_string(codec) + ")", result, {expected});
            if (expected == 0) h.m_.encoders[id] = true;
            break;
        }
        case 3: {
            std::vector<uint8_t> frame(64 * 48 * 4);
            const bool null_pixels = h.any(0, 3) == 0;
            h.expect("WriteEncoder(" + std::to_string(id) + ")",
                     h.v.WriteEncoder(id, null_pixels ? nullptr : frame.data(), h.any(0, 1)),
                     {!known ? -100 : null_pixels ? -1 : h.m_.encoders[id] ? 0 : -2});
            break;
        }
        case 4:
            h.expect("CloseEncoder(" + std::to_string(id) + ")", h.v.CloseEncoder(id), {known ? 0 : -100});
            if (known) h.m_.encoders[id] = false;
            break;
        case 5:
            h.expect("DeleteEncoder(" + std::to_string(id) + ")", h.v.DeleteEncoder(id), {known ? 0 : -100});
            h.m_.encoders.erase(id);
            break;
        default: h.expect("UnInitEncoder", h.v.UnInitEncoder(), {S_OK}); break;
        }
    }

    // ---- Stills (below the class) ----
    static bool has_still_pin(const Device& device);
    static void stills(RandomHost& h);

    const Vidlox& v = vidlox();
    const ExtensionExports& x = extensions();
    std::mt19937 random_;
    Model& m_;
    MessageWindow window_;
    static constexpr UINT kFrameMessage = WM_APP + 21, kHealthMessage = WM_APP + 22;
    MessageWindow frame_window_{kFrameMessage};
    MessageWindow health_window_{kHealthMessage};
    int32_t microphone_ = -1;  // the test microphone's index in the audio list
    std::array<bool, 2> unplugged_{};  // each twin
    std::array<bool, VLX_SLOT_COUNT> lent_{};  // a frame lent by vlx_LockFrame, per slot
    std::deque<Profile> profiles_;  // every profile written, by its number
    std::array<std::optional<size_t>, VLX_SLOT_COUNT> autos_{};  // each slot's automatic profile
    std::array<std::optional<std::string>, VLX_SLOT_COUNT> reports_{};  // each slot's report, when known
    bool indices_stale_ = false;
    HDC memory_dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    std::wstring folder_;
    std::string log_;
    int32_t log_set_ = 0;
    std::wstring main_path_;  // the main camera's, as the path list gives it (ASCII)
};

// ---- Stills ----------------------------------------------------------------

bool RandomHost::has_still_pin(const Device& device) { return std::wcscmp(device.name, VLXCAM_NAME_MAIN) == 0; }

void RandomHost::stills(RandomHost& h) {
    SlotModel& s = h.m_.slot();
    const bool open = s.state >= 2, running = s.state == 3;
    switch (h.any(0, 6)) {
    case 0: {  // the still pin's sizes, within the size query's answer
        const Device& device = h.pluggedin_device();
        const int32_t index = h.position(device);
        const int32_t size = h.x.GetStillFormatListSize(index);
        GuardedBuffer text(size > 0 ? static_cast<size_t>(size) : 1);
        const int32_t count = h.x.GetStillFormatList(text.data(), index);
        const int32_t lines = has_still_pin(device) ? 4 : 0;
        h.expect("GetStillFormatListSize", size, h.m_.initialised ? Allowed{static_cast<int32_t>(text.text().size()) + 1} : Allowed{-1});
        h.expect("GetStillFormatList", count, h.m_.initialised ? Allowed{lines} : Allowed{-1});
        EXPECT_TRUE(text.intact()) << "vlx_GetStillFormatList wrote past its size query's answer";
        return;
    }
    case 1: {
        const Size size = h.any(0, 3) == 0 ? h.one_of({Size{0, 0}, Size{-1, 480}, Size{1000, 1000}}) : h.one_of(kStillSizes);
        const int32_t result = h.x.SetStillSize(size.width, size.height);
        const std::string call = "SetStillSize(" + std::to_string(size.width) + "x" + std::to_string(size.height) + ")";
        if (!h.m_.initialised) return h.expect(call, result, {-1});
        if (size.width < 0) return h.expect(call, result, {-2});
        if (running) return h.expect(call, result, {-3});
        s.still_size = size;
        if (!open || size.width == 0) return h.expect(call, result, {0});
        if (!has_still_pin(*s.device)) return h.expect(call, result, {1});
        const bool valid = still_size_of_pin(size);
        h.expect(call, result, {valid ? 0 : -5});
        s.still_branch = s.still_branch || valid;
        return;
    }
    case 2: {
        const int32_t result = h.x.TriggerStill();
        if (!open) return h.expect("TriggerStill", result, {-1});
        if (!running) return h.expect("TriggerStill", result, {-2});
        if (has_still_pin(*s.device)) return h.expect("TriggerStill", result, {s.still_branch ? 0 : -3});
        return h.expect("TriggerStill", result, {s.mode->grabber_connected ? 0 : -7});
    }
    case 3: {
        const int32_t result = h.x.WaitStill(h.one_of({0, 0, 50}));
        return h.expect("WaitStill", result, !open ? Allowed{-1} : running ? Allowed{0, 1} : Allowed{0, -2});
    }
    case 4: {  // a still into a buffer too small for some, the guards after it
        const bool small = h.any(0, 2) == 0;
        const int32_t capacity = small ? 100 : Size{1920, 1080}.bytes();
        GuardedBuffer pixels(static_cast<size_t>(capacity));
        GuardedBuffer header(44);
        int64_t info[VLX_STILL_INFO_COUNT + 1] = {};
        int32_t size = capacity;
        const int32_t result = h.x.GetStill(pixels.data(), &size, header.data(), info);
        h.expect(std::string("GetStill") + (small ? "(100 bytes)" : ""), result, !open ? Allowed{-1} : Allowed{0, -4, -7});
        EXPECT_TRUE(pixels.intact() && header.intact()) << "vlx_GetStill wrote past its buffers";
        EXPECT_EQ(info[VLX_STILL_INFO_COUNT], 0) << "vlx_GetStill wrote past info[]";
        if (result != 0) return;
        EXPECT_GT(info[VLX_STILL_NUMBER], s.last_still) << "stills come once, in order";
        s.last_still = info[VLX_STILL_NUMBER];
        const int64_t source = info[VLX_STILL_SOURCE];
        EXPECT_TRUE(has_still_pin(*s.device) ? source != VLX_STILL_FROM_CAPTURE : source == VLX_STILL_FROM_CAPTURE);
        return;
    }
    case 5: {
        const bool none = h.any(0, 2) == 0;
        const int32_t result = h.x.SetStillNotify(none ? nullptr : h.frame_window_.handle(), WM_APP + 9);
        h.frame_window_.pump();
        return h.expect(none ? "SetStillNotify(null)" : "SetStillNotify", result, {none || open ? 0 : -1});
    }
    default: {  // the main camera's button, from wherever it streams now
        h.expect("vlxcam_PressButton(main)", h.x.PressButton(h.main_path_.c_str()), {0, 1});
        return;
    }
    }
}

const std::vector<RandomHost::Action>& RandomHost::actions() {
    static const std::vector<Action> table = {
        {"Init", 3, &init},
        {"Exit", 1, &exit},
        {"SetActiveSel", 6, &select},
        {"log settings", 3, &log_settings},
        {"GetLastError", 2, &note_last_error},
        {"lists", 2, &lists},
        {"GetBufferSize", 4, &buffer_size},
        {"SetDevWidth/Height/FrameRate", 4, &request},
        {"Open", 10, &open},
        {"SetDevCapConfig", 3, &set_dev_cap_config},
        {"Play / Play2", 8, &play},
        {"ReSize", 2, &resize},
        {"Stop", 5, &stop},
        {"Close", 6, &close},
        {"GetState", 3, &get_state},
        {"SetCapConfig", 3, &cap_config},
        {"filter list", 2, &filter_list},
        {"GetImageMem", 8, &frame_to_memory},
        {"GetImage", 3, &frame_to_dc},
        {"SaveBMP", 2, &save_bmp},
        {"SaveImage", 2, &save_image},
        {"capabilities", 3, &capabilities},
        {"refusing dialogs", 1, &refusing_dialogs},
        {"mixing renderer", 2, &mixing},
        {"encoder", 5, &encoder},
        {"controls", 5, &controls},
        {"format list", 2, &format_list},
        {"format request", 3, &format_request},
        {"GetDevFormat", 2, &dev_format},
        {"WaitFrame", 4, &wait_frame},
        {"GetFrame", 5, &get_frame},
        {"SetFrameNotify", 2, &frame_notify},
        {"LockFrame, UnlockFrame", 2, &lock_frame},
        {"GetDeviceState", 3, &device_state},
        {"SetDeviceNotify", 1, &device_notify},
        {"path list", 2, &path_list},
        {"FindDevice", 2, &find_device},
        {"Reopen", 3, &reopen},
        {"unplug, replug, stall", 2, &plug},
        {"profiles", 4, &profiles},
        {"stills", 4, &stills},
        {"sound", 4, &sound},
    };
    return table;
}

std::vector<uint32_t> seeds() {
    std::vector<uint32_t> list;
    const char* text = std::getenv("VLX_RANDOM_SEEDS");
    std::stringstream in(text ? text : "1,2,3");
    for (std::string item; std::getline(in, item, ',');) list.push_back(static_cast<uint32_t>(std::stoul(item)));
    return list;
}

int steps_per_seed() {
    const char* text = std::getenv("VLX_RANDOM_STEPS");
    return text ? std::atoi(text) : 1000;
}

TEST(RandomCalls, ModelledSequences) {
    SetUnhandledExceptionFilter(report_crash);
    // The host's own apartment: vlx_Init then answers S_FALSE and vlx_Exit
    // never ends COM under graphs that are still open.
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    CallWatchdog watchdog;
    watchdog.on_hang([] { g_trail.print("the last calls"); });
    g_watchdog = &watchdog;
    const HandleCensus handles_before = handle_census();
    Model model;
    for (uint32_t seed : seeds()) {
        RandomHost host(seed, model);
        ASSERT_TRUE(host.devices_found()) << "the test cameras are not registered";
        const int steps = steps_per_seed();
        for (int i = 0; i < steps && !HasFatalFailure(); ++i) {
            host.step();
            if (::testing::Test::HasFailure()) {
                g_trail.print(("seed " + std::to_string(seed) + ", step " + std::to_string(i)).c_str());
                break;
            }
        }
        host.end();
        EXPECT_EQ(camera_live_objects(), 0) << "seed " << seed;
        if (::testing::Test::HasFailure()) break;
    }
    g_watchdog = nullptr;
    const HandleCensus handles_after = handle_census();
    std::printf("handles after vlx_Exit: %ld, before the first call: %ld; by type: %s\n", total(handles_after),
                total(handles_before), census_change(handles_before, handles_after).c_str());
    RandomHost::print_tally();
    CoUninitialize();
}

}  // namespace
}  // namespace vlx_test
