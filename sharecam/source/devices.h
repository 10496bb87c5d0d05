// The four shared-camera devices: channel, name, class and DevicePath.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

namespace vlxshare::source {

struct ShareDevice {
    int32_t channel;
    const wchar_t* name;
    CLSID clsid;
    const wchar_t* device_path;
};

std::span<const ShareDevice> share_devices();
const ShareDevice* find_device(const CLSID& clsid);

}  // namespace vlxshare::source
