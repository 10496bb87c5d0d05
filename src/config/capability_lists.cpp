#include "config/capability_lists.h"

#include "formats/capabilities.h"
#include "enum/name_list.h"
#include "library/library_state.h"
#include "library/list_budget.h"

#include <cstdio>
#include <functional>

namespace vlx {

namespace {

enum List { kRates, kWidths, kHeights, kListCount };

ListKey list_key(int list) {
    constexpr SizedList kLists[kListCount] = {SizedList::capability_rates, SizedList::capability_widths,
                                              SizedList::capability_heights};
    return {kLists[list], library().active_slot};
}

// One capability's entries, without their CR LF. The longest possible entry
// is a rate of "-10000000.00" or a width of "-2147483648".
struct CapabilityEntries {
    char text[kListCount][32];
    int length[kListCount];
};

CapabilityEntries entries_of(const VIDEOINFOHEADER& vih) {
    CapabilityEntries entries;
    // An AvgTimePerFrame of 0 gives an infinite rate, which prints as "inf".
    const double rate = 10000000.0 / static_cast<double>(vih.AvgTimePerFrame);
    entries.length[kRates] = std::snprintf(entries.text[kRates], sizeof entries.text[kRates], "%1.2f", rate);
    entries.length[kWidths] = std::snprintf(entries.text[kWidths], sizeof entries.text[kWidths], "%1d",
                                            static_cast<int>(vih.bmiHeader.biWidth));
    entries.length[kHeights] = std::snprintf(entries.text[kHeights], sizeof entries.text[kHeights], "%1d",
                                             static_cast<int>(vih.bmiHeader.biHeight));
    return entries;
}

// The one walk over the capabilities behind both functions: the opening,
// then `visit` for each usable capability. 0 or the opening's refusal.
int32_t visit_capability_entries(const CapabilityCalls& calls,
                                 const std::function<void(const CapabilityEntries&)>& visit) {
    ComPtr<IAMStreamConfig> config;
    CapabilityCount caps{};
    if (const int32_t refused = open_capabilities(calls, config, caps)) return refused;
    // A failed count left the block size at 0; any size but 128 is no video pin.
    if (caps.block_size != kCapsBlockSize || caps.count <= 0) return 0;
    visit_usable_capabilities(config.get(), caps.count, calls.stream_caps,
                              [&](AM_MEDIA_TYPE&, VIDEOINFOHEADER& vih) {
                                  visit(entries_of(vih));
                                  return true;
                              });
    return 0;
}

}  // namespace

int32_t list_capabilities(char* rates, char* widths, char* heights) {
    static constexpr CapabilityCalls kCalls{
        "vlx_GetDevCapConfig->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)",
        "vlx_GetDevCapConfig->AMStreamConfig->GetNumberOfCapabilities",
        "vlx_GetDevCapConfig->AMStreamConfig->GetStreamCaps"};
    // Null buffers cannot receive a list; refused like an uninitialised library.
    if (!library_initialised() || !rates || !widths || !heights) return -1;
    ListText texts[kListCount] = {{rates, size_answer(list_key(kRates))},
                                  {widths, size_answer(list_key(kWidths))},
                                  {heights, size_answer(list_key(kHeights))}};
    // The lists stay parallel: a capability goes into all three or, once
    // one list's budget is spent, into none, and neither do those after it.
    bool ended = false;
    return visit_capability_entries(kCalls, [&](const CapabilityEntries& entries) {
        for (int list = 0; list < kListCount; ++list) {
            ended = ended || !texts[list].fits(static_cast<size_t>(entries.length[list]));
        }
        if (ended) return;
        for (int list = 0; list < kListCount; ++list) {
            texts[list].add({entries.text[list], static_cast<size_t>(entries.length[list])});
        }
    });
}

int32_t capability_list_size(int32_t list) {
    static constexpr CapabilityCalls kCalls{
        "vlx_GetDevCapConfigSize->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)",
        "vlx_GetDevCapConfigSize->AMStreamConfig->GetNumberOfCapabilities",
        "vlx_GetDevCapConfigSize->AMStreamConfig->GetStreamCaps"};
    ListSize size;
    const int32_t refused = visit_capability_entries(kCalls, [&](const CapabilityEntries& entries) {
        if (list >= 0 && list < kListCount) size.add(static_cast<size_t>(entries.length[list]));
    });
    const int32_t answer = refused ? refused : size.bytes();
    if (list >= 0 && list < kListCount) remember_size_answer(list_key(list), answer);
    return answer;
}

}  // namespace vlx
