// A program of its own for the shared camera's tests (share_tests starts it
// with CreateProcess, and ends it with TerminateProcess when a test kills a
// publisher or a reader). The last argument names an event it sets once it
// is doing its work.
//
//   share_host publish CHANNEL WIDTH HEIGHT EVENT
//       opens the test camera (Null Renderer, WIDTH x HEIGHT at 30 fps),
//       runs it and publishes it on CHANNEL until killed (60 s at most);
//       exit code 100 + n when a step answered -n
//   share_host squat CHANNEL KIND EVENT
//       makes an object under one of the channel's names first, as another
//       principal's process would, and holds it (60 s at most): null-dacl
//       and other-owner mappings, a reserved (SEC_RESERVE) mapping of the
//       user's own, or mutex-as-event (a mutex under reader 0's event name)
//   share_host read CHANNEL FILE EVENT
//       opens "vidlox Shared Camera CHANNEL" through the library and takes
//       every frame (vlx_WaitFrame, vlx_GetFrame); each frame's painted
//       number goes to FILE, one line each, until killed (60 s at most)
#include "dll/host_library.h"
#include "sharecam/share_support.h"
#include "support/frame_check.h"
#include "vidlox_sharecam.h"
#include "sharecam/transport/channel_mapping.h"
#include "sharecam/transport/layout.h"
#include "vidlox_testcam.h"

#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

using namespace vlx_test;

namespace {

int failed(int32_t code) { return 100 + (code < 0 ? -code : code); }

int publish(int32_t channel, int32_t width, int32_t height, HANDLE ready) {
    const Vidlox& v = vidlox();
    const int32_t camera = init_and_find_device(VLXCAM_NAME_MAIN);
    if (camera < 0) return failed(-90);
    v.SetDevWidth(width);
    v.SetDevHeight(height);
    v.SetDevFrameRate(30.0);
    // 1: a capability other than the one of that size refused it.
    if (const int32_t opened = v.Open(camera, 6, 0, 0, 0); opened != 0 && opened != 1) return failed(-91);
    if (v.Play2() < 0) return failed(-92);  // 1: Run answered S_FALSE (still running)
    if (const int32_t shared = share_exports().ShareSlot(channel); shared != 0) return failed(shared);
    SetEvent(ready);
    Sleep(60000);
    v.Close();
    v.Exit();
    return 0;
}

const wchar_t* shared_camera_name(int32_t channel) {
    static const wchar_t* const names[] = {VLXSHARE_NAME_1, VLXSHARE_NAME_2, VLXSHARE_NAME_3, VLXSHARE_NAME_4};
    return channel >= 1 && channel <= 4 ? names[channel - 1] : L"";
}

int read(int32_t channel, const wchar_t* file, HANDLE ready) {
    const Vidlox& v = vidlox();
    const int32_t device = init_and_find_device(shared_camera_name(channel));
    if (device < 0) return failed(-90);
    if (v.Open(device, 6, 0, 0, 0) != 0) return failed(-91);
    if (v.Play2() < 0) return failed(-92);
    FILE* out = _wfopen(file, L"w");
    if (!out) return failed(-93);
    const ShareExports& share = share_exports();
    std::vector<uint8_t> pixels(16 * 1024 * 1024);
    BITMAPINFO header{};
    const ULONGLONG end = GetTickCount64() + 60000;
    bool first = true;
    while (GetTickCount64() < end) {
        if (share.WaitFrame(1000) != 0) continue;
        int32_t size = static_cast<int32_t>(pixels.size());
        int64_t info[VLX_FRAME_INFO_COUNT] = {};
        if (share.GetFrame(pixels.data(), &size, &header, info) != 0) continue;
        const uint32_t number = frame_number(pixels.data(), header.bmiHeader.biWidth, header.bmiHeader.biHeight);
        std::fprintf(out, "%u\n", number);
        std::fflush(out);
        if (first) SetEvent(ready);
        first = false;
    }
    std::fclose(out);
    v.Close();
    v.Exit();
    return 0;
}

HANDLE squat(int32_t channel, const std::wstring& kind) {
    using namespace vlxshare::transport;
    const std::wstring name = mapping_name(channel);
    auto mapping = [&](SECURITY_ATTRIBUTES* security, DWORD protection) {
        return CreateFileMappingW(INVALID_HANDLE_VALUE, security, protection, 0, static_cast<DWORD>(kMappingBytes),
                                  name.c_str());
    };
    if (kind == L"mutex-as-event") return CreateMutexW(nullptr, FALSE, reader_event_name(channel, 0).c_str());
    if (kind == L"reserved") {
        OwnerOnly security;
        return mapping(security.get(), PAGE_READWRITE | SEC_RESERVE);
    }
    // Wine lets any owner be named: another user's SID stands for that user.
    const wchar_t* sddl = kind == L"other-owner" ? L"O:S-1-5-21-1-2-3-1001D:(A;;GA;;;WD)" : L"D:NO_ACCESS_CONTROL";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
    return mapping(&security, PAGE_READWRITE);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    const std::wstring mode = argv[1];
    const int32_t channel = static_cast<int32_t>(std::wcstol(argv[2], nullptr, 10));
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[argc - 1]);
    if (!ready) return 3;
    if (mode == L"publish" && argc == 6)
        return publish(channel, static_cast<int32_t>(std::wcstol(argv[3], nullptr, 10)),
                       static_cast<int32_t>(std::wcstol(argv[4], nullptr, 10)), ready);
    if (mode == L"read" && argc == 5) return read(channel, argv[3], ready);
    if (mode == L"squat" && argc == 5) {
        if (!squat(channel, argv[3])) return failed(-94);
        SetEvent(ready);
        Sleep(60000);
        return 0;
    }
    return 2;
}
