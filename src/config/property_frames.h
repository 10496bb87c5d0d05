// Property frames of the active slot's graph: a filter chosen by name, and
// the capture device's first pin. Both are modal and return when the user
// closes the frame.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vlx {

// vlx_FilterProp: 0, -1 (no graph), -2 (no such filter, or no pages), -3
// (no graph builder).
int32_t show_filter_properties(HWND owner_window, const wchar_t* filter_name);

// vlx_DevPinProp: 0, -1 (no graph), -2 EnumPins, -3 Reset, -4 no pin, -5 no
// pages, -6 (no device filter).
int32_t show_device_pin_properties(HWND owner_window);

}  // namespace vlx
