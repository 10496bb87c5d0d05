// A call that some exports report and others make unreported: inside a
// base export, whose log must not change, a feature's extra calls go
// unreported under their step names. "None" is a state of its own here, not
// a null context string that a later edit could hand to reported_call().
#pragma once

#include "library/platform_call.h"

#include <utility>

namespace vlx {

class OptionalContext {
public:
    // No context: the call is made unreported.
    constexpr OptionalContext() = default;
    consteval OptionalContext(const char* context) : context_(context) {
        if (!context) throw "an absent context is written OptionalContext{}";
    }

    // Whether there is a context: some calls are made only with one.
    constexpr bool present() const { return context_ != nullptr; }

    // `call`, reported under the context, or unreported as `step`.
    template <class Call>
    HRESULT make(StepName step, Call&& call) const {
        return context_ ? reported_call(context_, std::forward<Call>(call)) : platform_call(step, std::forward<Call>(call));
    }

private:
    const char* context_ = nullptr;
};

}  // namespace vlx
