// Every platform call whose result the library acts on goes through one of
// these two helpers. The test build can make a named call fail with a chosen
// HRESULT without making it; the shipped library calls straight through.
#pragma once

#include "library/error_recorder.h"

#include <windows.h>

#include <utility>

#ifdef VLX_FAULT_INJECTION
#include "library/fault_injection.h"
#endif

namespace vlx {

// A call that is not reported to the error recorder; `step` names it for the
// test build.
template <class Call>
HRESULT platform_call([[maybe_unused]] const char* step, Call&& call) {
#ifdef VLX_FAULT_INJECTION
    if (const auto injected = fault::take(step)) return *injected;
#endif
    return std::forward<Call>(call)();
}

// A call whose result is reported under its constant context string.
template <class Call>
HRESULT reported_call(const char* context, Call&& call) {
    const HRESULT status = platform_call(context, std::forward<Call>(call));
    record_status(context, status);
    return status;
}

}  // namespace vlx
