// audio-formats MIC: the formats of a microphone's capture pin.
// listen MIC [--device DEVICE] [--seconds S]: takes every block of sound
// (vlx_WaitAudio, vlx_GetAudio) and shows a level meter and the blocks'
// times on the terminal. The library records sound beside a camera: the
// slot opens DEVICE (default 0) into a Null Renderer (render mode 6), and
// the microphone into one of its own.
#include "audio_option.h"
#include "capture_session.h"
#include "commands.h"
#include "lists.h"
#include "text.h"
#include "report.h"

#include <vidlox.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace tool {

namespace {

constexpr double default_seconds = 5.0;
constexpr double shown_every_seconds = 0.5;

// "-12.3 dB" of a level in ten-thousandths of full scale; "-inf" for silence.
std::string decibels(int64_t level) {
    char text[16];
    if (level <= 0) return "  -inf dB";
    std::snprintf(text, sizeof text, "%6.1f dB", 20 * std::log10(static_cast<double>(level) / VLX_AUDIO_FULL_SCALE));
    return text;
}

// A bar of 20 cells for a peak level: 60 dB below full scale to full scale.
std::string meter(int64_t level) {
    const double db = level <= 0 ? -60 : std::max(-60.0, 20 * std::log10(static_cast<double>(level) / VLX_AUDIO_FULL_SCALE));
    const int cells = static_cast<int>(std::lround((db + 60) / 3));
    return std::string(static_cast<size_t>(cells), '#') + std::string(static_cast<size_t>(20 - cells), '.');
}

}  // namespace

int audio_formats_command(const CommandLine& line) {
    CaptureSession session;
    if (int failed = session.init()) return failed;
    std::string name;
    if (int failed = choose_microphone(line.positional[0], line, name)) return failed;
    // The list takes the device's index: found again the same way.
    const NameList names = device_list(1);
    int32_t index = -1;
    for (size_t i = 0; i < names.names.size(); ++i) {
        if (names.names[i] == name) index = static_cast<int32_t>(i);
    }
    const int32_t size = vlx_GetAudioFormatListSize(index);
    if (size < 0) return library_failure("vlx_GetAudioFormatListSize", size);
    std::string text(static_cast<size_t>(size), '\0');
    const int32_t lines = vlx_GetAudioFormatList(text.data(), index);
    if (lines < 0) return library_failure("vlx_GetAudioFormatList", lines);
    std::printf("%s: %d formats (INDEX RATE CHANNELS BITS)\n", name.c_str(), lines);
    for (const std::string& line : split_name_list(text.c_str())) std::printf("%s\n", line.c_str());
    vlx_SetAudioDevice(-1);
    return exit_ok;
}

int listen_command(const CommandLine& line) {
    double seconds = default_seconds;
    if (!option_double(line, "--seconds", seconds)) return exit_usage;
    const auto device = line.values.find("--device");
    CaptureSession session;
    if (int failed = session.init()) return failed;
    std::string name;
    if (int failed = choose_microphone(line.positional[0], line, name)) return failed;
    if (int failed = session.open(device == line.values.end() ? "0" : device->second, render_null_renderer)) return failed;
    std::printf("listening to %s: %s\n", name.c_str(), audio_format_text().c_str());
    if (int failed = session.run()) return failed;

    std::vector<uint8_t> pcm;
    int64_t info[VLX_AUDIO_INFO_COUNT] = {};
    int64_t blocks = 0, missed = 0, peak[2] = {0, 0}, shown_at = -1;
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    while (GetTickCount64() < end) {
        const int32_t waited = vlx_WaitAudio(100);
        if (waited == 1) continue;
        if (waited < 0) return library_failure("vlx_WaitAudio", waited);
        int32_t size = 0;
        vlx_GetAudio(nullptr, &size, nullptr);
        pcm.resize(static_cast<size_t>(size));
        const int32_t taken = vlx_GetAudio(pcm.data(), &size, info);
        if (taken < 0) return library_failure("vlx_GetAudio", taken);
        ++blocks;
        missed += info[VLX_AUDIO_MISSED];
        for (int c = 0; c < 2; ++c) peak[c] = std::max(peak[c], info[VLX_AUDIO_PEAK + 2 * c]);
        const double time = info[VLX_AUDIO_SAMPLE_TIME] / 1e7;
        if (shown_at < 0 || time - shown_at / 1e7 >= shown_every_seconds) {
            std::printf("%8.3f s  block %6lld  missed %lld  L %s %s  R %s %s  (%d bytes)\n", time,
                        static_cast<long long>(info[VLX_AUDIO_NUMBER]), static_cast<long long>(missed),
                        meter(peak[0]).c_str(), decibels(peak[0]).c_str(), meter(peak[1]).c_str(),
                        decibels(peak[1]).c_str(), size);
            std::fflush(stdout);
            shown_at = info[VLX_AUDIO_SAMPLE_TIME];
            peak[0] = peak[1] = 0;
        }
        if (int failed = session.healthy()) return failed;
    }
    std::printf("%lld blocks, %lld missed\n", static_cast<long long>(blocks), static_cast<long long>(missed));
    if (int failed = session.close()) return failed;
    vlx_SetAudioDevice(-1);
    return exit_ok;
}

}  // namespace tool
