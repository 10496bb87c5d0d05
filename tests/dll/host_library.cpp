#include "dll/host_library.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace vlx_test {

namespace {

HMODULE load() {
    HMODULE module = LoadLibraryW(L"vidlox64.dll");
    if (!module) {
        std::fprintf(stderr, "cannot load vidlox64.dll (error %lu)\n", GetLastError());
        std::abort();
    }
    return module;
}

template <class Fn>
void resolve(HMODULE module, Fn& fn, const char* name) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!fn) {
        std::fprintf(stderr, "vidlox64.dll does not export %s\n", name);
        std::abort();
    }
}

Vidlox load_all() {
    HMODULE module = load();
    Vidlox v{};
#define VLX_RESOLVE(name) resolve(module, v.name, "vlx_" #name)
    VLX_RESOLVE(Init);
    VLX_RESOLVE(Exit);
    VLX_RESOLVE(SetActiveSel);
    VLX_RESOLVE(GetActiveSel);
    VLX_RESOLVE(GetRef);
    VLX_RESOLVE(Version);
    VLX_RESOLVE(SetLogLevel);
    VLX_RESOLVE(SetLogBuffer);
    VLX_RESOLVE(SetErrorCallbackHwnd);
    VLX_RESOLVE(GetLastError);
    VLX_RESOLVE(GetBufferSize);
    VLX_RESOLVE(GetDeviceList);
    VLX_RESOLVE(GetDeviceListSize);
    VLX_RESOLVE(GetCodecList);
    VLX_RESOLVE(GetCodecListSize);
    VLX_RESOLVE(Open);
    VLX_RESOLVE(SetDevCapConfig);
    VLX_RESOLVE(Play);
    VLX_RESOLVE(Play2);
    VLX_RESOLVE(ReSize);
    VLX_RESOLVE(Stop);
    VLX_RESOLVE(SetCapConfig);
    VLX_RESOLVE(Close);
    VLX_RESOLVE(GetState);
    VLX_RESOLVE(StreamFilterList);
    VLX_RESOLVE(GetStreamFilterList);
    VLX_RESOLVE(GetStreamFilterListSize);
    VLX_RESOLVE(GetImage);
    VLX_RESOLVE(GetImageMemSize);
    VLX_RESOLVE(GetImageMem);
    VLX_RESOLVE(SaveBMP);
    VLX_RESOLVE(SaveImage);
    VLX_RESOLVE(SetDevWidth);
    VLX_RESOLVE(SetDevHeight);
    VLX_RESOLVE(SetDevFrameRate);
    VLX_RESOLVE(GetDevCapConfig);
    VLX_RESOLVE(GetDevCapConfigSize);
    VLX_RESOLVE(GetCapInfo);
    VLX_RESOLVE(FilterProp);
    VLX_RESOLVE(DevPinProp);
    VLX_RESOLVE(CodecDialog);
    VLX_RESOLVE(VMRMixImage);
    VLX_RESOLVE(SetVMRDeinterlace);
    VLX_RESOLVE(InitEncoder);
    VLX_RESOLVE(UnInitEncoder);
    VLX_RESOLVE(CreateEncoder);
    VLX_RESOLVE(OpenEncoder);
    VLX_RESOLVE(WriteEncoder);
    VLX_RESOLVE(CloseEncoder);
    VLX_RESOLVE(DeleteEncoder);
#undef VLX_RESOLVE
    return v;
}

}  // namespace

const Vidlox& vidlox() {
    static const Vidlox instance = load_all();
    return instance;
}

void reset_reporting() {
    const Vidlox& v = vidlox();
    v.SetLogBuffer(nullptr, 0);
    v.SetLogLevel(0);
    v.SetErrorCallbackHwnd(nullptr, 0);
}

}  // namespace vlx_test
