// Opening, running and closing the test camera in each render mode, with the
// preview in a real host window.
#include "dll/capture_fixture.h"
#include "support/frame_check.h"
#include "support/message_window.h"

#include <cwchar>

namespace vlx_test {
namespace {

struct ModeCase {
    int32_t mode;
    intptr_t param1, param2;
    bool windowed;  // the renderer shows a window inside the host
    // Whether the test looks at the painted pixels. Only the Video Renderer
    // paints through GDI on Wine; the VMR9 presents through Direct3D, which
    // Xvfb (no GL) cannot show, so its window is left hidden.
    bool check_pixels = false;
};

class RenderModes : public Capture, public ::testing::WithParamInterface<ModeCase> {};

HWND preview_child(HWND host) { return GetWindow(host, GW_CHILD); }

RECT client_rect_of(HWND child, HWND host) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST_P(RenderModes, OpenPlayGrabStopClose) {
    const ModeCase c = GetParam();
    MessageWindow host;
    if (c.check_pixels) ShowWindow(host.handle(), SW_SHOW);
    const auto owner = static_cast<int32_t>(reinterpret_cast<intptr_t>(host.handle()));

    ASSERT_EQ(v.Open(camera, c.mode, 0, c.param1, c.param2), 0);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_OPEN);
    EXPECT_EQ(v.GetState(), 0);

    const int32_t played = v.Play(owner, 8, 16, 320, 240);
    EXPECT_TRUE(played == 0 || played == 1) << played;
    EXPECT_EQ(v.GetRef(), VLX_SLOT_RUNNING);
    EXPECT_EQ(v.GetState(), 2);
    EXPECT_EQ(v.Play(owner, 0, 0, 10, 10), -2) << "already running";

    std::vector<uint8_t> pixels(921600);
    BITMAPINFO header{};
    ASSERT_EQ(wait_for_frame(pixels, header), 0) << "frames reach the grabber";
    EXPECT_EQ(corner_problem(pixels.data(), 640, 480), "");

    if (c.windowed) {
        host.pump();
        HWND child = preview_child(host.handle());
        ASSERT_TRUE(child) << "the preview window is a child of the host";
        EXPECT_EQ(GetParent(child), host.handle());
        const RECT placed = client_rect_of(child, host.handle());
        EXPECT_EQ(placed.left, 8);
        EXPECT_EQ(placed.top, 16);
        EXPECT_EQ(placed.right - placed.left, 320);
        EXPECT_EQ(placed.bottom - placed.top, 240);
        if (c.check_pixels) {
            // The renderer really paints the camera's picture into the host.
            COLORREF top_left = 0, bottom_right = 0;
            for (int i = 0; i < 50; ++i) {
                host.pump();
                HDC dc = GetDC(child);
                top_left = GetPixel(dc, 8, 8);
                bottom_right = GetPixel(dc, 311, 231);
                ReleaseDC(child, dc);
                if (top_left == RGB(255, 0, 0) && bottom_right == RGB(255, 255, 255)) break;
                Sleep(20);
            }
            EXPECT_EQ(top_left, RGB(255, 0, 0)) << std::hex << top_left;
            EXPECT_EQ(bottom_right, RGB(255, 255, 255)) << std::hex << bottom_right;
        }
        EXPECT_EQ(v.ReSize(owner, 100, 50, 160, 120), 0);
        const RECT moved = client_rect_of(child, host.handle());
        EXPECT_EQ(moved.left, 100);
        EXPECT_EQ(moved.top, 50);
        EXPECT_EQ(moved.right - moved.left, 160);
    }

    EXPECT_EQ(v.Stop(), 0);
    EXPECT_EQ(v.GetState(), 0);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_OPEN);
    EXPECT_EQ(v.Stop(), -1) << "not running";
    EXPECT_EQ(v.Close(), 0);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED);
    EXPECT_EQ(v.Close(), -1);
    EXPECT_EQ(camera_live_objects(), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, RenderModes,
                         ::testing::Values(ModeCase{0, 0, 0, true, true},
                                           ModeCase{2, 1 /* VMR9Mode_Windowed */, 1, true},
                                           ModeCase{6, 0, 0, false}),
                         [](const auto& info) { return "Mode" + std::to_string(info.param.mode); });

TEST_F(Capture, ModeWithoutBranchBuildsAnUnconnectedGraph) {
    ASSERT_EQ(v.Open(camera, 5, 0, 0, 0), 0);
    EXPECT_EQ(v.GetImageMemSize(0), -2) << "the grabber is not connected";
    EXPECT_GE(v.Play2(), 0);
    EXPECT_EQ(v.GetState(), 2);
    std::vector<uint8_t> pixels(16);
    BITMAPINFO header{};
    int32_t size = 16;
    EXPECT_EQ(v.GetImageMem(pixels.data(), &size, &header), -2);
    EXPECT_EQ(v.Close(), 0);
}

TEST_F(Capture, ReSizeMovesThePreviewWithoutStarting) {
    MessageWindow host;
    const auto owner = static_cast<int32_t>(reinterpret_cast<intptr_t>(host.handle()));
    EXPECT_EQ(v.ReSize(owner, 0, 0, 10, 10), -1) << "closed slot";
    ASSERT_EQ(v.Open(camera, 0, 0, 0, 0), 0);
    EXPECT_EQ(v.ReSize(owner, 20, 30, 200, 150), 0);
    HWND child = preview_child(host.handle());
    ASSERT_TRUE(child);
    const RECT placed = client_rect_of(child, host.handle());
    EXPECT_EQ(placed.left, 20);
    EXPECT_EQ(placed.top, 30);
    EXPECT_EQ(placed.right - placed.left, 200);
    EXPECT_EQ(placed.bottom - placed.top, 150);
    EXPECT_EQ(v.GetState(), 0) << "still stopped";
    EXPECT_EQ(v.GetRef(), VLX_SLOT_OPEN);
}

TEST_F(Capture, RunningControlRefusals) {
    EXPECT_EQ(v.Play(0, 0, 0, 1, 1), -1);
    EXPECT_EQ(v.Play2(), -1);
    EXPECT_EQ(v.Stop(), -1);
    EXPECT_EQ(v.SetCapConfig(1), -1);
    EXPECT_EQ(v.GetState(), -1);
    EXPECT_EQ(v.Close(), -1);

    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    EXPECT_EQ(v.Open(camera, 6, 0, 0, 0), -2) << "already open";
    EXPECT_EQ(v.SetCapConfig(1), -1) << "needs a running graph";
    const int32_t played = v.Play2();
    EXPECT_TRUE(played == 0 || played == 1) << "1: Run answered S_FALSE, still starting";
    EXPECT_EQ(v.Play2(), -2);
    EXPECT_EQ(v.Open(camera, 6, 0, 0, 0), -2) << "running";
    EXPECT_EQ(v.GetState(), 2) << "the second open left the graph running";
}

TEST_F(Capture, BufferingChoice) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    EXPECT_EQ(v.SetCapConfig(-1), 0) << "the library-wide choice, 0 at load, not 1";
    EXPECT_EQ(v.SetCapConfig(2), 0) << "changes nothing";
    EXPECT_EQ(v.SetCapConfig(0), 0);
    std::vector<uint8_t> pixels(921600);
    BITMAPINFO header{};
    int32_t size = 921600;
    EXPECT_EQ(v.GetImageMem(pixels.data(), &size, &header), -3) << "buffering off";
    EXPECT_EQ(v.SetCapConfig(1), 0);
    EXPECT_EQ(v.SetCapConfig(-1), 1);
    EXPECT_EQ(wait_for_frame(pixels, header), 0);
    EXPECT_EQ(v.SetCapConfig(0), 0);
    EXPECT_EQ(v.SetCapConfig(-1), 0);
}

TEST_F(Capture, OpenRefusals) {
    EXPECT_EQ(v.Open(-1, 6, 0, 0, 0), -6);
    EXPECT_EQ(v.Open(camera, 6, -1, 0, 0), -6);
    EXPECT_EQ(v.Open(1000, 6, 0, 0, 0), -4) << "index beyond the devices";
    EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED);
    ASSERT_EQ(v.Exit(), 0);
    EXPECT_EQ(v.Open(camera, 6, 0, 0, 0), -1);
    ASSERT_EQ(v.Init(), 0);
}

TEST_F(Capture, AviModesRefuseCompressorsTheyCannotUse) {
    // The AVI files themselves are checked by platform_files.
    const wchar_t* file = L"vidlox-test.avi";
    const wchar_t* other_case = L"wine MS-RLE video codec";
    EXPECT_EQ(v.Open(camera, 300, 0, reinterpret_cast<intptr_t>(file), reinterpret_cast<intptr_t>(other_case)), -49);
    const wchar_t* prefix_only = L"Wine MS-RLE";
    EXPECT_EQ(v.Open(camera, 301, 0, reinterpret_cast<intptr_t>(file), reinterpret_cast<intptr_t>(prefix_only)), -49);
    // Wine's MS-RLE codec compresses 8 bits per pixel or less, not RGB24.
    const wchar_t* rle = L"Wine MS-RLE video codec";
    EXPECT_EQ(v.Open(camera, 300, 0, reinterpret_cast<intptr_t>(file), reinterpret_cast<intptr_t>(rle)), -51);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED);
    EXPECT_EQ(camera_live_objects(), 0);
    EXPECT_EQ(v.Open(camera, 6, 0, 0, 0), 0) << "the slot is usable again";
}

TEST_F(Capture, AviNamesGivenAsSmallIntegersAreNeverRead) {
    // Values below 65536 are no addresses: reading them would crash the host.
    const wchar_t* file = L"vidlox-test.avi";
    const wchar_t* compressor = L"Wine MS-RLE video codec";
    char log[8192] = "";
    v.SetLogBuffer(log, sizeof log);
    v.SetLogLevel(2);
    for (intptr_t small : {intptr_t{1}, intptr_t{2}, intptr_t{0xffff}}) {
        for (int32_t mode : {300, 301}) {
            EXPECT_EQ(v.Open(camera, mode, 0, reinterpret_cast<intptr_t>(file), small), -49) << small;
            log[0] = '\0';
            EXPECT_EQ(v.Open(camera, mode, 0, small, 0), -45) << small;
            EXPECT_EQ(std::string(log).find("SetOutputFileName"), std::string::npos) << "not handed on: " << log;
            EXPECT_EQ(v.Open(camera, mode, 0, small, reinterpret_cast<intptr_t>(compressor)), -50) << small;
            EXPECT_EQ(std::string(log).find("SetOutputFileName"), std::string::npos) << log;
            EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED);
        }
    }
    EXPECT_EQ(camera_live_objects(), 0);
}

// What the preview window goes through while vlx_Close releases its graph:
// every message it receives on this thread, with where it then is.
struct TeardownWatch {
    HWND preview = nullptr;
    HWND host = nullptr;
    int messages = 0;
    int visible_outside_host = 0;
    int parent_not_host = 0;  // messages after it was taken from the host
};
TeardownWatch* g_watch = nullptr;

LRESULT CALLBACK watch_preview(int code, WPARAM wparam, LPARAM lparam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (code == HC_ACTION && g_watch && sent->hwnd == g_watch->preview) {
        ++g_watch->messages;
        const bool in_host = GetAncestor(sent->hwnd, GA_PARENT) == g_watch->host;
        const bool child_of_host = (GetWindowLongW(sent->hwnd, GWL_STYLE) & WS_CHILD) != 0 && in_host;
        if (!in_host) ++g_watch->parent_not_host;
        if (IsWindowVisible(sent->hwnd) && !child_of_host) ++g_watch->visible_outside_host;
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

TEST_F(Capture, ClosedGraphsHideThePreviewBeforeLettingGo) {
    // The renderer's window is hidden while still inside the host and only
    // then given no owner: it never shows anywhere else while its graph goes
    // (Wine's renderer unparents a window still visible when it is destroyed).
    MessageWindow host;
    ShowWindow(host.handle(), SW_SHOW);
    const auto owner = static_cast<int32_t>(reinterpret_cast<intptr_t>(host.handle()));
    for (int32_t mode : {0, 2}) {
        ASSERT_EQ(v.Open(camera, mode, 0, mode == 2 ? 1 : 0, 1), 0) << mode;
        ASSERT_GE(v.Play(owner, 0, 0, 160, 120), 0);
        host.pump();
        TeardownWatch watch{GetWindow(host.handle(), GW_CHILD), host.handle()};
        ASSERT_TRUE(watch.preview && IsWindowVisible(watch.preview)) << mode;
        ASSERT_EQ(GetWindowThreadProcessId(watch.preview, nullptr), GetCurrentThreadId());
        g_watch = &watch;
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, watch_preview, nullptr, GetCurrentThreadId());
        EXPECT_EQ(v.Close(), 0);
        UnhookWindowsHookEx(hook);
        g_watch = nullptr;
        EXPECT_GT(watch.messages, 0) << mode;
        EXPECT_EQ(watch.visible_outside_host, 0) << mode;
        // Wine's renderer clears WS_CHILD as its window goes but leaves the
        // parent; only put_Owner(0) takes the window out of the host.
        EXPECT_GT(watch.parent_not_host, 0) << mode << ": given no owner before its graph went";
        EXPECT_FALSE(IsWindow(watch.preview)) << mode;
    }
}

// The renderer's window on this thread (Windows and Wine caption it so).
HWND renderer_window() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM out) {
            wchar_t title[32] = L"";
            GetWindowTextW(window, title, 32);
            if (std::wcscmp(title, L"ActiveMovie Window") != 0) return TRUE;
            *reinterpret_cast<HWND*>(out) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Without an owner the preview is a borderless window of its own where the
// host asked, shown without taking the activation from the host's window,
// placed again and again (a second placement once hung in Wine's
// ShowWindow), and back after an owner.
TEST_F(Capture, APreviewWithoutAnOwnerIsAWindowOfItsOwn) {
    MessageWindow host;
    ShowWindow(host.handle(), SW_SHOW);
    const auto owner = static_cast<int32_t>(reinterpret_cast<intptr_t>(host.handle()));
    for (int32_t mode : {0, 2}) {
        ASSERT_EQ(v.Open(camera, mode, 0, mode == 2 ? 1 : 0, 1), 0) << mode;
        ASSERT_GE(v.Play(0, 30, 40, 200, 150), 0);
        const HWND preview = renderer_window();
        ASSERT_TRUE(preview) << mode;
        for (int placement = 0; placement < 4; ++placement) {
            if (placement == 2) {
                ASSERT_EQ(v.ReSize(owner, 0, 0, 160, 120), 0);
                EXPECT_EQ(GetAncestor(preview, GA_PARENT), host.handle()) << "a child of the host again";
            }
            if (placement >= 1) { ASSERT_EQ(v.ReSize(0, 30 + placement, 40, 200, 150), 0); }
            host.pump();
            const LONG style = GetWindowLongW(preview, GWL_STYLE);
            RECT place{};
            GetWindowRect(preview, &place);
            EXPECT_EQ(GetAncestor(preview, GA_PARENT), GetDesktopWindow()) << mode << " " << placement;
            EXPECT_EQ(style & (WS_CHILD | WS_POPUP | WS_CAPTION | WS_VISIBLE), WS_POPUP | WS_VISIBLE)
                << mode << " " << placement << std::hex << " style " << style;
            EXPECT_EQ(place.left, 30 + placement);
            EXPECT_EQ(place.right - place.left, 200);
            // Wine's SetParent activates the window it takes from an owner.
            if (placement < 2) { EXPECT_EQ(GetActiveWindow(), host.handle()) << "the host's window stays active"; }
        }
        EXPECT_EQ(v.Close(), 0);
        EXPECT_FALSE(IsWindow(preview)) << mode;
    }
}

TEST_F(Capture, Vmr7StopsAtSetNumberOfStreamsOnWine) {
    // Wine's VMR7 does not implement IVMRFilterConfig::SetNumberOfStreams; the
    // rest of mode 1 is proven in-process with that one call stood in for.
    EXPECT_EQ(v.Open(camera, 1, 0, 1 /* VMRMode_Windowed */, 1), -88);
    EXPECT_EQ(v.GetLastError(), E_NOTIMPL);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED);
    EXPECT_EQ(camera_live_objects(), 0);
}

TEST_F(Capture, VmrRefusingTheRenderingModeLeavesNoVmr) {
    EXPECT_EQ(v.Open(camera, 1, 0, 0x7fff, 1), -87);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED);
    EXPECT_EQ(v.Open(camera, 2, 0, 0x7fff, 1), -97);
    EXPECT_EQ(camera_live_objects(), 0);
}

}  // namespace
}  // namespace vlx_test
