#include "formats/format_choice.h"

#include "vidlox.h"

#include <algorithm>
#include <cstdlib>

namespace vlx {

namespace {

__extension__ typedef unsigned __int128 Wide;

// larger / smaller, kept as a fraction so that equal distances compare equal.
struct Ratio {
    uint64_t larger = 1;
    uint64_t smaller = 1;

    void times(uint64_t have, uint64_t wanted) {
        larger *= std::max(have, wanted);
        smaller *= std::min(have, wanted);
    }
    friend bool operator<(const Ratio& a, const Ratio& b) {
        // Each side is below 2^62, so the cross products fit in 128 bits.
        return static_cast<Wide>(a.larger) * b.smaller < static_cast<Wide>(b.larger) * a.smaller;
    }
};

uint64_t magnitude(int32_t value) { return static_cast<uint64_t>(std::llabs(static_cast<int64_t>(value))); }

// How far the picture size is from the request: the same whether the
// capability is twice too wide or half too wide.
Ratio size_distance(const FormatCapability& capability, const FormatRequest& request) {
    Ratio distance;
    if (request.width != 0) distance.times(magnitude(capability.width), magnitude(request.width));
    if (request.height != 0) distance.times(magnitude(capability.height), magnitude(request.height));
    return distance;
}

// The requested interval moved into the capability's range.
REFERENCE_TIME nearest_interval(const FormatCapability& capability, REFERENCE_TIME wanted) {
    if (!capability.states_rate()) return wanted;
    return std::clamp(wanted, capability.fastest, capability.slowest);
}

// 1 inside the range, else larger / smaller of the requested interval and
// the range's nearest end. A requested interval of 0 (a rate beyond 10^7)
// counts as the shortest there is, so the fastest capability is nearest.
double rate_distance(const FormatCapability& capability, const FormatRequest& request) {
    if (!request.interval) return 1.0;
    const auto wanted = static_cast<double>(std::max<REFERENCE_TIME>(*request.interval, 1));
    const auto offered = static_cast<double>(std::max<REFERENCE_TIME>(nearest_interval(capability, *request.interval), 1));
    return std::max(wanted, offered) / std::min(wanted, offered);
}

bool subtype_differs(const FormatCapability& capability, const FormatRequest& request) {
    return !IsEqualGUID(request.subtype, GUID_NULL) && !IsEqualGUID(request.subtype, capability.subtype);
}

bool equals_request(const FormatCapability& capability, const FormatRequest& request) {
    if (subtype_differs(capability, request)) return false;
    if (request.width != 0 && magnitude(capability.width) != magnitude(request.width)) return false;
    if (request.height != 0 && magnitude(capability.height) != magnitude(request.height)) return false;
    if (!request.interval || !capability.states_rate()) return true;
    return *request.interval >= capability.fastest && *request.interval <= capability.slowest;
}

// Whether `a` answers the request better than `b`: size, then rate, then
// subtype; the earlier capability of two equal ones is the device's own
// preference.
bool nearer(const FormatCapability& a, const FormatCapability& b, const FormatRequest& request) {
    const Ratio size_a = size_distance(a, request), size_b = size_distance(b, request);
    if (size_a < size_b) return true;
    if (size_b < size_a) return false;
    const double rate_a = rate_distance(a, request), rate_b = rate_distance(b, request);
    if (rate_a != rate_b) return rate_a < rate_b;
    const bool differs_a = subtype_differs(a, request), differs_b = subtype_differs(b, request);
    if (differs_a != differs_b) return !differs_a;
    return a.index < b.index;
}

}  // namespace

std::optional<size_t> choose_capability(std::span<const FormatCapability> capabilities,
                                        const FormatRequest& request, int32_t choice) {
    std::optional<size_t> best;
    for (size_t at = 0; at < capabilities.size(); ++at) {
        const FormatCapability& candidate = capabilities[at];
        if (!candidate.grabber_can_take) continue;
        if (choice == VLX_FORMAT_CHOICE_EXACT && !equals_request(candidate, request)) continue;
        if (!best || nearer(candidate, capabilities[*best], request)) best = at;
    }
    return best;
}

std::optional<REFERENCE_TIME> interval_to_offer(const FormatCapability& capability, const FormatRequest& request,
                                                int32_t choice) {
    if (!request.interval) return std::nullopt;
    if (choice == VLX_FORMAT_CHOICE_NEAREST) return nearest_interval(capability, *request.interval);
    return request.interval;
}

}  // namespace vlx
