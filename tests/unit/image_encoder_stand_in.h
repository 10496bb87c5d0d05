// Stand-ins behind vlx_SaveImage's encoder creation, for the in-process
// tests. An encoder the platform has is created as it is; one it lacks (JPEG
// XR and HEIF on Wine) is stood in for by the platform's BMP encoder. Either
// way the frame's encoder options pass through a recording property bag, so
// the tests see exactly which options were written; the bag hands them on
// to a real encoder and keeps them from the stand-in.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vlx_test {

struct WrittenOption {
    std::wstring name;
    VARTYPE type;
    float real;          // VT_R4
    VARIANT_BOOL flag;   // VT_BOOL
    DWORD record_type;   // the PROPBAG2 record's other fields, all expected zero
    VARTYPE record_vt;
};

struct EncoderUse {
    GUID container;    // what vlx_SaveImage asked for
    bool stood_in;     // the platform has no such encoder
    std::vector<WrittenOption> options;
};

// Installed for the life of this object.
class ImageEncoderStandIns {
public:
    ImageEncoderStandIns();
    ~ImageEncoderStandIns();
    const std::vector<EncoderUse>& uses() const;
};

}  // namespace vlx_test
