// The profile file's text: reading it line by line into settings (or the
// reason a line is refused), and writing a device's settings. Plain text
// work, no platform call: the file's format is in include/vidlox.h,
// "Extensions: profiles".
#pragma once

#include "controls/control_table.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vlx::profiles {

// The names of the two settings that are not controls.
inline constexpr char kDeviceName[] = "device";
inline constexpr char kFormatName[] = "format";

// What became of a line: the words of the profile report, in its order.
enum class Outcome : uint8_t {
    applied,
    differs,
    lacking,
    range_changed,
    running,
    failed,
    off_range,
    bad_mode,
    bad_value,
    unknown_name,
    repeated,
    damaged,
    too_long,
    not_utf8,
    // Line 0: the file as a whole.
    unreadable,
    too_large,
    other_device,
};
const char* outcome_word(Outcome outcome);

// One line of the report: `name` is a setting's own name (static text), or
// null for a line without a known one.
struct ReportLine {
    int32_t line;
    Outcome outcome;
    const char* name;
};

struct FormatSetting {
    GUID subtype{};
    int32_t width = 0;
    int32_t height = 0;
    double frame_rate = 0.0;  // 0: none stated
};

// The range the device stated when the profile was saved.
struct StatedRange {
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t step = 0;
};

struct ControlSetting {
    const ControlInfo* control = nullptr;
    int32_t value = 0;
    int32_t mode = 0;  // VLX_CONTROL_AUTO or VLX_CONTROL_MANUAL
    std::optional<StatedRange> range;
};

// A file's settings as read, each with its line's number.
struct ReadProfile {
    std::optional<std::string> device;
    int32_t format_line = 0;
    std::optional<FormatSetting> format;
    std::vector<std::pair<int32_t, ControlSetting>> controls;
    std::vector<ReportLine> refused;  // lines refused while reading, in order
};

// Reads the text of a file of at most VLX_PROFILE_MAX_BYTES bytes.
ReadProfile read_profile_text(std::string_view text);

// What a device holds, for a profile to be written.
struct DeviceSettings {
    std::string device;  // its path, UTF-8
    std::optional<FormatSetting> format;
    std::vector<ControlSetting> controls;  // each with its range
};

// The file's text, CR LF after each line: comment lines that explain the
// format, then one line per setting.
std::string profile_text(const DeviceSettings& settings);

// The format line's value, "RGB24 640 480 30.00": also how two formats are
// compared (the rate as far as the file keeps it).
std::string format_value(const FormatSetting& format);

}  // namespace vlx::profiles
