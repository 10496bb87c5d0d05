#include "image_formats.h"

#include "report.h"

#include <cctype>
#include <cstdio>

namespace tool {

namespace {

constexpr ImageFormat image_formats[] = {
    {".bmp", 0, "BMP"},      {".dib", 0, "BMP"},   {".jpg", 1, "JPEG"},  {".jpeg", 1, "JPEG"},
    {".png", 2, "PNG"},      {".gif", 3, "GIF"},   {".tif", 4, "TIFF"},  {".tiff", 4, "TIFF"},
    {".jxr", 5, "JPEG XR"},  {".wdp", 5, "JPEG XR"}, {".heic", 6, "HEIF"}, {".heif", 6, "HEIF"},
};

}  // namespace

const ImageFormat* format_of(const std::string& file) {
    const size_t dot = file.find_last_of('.');
    if (dot == std::string::npos) return nullptr;
    std::string extension = file.substr(dot);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const ImageFormat& format : image_formats) {
        if (extension == format.extension) return &format;
    }
    return nullptr;
}

int unknown_image_format(const std::string& file) {
    std::fprintf(stderr,
                 "vidlox: cannot tell a picture format from the name \"%s\"; use .bmp .jpg .png .gif .tif "
                 ".jxr or .heic\n",
                 file.c_str());
    return exit_usage;
}

}  // namespace tool
