#include "library/in_use_results.h"

#include <algorithm>
#include <iterator>

namespace vlx {

namespace {

// ERROR_NO_SYSTEM_RESOURCES is by far the most common; ERROR_BUSY,
// ERROR_SHARING_VIOLATION, ERROR_DEVICE_IN_USE and the capture service's
// NS_E_VIDCAPDRVINUSE come from drivers that say so themselves.
constexpr HRESULT kInUseResults[] = {
    static_cast<HRESULT>(0x800705AA),  // HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES)
    static_cast<HRESULT>(0x800700AA),  // HRESULT_FROM_WIN32(ERROR_BUSY)
    static_cast<HRESULT>(0x80070020),  // HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)
    static_cast<HRESULT>(0x80070964),  // HRESULT_FROM_WIN32(ERROR_DEVICE_IN_USE)
    static_cast<HRESULT>(0xC00D1B6E),  // NS_E_VIDCAPDRVINUSE
};

}  // namespace

bool means_in_use(HRESULT result) {
    return std::find(std::begin(kInUseResults), std::end(kInUseResults), result) != std::end(kInUseResults);
}

}  // namespace vlx
