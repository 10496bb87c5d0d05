#include "profiles/profile_text.h"

#include "formats/format_capability.h"
#include "formats/subtype_text.h"
#include "vidlox.h"

#include <array>
#include <charconv>
#include <cmath>

namespace vlx::profiles {

namespace {

constexpr const char* kOutcomeWords[] = {
    "applied",   "differs",      "lacking",  "range_changed", "running",  "failed",
    "off_range", "bad_mode",     "bad_value", "unknown_name", "repeated", "damaged",
    "too_long",  "not_utf8",     "unreadable", "too_large",   "other_device",
};
static_assert(std::size(kOutcomeWords) == static_cast<size_t>(Outcome::other_device) + 1);

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing past
// U+10FFFF) without control characters other than TAB.
bool utf8_text(std::string_view line) {
    for (size_t i = 0; i < line.size();) {
        const auto lead = static_cast<unsigned char>(line[i]);
        if (lead < 0x80) {
            if ((lead < 0x20 && lead != '\t') || lead == 0x7f) return false;
            ++i;
            continue;
        }
        size_t length;
        uint32_t code;
        if (lead >= 0xc2 && lead <= 0xdf) length = 2, code = lead & 0x1f;
        else if (lead >= 0xe0 && lead <= 0xef) length = 3, code = lead & 0x0f;
        else if (lead >= 0xf0 && lead <= 0xf4) length = 4, code = lead & 0x07;
        else return false;
        if (line.size() - i < length) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(line[i + k]);
            if ((next & 0xc0) != 0x80) return false;
            code = (code << 6) | (next & 0x3f);
        }
        constexpr uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kShortest[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return false;
        i += length;
    }
    return true;
}

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> found;
    for (size_t i = 0; i < text.size();) {
        if (blank(text[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && !blank(text[end])) ++end;
        found.push_back(text.substr(i, end - i));
        i = end;
    }
    return found;
}

bool same_name(std::string_view text, const char* name) {
    size_t i = 0;
    for (; i < text.size() && name[i]; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != name[i]) return false;
    }
    return i == text.size() && !name[i];
}

// A decimal whole number of 32 bits: an optional '-', then digits.
std::optional<int32_t> whole_number(std::string_view text) {
    int32_t value = 0;
    if (text.empty() || text.front() == '+') return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// A frame rate: digits with an optional fraction, nothing else (no sign,
// exponent, "inf" or "nan"), and not absurd.
std::optional<double> frame_rate(std::string_view text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos) return std::nullopt;
    double rate = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rate, std::chars_format::fixed);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(rate) || rate > 1.0e6)
        return std::nullopt;
    return rate;
}

std::optional<FormatSetting> read_format(std::string_view value) {
    const auto parts = words(value);
    if (parts.size() != 4) return std::nullopt;
    const auto subtype = subtype_from_text(parts[0]);
    const auto width = whole_number(parts[1]);
    const auto height = whole_number(parts[2]);
    const auto rate = frame_rate(parts[3]);
    if (!subtype || !width || !height || !rate || *width <= 0 || *height <= 0) return std::nullopt;
    return FormatSetting{*subtype, *width, *height, *rate};
}

// [VALUE] [auto|manual] [range MINIMUM MAXIMUM STEP], VALUE needed unless
// the mode is auto, and the mode manual when left out.
std::optional<ControlSetting> read_control(const ControlInfo& control, std::string_view value) {
    const auto parts = words(value);
    ControlSetting setting{.control = &control};
    size_t at = 0;
    const auto number = at < parts.size() ? whole_number(parts[at]) : std::nullopt;
    if (number) {
        setting.value = *number;
        ++at;
    }
    if (at < parts.size() && same_name(parts[at], "auto")) {
        setting.mode = VLX_CONTROL_AUTO;
        ++at;
    } else if (at < parts.size() && same_name(parts[at], "manual")) {
        setting.mode = VLX_CONTROL_MANUAL;
        ++at;
    } else if (number) {
        setting.mode = VLX_CONTROL_MANUAL;
    } else {
        return std::nullopt;
    }
    if (setting.mode == VLX_CONTROL_MANUAL && !number) return std::nullopt;
    if (at < parts.size()) {
        if (parts.size() - at != 4 || !same_name(parts[at], "range")) return std::nullopt;
        const auto minimum = whole_number(parts[at + 1]);
        const auto maximum = whole_number(parts[at + 2]);
        const auto step = whole_number(parts[at + 3]);
        if (!minimum || !maximum || !step) return std::nullopt;
        setting.range = StatedRange{*minimum, *maximum, *step};
    }
    return setting;
}

// The names a line may give, each seen at most once.
class Names {
public:
    // The setting's own name for `text`, or null.
    const char* find(std::string_view text) const {
        if (same_name(text, kDeviceName)) return kDeviceName;
        if (same_name(text, kFormatName)) return kFormatName;
        for (const ControlInfo& control : all_controls())
            if (same_name(text, control.name)) return control.name;
        return nullptr;
    }
    // False when `name` was seen on an earlier line.
    bool first_time(const char* name) {
        for (const char* known : seen_)
            if (known == name) return false;
        seen_.push_back(name);
        return true;
    }

private:
    std::vector<const char*> seen_;
};

const ControlInfo* control_named(const char* name) {
    for (const ControlInfo& control : all_controls())
        if (control.name == name) return &control;
    return nullptr;
}

// One line, without its line end.
void read_line(int32_t number, std::string_view line, Names& names, ReadProfile& profile) {
    auto refuse = [&](Outcome outcome, const char* name = nullptr) {
        profile.refused.push_back({number, outcome, name});
    };
    if (line.size() > VLX_PROFILE_MAX_LINE) return refuse(Outcome::too_long);
    if (!utf8_text(line)) return refuse(Outcome::not_utf8);
    const std::string_view text = trimmed(line);
    if (text.empty() || text.front() == '#') return;
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos || trimmed(text.substr(0, equals)).empty()) return refuse(Outcome::damaged);
    const char* name = names.find(trimmed(text.substr(0, equals)));
    if (!name) return refuse(Outcome::unknown_name);
    if (!names.first_time(name)) return refuse(Outcome::repeated, name);
    const std::string_view value = trimmed(text.substr(equals + 1));
    if (name == kDeviceName) {
        if (value.empty()) return refuse(Outcome::bad_value, name);
        profile.device = std::string(value);
    } else if (name == kFormatName) {
        profile.format = read_format(value);
        if (!profile.format) return refuse(Outcome::bad_value, name);
        profile.format_line = number;
    } else {
        const auto setting = read_control(*control_named(name), value);
        if (!setting) return refuse(Outcome::bad_value, name);
        profile.controls.emplace_back(number, *setting);
    }
}

constexpr std::string_view kExplanation =
    "# vidlox camera profile: the settings of one camera, one a line, NAME = VALUE.\r\n"
    "# Lines that start with # are comments. device: the camera's path; the profile\r\n"
    "# is applied to that camera only, unless the host says otherwise. format:\r\n"
    "# SUBTYPE WIDTH HEIGHT FRAMES_PER_SECOND. A control: VALUE MODE (manual or auto),\r\n"
    "# then the range the camera stated (range MINIMUM MAXIMUM STEP): a camera that\r\n"
    "# states another range is given nothing for that control; leave \"range ...\"\r\n"
    "# out to apply the value whatever the range.\r\n";

}  // namespace

const char* outcome_word(Outcome outcome) { return kOutcomeWords[static_cast<size_t>(outcome)]; }

ReadProfile read_profile_text(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    ReadProfile profile;
    Names names;
    int32_t number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        read_line(++number, line, names, profile);
    }
    return profile;
}

std::string format_value(const FormatSetting& format) {
    return subtype_text(format.subtype) + " " + std::to_string(format.width) + " " + std::to_string(format.height) +
           " " + frame_rate_text(format.frame_rate);
}

std::string profile_text(const DeviceSettings& settings) {
    std::string text(kExplanation);
    text += std::string(kDeviceName) + " = " + settings.device + "\r\n";
    if (settings.format) text += std::string(kFormatName) + " = " + format_value(*settings.format) + "\r\n";
    for (const ControlSetting& setting : settings.controls) {
        text += std::string(setting.control->name) + " = " + std::to_string(setting.value) +
                (setting.mode == VLX_CONTROL_AUTO ? " auto" : " manual");
        if (setting.range) {
            text += " range " + std::to_string(setting.range->minimum) + " " + std::to_string(setting.range->maximum) +
                    " " + std::to_string(setting.range->step);
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace vlx::profiles
