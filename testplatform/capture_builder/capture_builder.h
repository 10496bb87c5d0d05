// Capture Graph Builder 2 for the test prefix: Wine's own builder, taken
// from Wine's qcap.dll through its class factory, does all the work except
// SetOutputFileName, which Wine does not implement (E_NOTIMPL). For
// MEDIASUBTYPE_Avi it builds what Windows builds: an AVI Mux and a file
// writer, added to the graph and connected, the file name set.
#pragma once

#include <windows.h>

namespace vlxtp {

// A class factory's creation function.
HRESULT create_capture_builder(REFCLSID clsid, REFIID iid, void** out);

// Wine's qcap.dll, loaded once and kept for the life of the process (the
// builders it made run its code); null when it cannot be loaded.
HMODULE wine_qcap();

}  // namespace vlxtp
