#include "device_registration.h"

#include "com_ptr.h"
#include "comkit/registration.h"

#include <objbase.h>

#include <cwchar>
#include <string>

namespace vlxcam {

namespace {

HRESULT with_mapper(HRESULT (*act)(IFilterMapper2*, const DeviceProfile&), const DeviceProfile& profile) {
    vlxcom::ComScope com;
    ComPtr<IFilterMapper2> mapper;
    const HRESULT created = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                             mapper.put_void());
    if (FAILED(created)) return created;
    return act(mapper.get(), profile);
}

}  // namespace

// Software devices keep their category entries in
// HKCR\CLSID\{category}\Instance\{instance}, whose values the device's
// property bag reads; a hardware device's entry has its DevicePath there.
HRESULT write_device_path(const DeviceProfile& profile) {
    if (!profile.device_path) return S_OK;
    const std::wstring key = std::wstring(L"CLSID\\") + vlxcom::guid_text(CLSID_VideoInputDeviceCategory).c_str() +
                             L"\\Instance\\" + vlxcom::guid_text(profile.clsid).c_str();
    const DWORD bytes = static_cast<DWORD>((std::wcslen(profile.device_path) + 1) * sizeof(wchar_t));
    const LSTATUS written = RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), L"DevicePath", REG_SZ,
                                            profile.device_path, bytes);
    return HRESULT_FROM_WIN32(written);
}

HRESULT remove_category_entry(const DeviceProfile& profile) {
    return with_mapper(
        [](IFilterMapper2* mapper, const DeviceProfile& device) {
            return mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, vlxcom::guid_text(device.clsid).c_str(),
                                            device.clsid);
        },
        profile);
}

HRESULT add_category_entry(const DeviceProfile& profile) { return with_mapper(register_device, profile); }

}  // namespace vlxcam
