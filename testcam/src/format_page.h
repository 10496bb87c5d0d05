// A small property page that shows the format of a pin of the camera, so
// that hosts have a real page to open.
#pragma once

#include <windows.h>
#include <ocidl.h>

namespace vlxcam {

HRESULT create_format_page(REFIID iid, void** object);

}  // namespace vlxcam
