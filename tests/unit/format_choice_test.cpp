// The choice of one capability, on capability tables: the webcam's (YUY2
// slow at large sizes, MJPG fast), and edge cases a device can list.
#include "formats/format_capability.h"
#include "formats/format_choice.h"
#include "formats/subtype_text.h"
#include "vidlox.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace vlx_test {
namespace {

using vlx::FormatCapability;
using vlx::FormatRequest;

constexpr REFERENCE_TIME interval(double fps) { return static_cast<REFERENCE_TIME>(10000000.0 / fps); }

GUID fourcc(const char* text) { return *vlx::subtype_from_text(text); }

FormatCapability capability(int index, const char* subtype, int32_t width, int32_t height, double fastest_fps,
                            double slowest_fps = 5, vlx::FormatBlock block = vlx::FormatBlock::video_info) {
    FormatCapability c;
    c.index = index;
    c.subtype = fourcc(subtype);
    c.block = block;
    c.width = width;
    c.height = height;
    c.fastest = fastest_fps > 0 ? interval(fastest_fps) : 0;
    c.slowest = slowest_fps > 0 ? interval(slowest_fps) : 0;
    c.grabber_can_take = block == vlx::FormatBlock::video_info;
    return c;
}

// testcam's "webcam" device, in its order.
const std::vector<FormatCapability> kWebcam = {
    capability(0, "YUY2", 640, 480, 30),   capability(1, "YUY2", 320, 240, 30),  capability(2, "YUY2", 800, 600, 20),
    capability(3, "YUY2", 1280, 720, 10),  capability(4, "YUY2", 1920, 1080, 5), capability(5, "MJPG", 640, 480, 30),
    capability(6, "MJPG", 320, 240, 30),   capability(7, "MJPG", 800, 600, 30),  capability(8, "MJPG", 1280, 720, 30),
    capability(9, "MJPG", 1920, 1080, 30),
};

struct Case {
    const char* what;
    int32_t choice;
    const char* subtype;  // "" any
    int32_t width, height;
    double rate;      // 0: none
    int chosen;       // -1: none
    REFERENCE_TIME offered;  // 0: the capability's own
};

FormatRequest request_of(const Case& c) {
    FormatRequest request;
    if (*c.subtype) request.subtype = fourcc(c.subtype);
    request.width = c.width;
    request.height = c.height;
    if (c.rate > 0) request.interval = interval(c.rate);
    return request;
}

void expect_choices(const std::vector<FormatCapability>& table, std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        const FormatRequest request = request_of(c);
        const auto chosen = vlx::choose_capability(table, request, c.choice);
        ASSERT_EQ(chosen ? table[*chosen].index : -1, c.chosen) << c.what;
        if (!chosen) continue;
        const auto offered = vlx::interval_to_offer(table[*chosen], request, c.choice);
        EXPECT_EQ(offered.value_or(0), c.offered) << c.what;
    }
}

constexpr int32_t kExact = VLX_FORMAT_CHOICE_EXACT, kNearest = VLX_FORMAT_CHOICE_NEAREST;

TEST(FormatChoice, Webcam) {
    expect_choices(kWebcam, {
        {"exact MJPG 720p30", kExact, "MJPG", 1280, 720, 30, 8, 333333},
        {"exact 720p30: only MJPG reaches 30", kExact, "", 1280, 720, 30, 8, 333333},
        {"exact 720p10: both do, the device's first", kExact, "", 1280, 720, 10, 3, 1000000},
        {"exact YUY2 720p30: YUY2 tops out at 10", kExact, "YUY2", 1280, 720, 30, -1, 0},
        {"exact 1024x768: no such size", kExact, "", 1024, 768, 30, -1, 0},
        {"exact MJPG, any size and rate", kExact, "MJPG", 0, 0, 0, 5, 0},
        {"exact height only", kExact, "", 0, 1080, 30, 9, 333333},
        {"nearest 1000x700@25", kNearest, "", 1000, 700, 25, 8, 400000},
        {"nearest 700x500: 640x480 is closer than 800x600", kNearest, "", 700, 500, 0, 0, 0},
        {"nearest YUY2 720p30: rate before subtype", kNearest, "YUY2", 1280, 720, 30, 8, 333333},
        {"nearest YUY2 720p8: both reach it", kNearest, "YUY2", 1280, 720, 8, 3, 1250000},
        {"nearest MJPG 720p8: the subtype decides", kNearest, "MJPG", 1280, 720, 8, 8, 1250000},
        {"nearest 720p60: clamped to the fastest", kNearest, "", 1280, 720, 60, 8, 333333},
        {"nearest 720p2: both stop at 5", kNearest, "", 1280, 720, 2, 3, 2000000},
        {"nearest 4K: the largest", kNearest, "", 3840, 2160, 30, 9, 333333},
        {"nearest H264: none, the first of the nearest size", kNearest, "H264", 640, 480, 30, 0, 333333},
    });
}

TEST(FormatChoice, OnlyWhatTheGrabberTakes) {
    const std::vector<FormatCapability> table = {
        capability(0, "RGB3", 640, 480, 30, 1),
        capability(1, "RGB3", 800, 600, 30, 1, vlx::FormatBlock::video_info2),
        capability(2, "RGB3", 1280, 720, 30, 1, vlx::FormatBlock::mpeg2_video),
    };
    expect_choices(table, {
        {"exact 800x600 is a VIDEOINFOHEADER2", kExact, "", 800, 600, 30, -1, 0},
        {"nearest 800x600", kNearest, "", 800, 600, 30, 0, 333333},
        {"nearest 1280x720", kNearest, "", 1280, 720, 0, 0, 0},
    });
    EXPECT_FALSE(vlx::choose_capability({table.data() + 1, 2}, {}, kNearest)) << "nothing to choose from";
}

TEST(FormatChoice, UnstatedRateTakesAnyRate) {
    const std::vector<FormatCapability> table = {capability(0, "NV12", 640, 480, 0, 0)};
    expect_choices(table, {
        {"exact", kExact, "", 640, 480, 60, 0, interval(60)},
        {"nearest", kNearest, "", 640, 480, 7, 0, interval(7)},
    });
}

TEST(FormatLine, HeightsAreMagnitudesEvenAtTheEndOfTheRange) {
    VIDEOINFOHEADER vih{};
    vih.bmiHeader.biWidth = 640;
    vih.bmiHeader.biHeight = INT32_MIN;
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Video;
    type.subtype = fourcc("YUY2");
    type.formattype = FORMAT_VideoInfo;
    type.cbFormat = sizeof vih;
    type.pbFormat = reinterpret_cast<BYTE*>(&vih);
    VIDEO_STREAM_CONFIG_CAPS caps{};
    EXPECT_EQ(vlx::format_line(vlx::describe_capability(3, type, caps)), "3 YUY2 640 2147483647 0.00 0.00 VIDEOINFOHEADER");
    type.formattype = GUID_NULL;
    caps.InputSize = {320, INT32_MIN};
    EXPECT_EQ(vlx::format_line(vlx::describe_capability(4, type, caps)), "4 YUY2 320 2147483647 0.00 0.00 OTHER");
}

TEST(SubtypeText, ListedFormsNameTheirSubtypes) {
    const struct {
        const char* text;
        bool names_one;
        const char* listed;  // the form the list writes it in
    } cases[] = {
        {"MJPG", true, "MJPG"},
        {"yuy2", true, "yuy2"},
        {"RGB24", true, "RGB24"},
        {"A2B10G10R10", true, "A2B10G10R10"},
        {"{e436eb7d-524f-11ce-9f53-0020af0ba770}", true, "RGB24"},
        {"{E06D8026-DB46-11CF-B4D1-00805F6CBBEA}", true, "{E06D8026-DB46-11CF-B4D1-00805F6CBBEA}"},
        {"{3231564E-0000-0010-8000-00AA00389B71}", true, "NV12"},
        {"rgb24", false, ""},
        {"MJP", false, ""},
        {"MJ G", false, ""},
        {"{E06D8026-DB46-11CF-B4D1-00805F6CBBE}", false, ""},
        {"{E06D8026+DB46-11CF-B4D1-00805F6CBBEA}", false, ""},
    };
    for (const auto& c : cases) {
        const auto subtype = vlx::subtype_from_text(c.text);
        ASSERT_EQ(subtype.has_value(), c.names_one) << c.text;
        if (subtype) {
            EXPECT_EQ(vlx::subtype_text(*subtype), c.listed) << c.text;
        }
    }
    GUID y8 = fourcc("NV12");
    y8.Data1 = 0x20203859;  // "Y8  ": spaces would split the list's lines
    EXPECT_EQ(vlx::subtype_text(y8), "{20203859-0000-0010-8000-00AA00389B71}");
}

}  // namespace
}  // namespace vlx_test
