// List failures that Wine cannot produce, through fault injection.
#include "library/fault_injection.h"
#include "support/message_window.h"
#include "vidlox.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ListFaults : public ::testing::Test {
protected:
    void SetUp() override {
        vlx::fault::clear_all();
        ASSERT_EQ(vlx_Init(), 0);
        vlx_SetLogBuffer(log, sizeof log);
        vlx_SetLogLevel(1);
    }
    void TearDown() override {
        vlx::fault::clear_all();
        vlx_SetLogBuffer(nullptr, 0);
        vlx_SetLogLevel(0);
        vlx_SetErrorCallbackHwnd(nullptr, 0);
        vlx_Exit();
    }
    char log[4096] = "";
};

TEST_F(ListFaults, DeviceEnumeratorCannotBeCreated) {
    vlx_test::MessageWindow window;
    vlx_SetErrorCallbackHwnd(window.handle(), 0);
    for (const char* key : {"vlx_GetDeviceList->CoCreateInstance", "vlx_GetDeviceListSize->CoCreateInstance",
                            "vlx_GetCodecList->CoCreateInstance", "vlx_GetCodecListSize->CoCreateInstance"}) {
        vlx::fault::arm(key, REGDB_E_CLASSNOTREG);
    }
    char buffer[64] = "";
    EXPECT_EQ(vlx_GetDeviceList(buffer, 0), -1);
    EXPECT_EQ(vlx_GetDeviceListSize(0), -1);
    EXPECT_EQ(vlx_GetCodecList(buffer, 0), -2);
    EXPECT_EQ(vlx_GetCodecListSize(0), -2);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(vlx_GetLastError(), REGDB_E_CLASSNOTREG);
    const std::string text = log;
    EXPECT_NE(text.find("1 vlx_GetDeviceList->CoCreateInstance = "), std::string::npos);
    EXPECT_NE(text.find("1 vlx_GetCodecListSize->CoCreateInstance = "), std::string::npos);
    EXPECT_EQ(text.find("CreateClassEnumerator"), std::string::npos) << "nothing after the failed creation";
    const auto& received = window.pump();
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[0].lparam, static_cast<LPARAM>(static_cast<int32_t>(REGDB_E_CLASSNOTREG)));
}

TEST_F(ListFaults, FailedClassEnumeratorIsAnEmptyCategory) {
    vlx::fault::arm("vlx_GetCodecList->CreateDevEnum->CreateClassEnumerator", E_OUTOFMEMORY);
    char buffer[64] = "kept";
    EXPECT_EQ(vlx_GetCodecList(buffer, 0), -3);
    EXPECT_STREQ(buffer, "kept");
    EXPECT_STREQ(log, "1 vlx_GetCodecList->CreateDevEnum->CreateClassEnumerator = E_OUTOFMEMORY\r\n");
}

TEST_F(ListFaults, UnlistedCodeIsLoggedWithFallbackText) {
    vlx::fault::arm("vlx_GetDeviceListSize->CoCreateInstance", static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(vlx_GetDeviceListSize(0), -1);
    EXPECT_STREQ(log,
                 "1 vlx_GetDeviceListSize->CoCreateInstance = "
                 "\x96\xa2\x92\xe8\x8b\x60\x83\x47\x83\x89\x81\x5b\x83\x52\x81\x5b\x83\x68\x81\x46"
                 "0x80070002\r\n");
}

TEST_F(ListFaults, FailedReadKeepsListAndSizeInStep) {
    // The second name cannot be read: it stays in the list as an empty line.
    vlx::fault::arm("vlx_GetCodecList->PropertyBag->Read", E_FAIL, 1, 1);
    vlx::fault::arm("vlx_GetCodecListSize->PropertyBag->Read", E_FAIL, 1, 1);
    const int32_t size = vlx_GetCodecListSize(0);
    char buffer[256] = "";
    EXPECT_EQ(vlx_GetCodecList(buffer, 0), 4);
    EXPECT_STREQ(buffer, "vidlox Test MJPEG Compressor\r\n\r\nWine MS-RLE video codec\r\nWine Video 1 video codec\r\n");
    EXPECT_EQ(size, static_cast<int32_t>(std::string(buffer).size()) + 1);
}

}  // namespace
