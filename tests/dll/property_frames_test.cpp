// Property frames and the compressor dialog through the DLL, on Wine's real
// OleCreatePropertyFrame under Xvfb: a watcher thread reads the modal frame
// and closes it.
#include "dll/capture_fixture.h"
#include "support/frame_watcher.h"
#include "support/message_window.h"

namespace vlx_test {
namespace {

constexpr const wchar_t* kPageText = L"RGB24 640 x 480, 30.00 frames per second";
const std::wstring kPinCaption = L"デバイスピンのプロパティ";

class PropertyFrames : public Capture {
protected:
    void SetUp() override {
        Capture::SetUp();
        v.SetLogBuffer(log, sizeof log);
        v.SetLogLevel(2);
    }
    MessageWindow host;
    char log[2048] = "";
};

TEST_F(PropertyFrames, DevicePinFrameShowsTheCameraPage) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    log[0] = '\0';
    FrameWatcher watcher(kPageText);
    EXPECT_EQ(v.DevPinProp(host.handle()), 0);
    const FrameSeen seen = watcher.finish();
    ASSERT_TRUE(seen.found) << "no frame with the camera's page";
    EXPECT_NE(seen.caption.find(kPinCaption), std::wstring::npos) << utf8(seen.caption.c_str());
    EXPECT_EQ(seen.tabs, std::vector<std::wstring>{L"Format"});
    EXPECT_STREQ(log,
                 "1 vlx_DevPinProp->DeviceFilter->EnumPins = S_OK\r\n"
                 "1 vlx_DevPinProp->SourceOut->QueryInterface(SpecifyPropertyPages) = S_OK\r\n");
}

TEST_F(PropertyFrames, FilterFrameIsCaptionedWithTheFilterName) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    log[0] = '\0';
    FrameWatcher watcher(kPageText);
    EXPECT_EQ(v.FilterProp(host.handle(), L"Device Filter"), 0);
    const FrameSeen seen = watcher.finish();
    ASSERT_TRUE(seen.found) << "no frame with the camera's page";
    EXPECT_NE(seen.caption.find(L"Device Filter"), std::wstring::npos) << utf8(seen.caption.c_str());
    EXPECT_EQ(seen.tabs, std::vector<std::wstring>{L"Format"});
    EXPECT_STREQ(log,
                 "1 vlx_FilterProp->GraphBuilder->FindFilterByName(VideoRenderer) = S_OK\r\n"
                 "1 vlx_FilterProp->VideoRenderer->QueryInterface(SpecifyPropertyPages) = S_OK\r\n"
                 "1 vlx_FilterProp->VideoRenderer->QueryFilterInfo = S_OK\r\n");
}

TEST_F(PropertyFrames, Refusals) {
    EXPECT_EQ(v.FilterProp(host.handle(), L"Device Filter"), -1) << "never opened";
    EXPECT_EQ(v.DevPinProp(host.handle()), -1);
    EXPECT_EQ(v.CodecDialog(host.handle(), 1), -1);
    EXPECT_STREQ(log, "") << "nothing reported";

    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    log[0] = '\0';
    EXPECT_EQ(v.FilterProp(host.handle(), L"No such filter"), -2);
    EXPECT_EQ(v.GetLastError(), VFW_E_NOT_FOUND);
    EXPECT_STREQ(log, "1 vlx_FilterProp->GraphBuilder->FindFilterByName(VideoRenderer) = VFW_E_NOT_FOUND\r\n");
    log[0] = '\0';
    // Wine's Sample Grabber and Null Renderer have no property pages.
    for (const wchar_t* name : {L"Sample Grabber", L"Null Renderer"}) {
        EXPECT_EQ(v.FilterProp(host.handle(), name), -2) << utf8(name);
        EXPECT_EQ(v.GetLastError(), E_NOINTERFACE);
    }
    log[0] = '\0';
    EXPECT_EQ(v.FilterProp(host.handle(), nullptr), -2);
    EXPECT_EQ(v.FilterProp(host.handle(), reinterpret_cast<const wchar_t*>(1)), -2) << "no address: never read";
    EXPECT_STREQ(log, "") << "neither is looked up";
    EXPECT_EQ(v.CodecDialog(host.handle(), 1), -1) << "no AVI branch, no compressor";
    ASSERT_EQ(v.Close(), 0);

    const int32_t no_pins = device_index(VLXCAM_NAME_NO_PINS);
    ASSERT_GE(no_pins, 0);
    ASSERT_EQ(v.Open(no_pins, 5, 0, 0, 0), 0);
    EXPECT_EQ(v.DevPinProp(host.handle()), -4);
    ASSERT_EQ(v.Close(), 0);
    ASSERT_EQ(v.Exit(), 0);
    EXPECT_EQ(v.CodecDialog(host.handle(), 1), -1) << "not initialised, no compressor";
    ASSERT_EQ(v.Init(), 0);
}

}  // namespace
}  // namespace vlx_test
