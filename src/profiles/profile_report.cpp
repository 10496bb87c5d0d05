#include "profiles/profile_report.h"

#include "common/no_destroy.h"
#include "enum/name_list.h"
#include "library/library_state.h"
#include "library/list_budget.h"
#include "profiles/profile_codes.h"

#include <algorithm>
#include <array>
#include <string>

namespace vlx::profiles {

namespace {

constinit NoDestroy<std::array<std::vector<ReportLine>, kSlotCount>> g_reports;

const std::vector<ReportLine>& active_report() {
    return g_reports.value[static_cast<size_t>(library().active_slot)];
}

std::string report_line(const ReportLine& line) {
    return std::to_string(line.line) + " " + outcome_word(line.outcome) + " " + (line.name ? line.name : "-");
}

ListKey report_list() { return {SizedList::profile_report, library().active_slot}; }

}  // namespace

void replace_report(int32_t slot, std::vector<ReportLine> lines) {
    std::stable_sort(lines.begin(), lines.end(),
                     [](const ReportLine& a, const ReportLine& b) { return a.line < b.line; });
    g_reports.value[static_cast<size_t>(slot)] = std::move(lines);
}

void clear_reports() noexcept {
    for (auto& report : g_reports.value) report = {};
}

int32_t list_report(char* text) {
    if (!library_initialised() || !text) return kReportNotInitialised;
    ListText list(text, size_answer(report_list()));
    for (const ReportLine& line : active_report()) {
        if (!list.add(report_line(line))) break;
    }
    return list.count();
}

int32_t report_size() {
    if (!library_initialised()) return kReportNotInitialised;
    ListSize size;
    for (const ReportLine& line : active_report()) size.add(report_line(line).size());
    remember_size_answer(report_list(), size.bytes());
    return size.bytes();
}

}  // namespace vlx::profiles
