// Each slot's profile report: what became of every line of the profile
// applied last, and the report as a list with its size query.
#pragma once

#include "profiles/profile_text.h"

#include <cstdint>
#include <vector>

namespace vlx::profiles {

// The slot's report from now on: `lines`, put in the order of the lines.
void replace_report(int32_t slot, std::vector<ReportLine> lines);
// vlx_Exit: every report goes.
void clear_reports() noexcept;

// vlx_GetProfileReport and vlx_GetProfileReportSize, for the active slot.
int32_t list_report(char* text);
int32_t report_size();

}  // namespace vlx::profiles
