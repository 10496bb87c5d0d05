// The headers nearly every C++ translation unit of the build starts with:
// the Windows, COM and DirectShow declarations (most of a file's compile
// time went into parsing them) and the standard library's common parts.
// cmake/precompiled_headers.cmake parses them once per build. Nothing here
// may depend on a macro a source file sets, and no source file sets one
// that changes them (WIN32_LEAN_AND_MEAN, NOMINMAX, INITGUID, _WIN32_WINNT).
#include <windows.h>
// dshow.h must come before qedit.h; vmr9.h needs d3d9.h first.
#include <dshow.h>
#include <qedit.h>
#include <d3d9.h>
#include <vmr9.h>
#include <dvdmedia.h>
#include <objbase.h>
#include <oleauto.h>
#include <wincodec.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>
