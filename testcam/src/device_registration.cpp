#include "device_registration.h"

#include "com_ptr.h"
#include "comkit/registration.h"

#include <objbase.h>

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
