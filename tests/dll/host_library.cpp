#include "dll/host_library.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

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

int32_t device_index(const wchar_t* name) {
    const Vidlox& v = vidlox();
    const int32_t size = v.GetDeviceListSize(0);
    if (size <= 0) return -1;
    std::vector<char> text(static_cast<size_t>(size), '\0');
    v.GetDeviceList(text.data(), 0);
    const std::string wanted = utf8(name);
    const std::string list(text.data());
    int32_t index = 0;
    for (size_t start = 0; start < list.size(); ++index) {
        const size_t end = list.find("\r\n", start);
        if (list.compare(start, end - start, wanted) == 0 && end - start == wanted.size()) return index;
        start = end + 2;
    }
    return -1;
}

int32_t init_and_find_device(const wchar_t* name) {
    if (vidlox().Init() < 0) {
        std::fprintf(stderr, "vlx_Init failed\n");
        return -1;
    }
    const int32_t index = device_index(name);
    if (index < 0) std::fprintf(stderr, "%s is not registered\n", utf8(name).c_str());
    return index;
}

void close_every_slot() {
    const Vidlox& v = vidlox();
    for (int32_t slot = 0; slot < VLX_SLOT_COUNT; ++slot) {
        v.SetActiveSel(slot);
        v.Close();
        v.SetDevWidth(0);
        v.SetDevHeight(0);
        v.SetDevFrameRate(0.0);
    }
}

std::string utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(static_cast<size_t>(size - 1));
    return result;
}

}  // namespace vlx_test
