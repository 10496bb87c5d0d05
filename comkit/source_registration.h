// A capture source's entry in its device category, as a driver's device
// has one: the class, the category entry that IFilterMapper2 writes (one
// capture output pin of the device's first type, MERIT_DO_NOT_USE, as
// devices are bound through the System Device Enumerator, never by
// intelligent connect), and the DevicePath that hosts tell devices apart by.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace vlxcom {

struct SourceEntry {
    CLSID clsid;
    const wchar_t* name;
    GUID category;  // CLSID_VideoInputDeviceCategory, CLSID_AudioInputDeviceCategory
    GUID majortype;
    GUID subtype;
    bool has_pin = true;                   // a device without pins lists none
    const wchar_t* device_path = nullptr;  // null: none
};

// The class in HKCR (this module, ThreadingModel Both), the category entry
// and the DevicePath.
HRESULT register_source(IFilterMapper2* mapper, const SourceEntry& entry) noexcept;
// The category entry (when there is a mapper) and the class.
void unregister_source(IFilterMapper2* mapper, const CLSID& clsid, const GUID& category) noexcept;
// Software devices keep their category entries in
// HKCR\CLSID\{category}\Instance\{clsid}, whose values the device's property
// bag reads; a hardware device's entry has its "DevicePath" there.
HRESULT write_device_path(const GUID& category, const CLSID& clsid, const wchar_t* path) noexcept;

}  // namespace vlxcom
