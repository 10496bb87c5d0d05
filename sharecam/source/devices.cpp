#include "devices.h"

#include "vidlox_sharecam.h"

#include <array>

namespace vlxshare::source {

namespace {

constexpr std::array<ShareDevice, 4> kDevices{{
    {1, VLXSHARE_NAME_1, VLXSHARE_CLSID_1, VLXSHARE_PATH_1},
    {2, VLXSHARE_NAME_2, VLXSHARE_CLSID_2, VLXSHARE_PATH_2},
    {3, VLXSHARE_NAME_3, VLXSHARE_CLSID_3, VLXSHARE_PATH_3},
    {4, VLXSHARE_NAME_4, VLXSHARE_CLSID_4, VLXSHARE_PATH_4},
}};

}  // namespace

std::span<const ShareDevice> share_devices() { return kDevices; }

const ShareDevice* find_device(const CLSID& clsid) {
    for (const ShareDevice& device : kDevices)
        if (IsEqualCLSID(device.clsid, clsid)) return &device;
    return nullptr;
}

}  // namespace vlxshare::source
