// The handles this process holds, counted by object type ("Key", "Event",
// "Thread", ...): GetProcessHandleCount answers 0 under Wine, so each handle
// value is asked about in turn (GetHandleInformation), and its type read
// with NtQueryObject.
#pragma once

#include <map>
#include <string>

namespace vlx_test {

using HandleCensus = std::map<std::string, long>;

HandleCensus handle_census();

long total(const HandleCensus& census);

// "Key 12, Event 3" for the types whose count differs from `before`
// (positive: more now), largest first.
std::string census_change(const HandleCensus& before, const HandleCensus& after);

}  // namespace vlx_test
