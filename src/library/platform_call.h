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

// The name of a call that is not reported to the error recorder. It is
// written with dots ("vlx_SaveImage.Encoder.Commit") so that it can never be
// taken for a context string, which always has "->": the compiler refuses a
// step name that has one.
class StepName {
public:
    consteval StepName(const char* text) : text_(text) {
        for (const char* c = text; *c; ++c) {
            if (c[0] == '-' && c[1] == '>') throw "a step name is written with dots, not \"->\"";
        }
    }
    const char* text() const { return text_; }

private:
    const char* text_;
};

namespace detail {
template <class Call>
HRESULT make_call([[maybe_unused]] const char* name, Call&& call) {
#ifdef VLX_FAULT_INJECTION
    if (const auto injected = fault::take(name)) return *injected;
#endif
    return std::forward<Call>(call)();
}
}  // namespace detail

// A call that is not reported; `step` names it for the test build.
template <class Call>
HRESULT platform_call(StepName step, Call&& call) {
    return detail::make_call(step.text(), std::forward<Call>(call));
}

// A call whose result is reported under its constant context string.
template <class Call>
HRESULT reported_call(const char* context, Call&& call) {
    const HRESULT status = detail::make_call(context, std::forward<Call>(call));
    record_status(context, status);
    return status;
}

}  // namespace vlx
