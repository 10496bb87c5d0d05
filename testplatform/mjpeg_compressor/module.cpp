// vidlox-tp-mjpeg64.dll: the test compressor's COM server.
//
//   regsvr32 vidlox-tp-mjpeg64.dll     registers the class and lists the filter
//                                      in the video compressor category
//   regsvr32 /u vidlox-tp-mjpeg64.dll  removes both
#include "comkit/com_base.h"
#include "compressor.h"
#include "comkit/registration.h"
#include "vidlox_tp_mjpeg.h"

#include <dshow.h>

namespace {

HRESULT create_mapper(vlx::ComPtr<IFilterMapper2>& mapper) {
    return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                            mapper.put_void());
}

HRESULT register_filter() {
    vlx::ComPtr<IFilterMapper2> mapper;
    HRESULT hr = create_mapper(mapper);
    if (FAILED(hr)) return hr;
    REGPINTYPES input_type{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};
    REGPINTYPES output_type{&MEDIATYPE_Video, &MEDIASUBTYPE_MJPG};
    REGFILTERPINS2 pins[2]{};
    pins[0].cInstances = 1;
    pins[0].nMediaTypes = 1;
    pins[0].lpMediaType = &input_type;
    pins[1].dwFlags = REG_PINFLAG_B_OUTPUT;
    pins[1].cInstances = 1;
    pins[1].nMediaTypes = 1;
    pins[1].lpMediaType = &output_type;
    REGFILTER2 filter{};
    filter.dwVersion = 2;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins2 = 2;
    filter.rgPins2 = pins;
    return mapper->RegisterFilter(vlxtp::kMjpegCompressorClsid, VLXTP_MJPEG_NAME, nullptr,
                                  &CLSID_VideoCompressorCategory, VLXTP_MJPEG_NAME, &filter);
}

void unregister_everything() {
    vlx::ComPtr<IFilterMapper2> mapper;
    if (SUCCEEDED(create_mapper(mapper)))
        mapper->UnregisterFilter(&CLSID_VideoCompressorCategory, VLXTP_MJPEG_NAME, vlxtp::kMjpegCompressorClsid);
    vlxcom::unregister_class(vlxtp::kMjpegCompressorClsid);
}

}  // namespace

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, vlxtp::kMjpegCompressorClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return vlxcom::get_class_factory(vlxtp::create_mjpeg_compressor, clsid, iid, out);
}

STDAPI DllCanUnloadNow(void) { return vlxcom::can_unload_now(); }

// A failure rolls back what was registered.
STDAPI DllRegisterServer(void) {
    vlxcom::ComScope com;
    HRESULT hr = vlxcom::register_class(vlxtp::kMjpegCompressorClsid, VLXTP_MJPEG_NAME);
    if (SUCCEEDED(hr)) hr = register_filter();
    if (FAILED(hr)) unregister_everything();
    return hr;
}

STDAPI DllUnregisterServer(void) {
    vlxcom::ComScope com;
    unregister_everything();
    return S_OK;
}

}  // extern "C"
