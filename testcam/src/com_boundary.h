// Where the camera's C++ meets its COM callers: no exception crosses.
#pragma once

#include <windows.h>

namespace vlxcam {

// Runs `body` (which returns an HRESULT); an exception thrown inside it
// (std::bad_alloc from a container, std::system_error from a thread that
// cannot start) ends here and the caller sees E_OUTOFMEMORY.
template <class Body>
HRESULT com_boundary(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace vlxcam
