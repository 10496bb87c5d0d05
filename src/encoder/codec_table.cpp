#include "encoder/codec_table.h"


namespace vlx {

namespace {

// The platform's video format GUID for a FOURCC (the MFVideoFormat_* family).
constexpr GUID fourcc_format(DWORD fourcc) {
    return {fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
}

constexpr DWORD fourcc(char a, char b, char c, char d) {
    return static_cast<DWORD>(static_cast<uint8_t>(a)) | (static_cast<DWORD>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<DWORD>(static_cast<uint8_t>(c)) << 16) | (static_cast<DWORD>(static_cast<uint8_t>(d)) << 24);
}

constexpr UINT32 kH264Baseline = 66;
constexpr UINT32 kH264Main = 77;
constexpr UINT32 kH264High = 100;
constexpr UINT32 kHevcMain = 1;    // eAVEncH265VProfile_Main_420_8
constexpr UINT32 kVp9Profile0 = 1;  // eAVEncVP9VProfile_420_8
constexpr UINT32 kAv1Main = 1;     // eAVEncAV1VProfile_Main_420_8

}  // namespace

std::optional<CodecChoice> codec_choice(int32_t codec) {
    const GUID h264 = fourcc_format(fourcc('H', '2', '6', '4'));
    switch (codec) {
    case 0:
        return CodecChoice{fourcc_format(fourcc('W', 'M', 'V', '3')), true, 0};
    case 1:
        return CodecChoice{h264, false, kH264Baseline};
    case 3:
        return CodecChoice{h264, false, kH264High};
    case 4:
    case 6:
        return std::nullopt;
    case 5:
        return CodecChoice{fourcc_format(fourcc('H', 'E', 'V', 'C')), false, kHevcMain};
    case 7:
        return CodecChoice{fourcc_format(fourcc('V', 'P', '9', '0')), false, kVp9Profile0};
    case 8:
        return CodecChoice{fourcc_format(fourcc('A', 'V', '0', '1')), false, kAv1Main};
    default:  // 2 and every other value
        return CodecChoice{h264, false, kH264Main};
    }
}

}  // namespace vlx
