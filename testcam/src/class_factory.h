#pragma once

#include <windows.h>

namespace vlxcam {

// DllGetClassObject: a factory for each registered device class and for the
// format property page.
HRESULT get_class_object(REFCLSID clsid, REFIID iid, void** object);

}  // namespace vlxcam
