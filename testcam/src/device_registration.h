// A device's entry in its category, apart from the DLL's registration as a
// whole: taking the entry out and putting it back as unplugging and
// replugging a device does.
#pragma once

#include "profiles.h"

#include <dshow.h>

namespace vlxcam {

// The class and the category entry of `profile` (registration.cpp).
HRESULT register_device(IFilterMapper2* mapper, const DeviceProfile& profile);

// The entry out of its category (the class stays), and back in.
HRESULT remove_category_entry(const DeviceProfile& profile);
HRESULT add_category_entry(const DeviceProfile& profile);

}  // namespace vlxcam
