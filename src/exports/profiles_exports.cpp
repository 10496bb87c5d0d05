// The profile exports (include/vidlox.h, "Extensions: profiles").
#include "vidlox.h"

#include "exports/guarded.h"
#include "profiles/apply_profile.h"
#include "profiles/auto_profile.h"
#include "profiles/profile_codes.h"
#include "profiles/profile_report.h"
#include "profiles/save_profile.h"

using vlx::guarded;
using vlx::profiles::kProfileOutOfMemory;

extern "C" {

int32_t vlx_SaveProfile(const char* file) {
    return guarded(kProfileOutOfMemory, [&] { return vlx::profiles::save_profile(file); });
}
int32_t vlx_ApplyProfile(const char* file, int32_t flags) {
    return guarded(kProfileOutOfMemory, [&] { return vlx::profiles::apply_profile(file, flags); });
}
int32_t vlx_SetAutoProfile(const char* file) {
    return guarded(kProfileOutOfMemory, [&] { return vlx::profiles::set_auto_profile(file); });
}
int32_t vlx_GetProfileReport(char* buffer) {
    return guarded(kProfileOutOfMemory, [&] { return vlx::profiles::list_report(buffer); });
}
int32_t vlx_GetProfileReportSize(void) { return guarded(kProfileOutOfMemory, vlx::profiles::report_size); }

}  // extern "C"
