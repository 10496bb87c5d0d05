// The codes of the profile functions (include/vidlox.h, "Extensions:
// profiles"), named once.
#pragma once

#include <cstdint>

namespace vlx::profiles {

// vlx_SaveProfile.
enum SaveCode : int32_t {
    kSaveNotInitialised = -1,
    kSaveSlotNotOpen = -2,
    kSaveBadFileName = -3,
    kSaveNoDevicePath = -4,
    kSaveCannotCreate = -5,
    kSaveWriteFailed = -6,
    kSaveRenameFailed = -7,
};

// vlx_ApplyProfile.
enum ApplyCode : int32_t {
    kApplyNotInitialised = -1,
    kApplySlotNotOpen = -2,
    kApplyBadFileName = -3,
    kApplyUnknownFlags = -4,
    kApplyUnreadable = -5,
    kApplyTooLarge = -6,
    kApplyOtherDevice = -7,
};

// vlx_SetAutoProfile and the report.
enum OtherCode : int32_t {
    kAutoStored = 0,
    kAutoNotInitialised = -1,
    kAutoBadFileName = -3,
    kReportNotInitialised = -1,
};

// What every profile export answers when memory runs out.
inline constexpr int32_t kProfileOutOfMemory = -12;

}  // namespace vlx::profiles
