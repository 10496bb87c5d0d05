#include "format_sets.h"

namespace vlxcam {

namespace {

constexpr REFERENCE_TIME interval(double fps) { return static_cast<REFERENCE_TIME>(10000000.0 / fps); }
// UVC cameras list their intervals down to 5 frames per second.
constexpr REFERENCE_TIME kWebcamSlowest = interval(5);

// One pixel format at the sizes the benchmarks and tests use, each from 30
// down to 1 frame per second.
template <DWORD Fourcc>
constexpr Capability kOneFormat[] = {
    {640, 480, k30fps, false, Fourcc},
    {1280, 720, k30fps, false, Fourcc},
    {1920, 1080, k30fps, false, Fourcc},
};

// The same, then the modes of a USB 3 camera appended: 4K from 30 down to 1
// frame per second, 720p and 1080p from 60 down to 30 (formats.h).
template <DWORD Fourcc>
constexpr Capability kFastModes[] = {
    kOneFormat<Fourcc>[0],
    kOneFormat<Fourcc>[1],
    kOneFormat<Fourcc>[2],
    {3840, 2160, k30fps, false, Fourcc},
    sixty_fps_mode(1280, 720, Fourcc),
    sixty_fps_mode(1920, 1080, Fourcc),
};

// A USB 2 webcam: uncompressed YUY2 fills the bus long before MJPG does.
constexpr Capability kWebcam[] = {
    {640, 480, k30fps, false, kFourccYuy2, kWebcamSlowest},
    {320, 240, k30fps, false, kFourccYuy2, kWebcamSlowest},
    {800, 600, interval(20), false, kFourccYuy2, kWebcamSlowest},
    {1280, 720, interval(10), false, kFourccYuy2, kWebcamSlowest},
    {1920, 1080, interval(5), false, kFourccYuy2, kWebcamSlowest},
    {640, 480, k30fps, false, kFourccMjpg, kWebcamSlowest},
    {320, 240, k30fps, false, kFourccMjpg, kWebcamSlowest},
    {800, 600, k30fps, false, kFourccMjpg, kWebcamSlowest},
    {1280, 720, k30fps, false, kFourccMjpg, kWebcamSlowest},
    {1920, 1080, k30fps, false, kFourccMjpg, kWebcamSlowest},
};

constexpr Capability kUndecodable[] = {
    {640, 480, k30fps, false, kFourccUndecodable},
};

}  // namespace

Capabilities capabilities_of(FormatSet set) {
    switch (set) {
    case FormatSet::yuy2:
        return kOneFormat<kFourccYuy2>;
    case FormatSet::nv12:
        return kFastModes<kFourccNv12>;
    case FormatSet::mjpg:
        return kFastModes<kFourccMjpg>;
    case FormatSet::webcam:
        return kWebcam;
    case FormatSet::undecodable:
        return kUndecodable;
    case FormatSet::rgb24:
        break;
    }
    return rgb24_capabilities();
}

}  // namespace vlxcam
