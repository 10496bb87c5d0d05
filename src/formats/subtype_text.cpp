#include "formats/subtype_text.h"

#include "common/directshow.h"

#include <array>
#include <cstdio>

namespace vlx {

namespace {

struct NamedSubtype {
    const char* name;
    const GUID* subtype;
};

// The RGB subtypes predate FourCC-based subtypes and carry GUIDs of their own.
const std::array<NamedSubtype, 12> kNamedSubtypes = {{
    {"RGB1", &MEDIASUBTYPE_RGB1},
    {"RGB4", &MEDIASUBTYPE_RGB4},
    {"RGB8", &MEDIASUBTYPE_RGB8},
    {"RGB555", &MEDIASUBTYPE_RGB555},
    {"RGB565", &MEDIASUBTYPE_RGB565},
    {"RGB24", &MEDIASUBTYPE_RGB24},
    {"RGB32", &MEDIASUBTYPE_RGB32},
    {"ARGB32", &MEDIASUBTYPE_ARGB32},
    {"ARGB1555", &MEDIASUBTYPE_ARGB1555},
    {"ARGB4444", &MEDIASUBTYPE_ARGB4444},
    {"A2R10G10B10", &MEDIASUBTYPE_A2R10G10B10},
    {"A2B10G10R10", &MEDIASUBTYPE_A2B10G10R10},
}};

// FourCC subtypes are {XXXXXXXX-0000-0010-8000-00AA00389B71}, the FourCC's
// bytes in Data1.
constexpr GUID kFourccBase = {0, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr size_t kGuidTextLength = 38;

bool is_graphic(char c) { return c > ' ' && c < 0x7f; }

const NamedSubtype* name_of(std::string_view text) {
    for (const NamedSubtype& named : kNamedSubtypes) {
        if (text == named.name) return &named;
    }
    return nullptr;
}

// The FourCC text of a FourCC subtype whose four characters are printable
// and no spaces, and do not spell one of the RGB names; else nothing.
std::optional<std::string> fourcc_text(const GUID& subtype) {
    GUID base = subtype;
    base.Data1 = 0;
    if (!IsEqualGUID(base, kFourccBase)) return std::nullopt;
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) text[static_cast<size_t>(i)] = static_cast<char>((subtype.Data1 >> (8 * i)) & 0xff);
    for (char c : text) {
        if (!is_graphic(c)) return std::nullopt;
    }
    if (name_of(text)) return std::nullopt;
    return text;
}

std::string guid_text(const GUID& g) {
    char text[kGuidTextLength + 1];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                  g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "{8-4-4-4-12}" hex digits; nothing for any other text.
std::optional<GUID> guid_from_text(std::string_view text) {
    if (text.size() != kGuidTextLength || text.front() != '{' || text.back() != '}') return std::nullopt;
    unsigned char bytes[16];
    size_t at = 1;
    for (int byte = 0; byte < 16; ++byte) {
        if (byte == 4 || byte == 6 || byte == 8 || byte == 10) {
            if (text[at++] != '-') return std::nullopt;
        }
        const int high = hex_value(text[at]), low = hex_value(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes[byte] = static_cast<unsigned char>(high * 16 + low);
        at += 2;
    }
    // The text gives Data1, Data2 and Data3 most significant byte first.
    GUID g{};
    g.Data1 = (static_cast<DWORD>(bytes[0]) << 24) | (static_cast<DWORD>(bytes[1]) << 16) |
              (static_cast<DWORD>(bytes[2]) << 8) | bytes[3];
    g.Data2 = static_cast<WORD>((bytes[4] << 8) | bytes[5]);
    g.Data3 = static_cast<WORD>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
    return g;
}

}  // namespace

std::string subtype_text(const GUID& subtype) {
    for (const NamedSubtype& named : kNamedSubtypes) {
        if (IsEqualGUID(subtype, *named.subtype)) return named.name;
    }
    if (auto fourcc = fourcc_text(subtype)) return *fourcc;
    return guid_text(subtype);
}

std::optional<GUID> subtype_from_text(std::string_view text) {
    if (const NamedSubtype* named = name_of(text)) return *named->subtype;
    if (text.size() == 4) {
        GUID fourcc = kFourccBase;
        for (int i = 3; i >= 0; --i) {
            const char c = text[static_cast<size_t>(i)];
            if (!is_graphic(c)) return std::nullopt;
            fourcc.Data1 = (fourcc.Data1 << 8) | static_cast<unsigned char>(c);
        }
        return fourcc;
    }
    return guid_from_text(text);
}

}  // namespace vlx
