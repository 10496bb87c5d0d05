// No exception may cross an exported function: each export runs its body
// through guarded(), which turns any escaping exception into `failure`.
#pragma once

#include <cstdint>
#include <utility>

namespace vlx {

template <class Body>
int32_t guarded(int32_t failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failure;
    }
}

}  // namespace vlx
