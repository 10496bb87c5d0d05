// Static storage that is constant-initialised and never destroyed.
//
// The library's process-wide state must be zero at load without a global
// constructor, and unloading the library must not release platform objects
// (that would run COM code under the loader lock). Wrapping the state in this
// union keeps the constexpr constructor and drops the destructor.
#pragma once

namespace vlx {

template <class T>
union NoDestroy {
    constexpr NoDestroy() : value() {}
    ~NoDestroy() {}
    NoDestroy(const NoDestroy&) = delete;
    NoDestroy& operator=(const NoDestroy&) = delete;

    T value;
};

}  // namespace vlx
