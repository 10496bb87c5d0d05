// List failures that Wine cannot produce, through fault injection.
#include "library/fault_injection.h"
#include "support/message_window.h"
#include "unit/import_patch.h"
#include "vidlox.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// VariantInit as its documentation describes it, and as Windows before 8.1
// has it: vt becomes VT_EMPTY and the rest of the VARIANT keeps what it held,
// here a value that no allocation returned. Wine's zeroes the whole VARIANT.
constexpr uintptr_t kStackGarbage = 0xa5a5a5a5a5a5a5a5ull;
void WINAPI documented_variant_init(VARIANTARG* variant) {
    std::memset(variant, 0xa5, sizeof *variant);
    variant->vt = VT_EMPTY;
}

// VariantClear that counts strings it is asked to free which no allocation
// returned: Windows frees them and corrupts its heap, Wine's heap shrugs.
int g_foreign_strings_cleared = 0;
HRESULT(WINAPI* g_platform_variant_clear)(VARIANTARG*) = nullptr;
HRESULT WINAPI counting_variant_clear(VARIANTARG* variant) {
    if (variant->vt == VT_BSTR && reinterpret_cast<uintptr_t>(variant->bstrVal) == kStackGarbage) {
        ++g_foreign_strings_cleared;
        variant->vt = VT_EMPTY;
    }
    return g_platform_variant_clear(variant);
}

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
    EXPECT_EQ(vlx_GetCodecList(buffer, 0), 7) << "the test platform's compressor, Wine's three, the test codec's three";
    EXPECT_STREQ(buffer,
                 "vidlox Test MJPEG Compressor\r\n\r\nvidlox Test Decompressor (MJPG)\r\nWine MS-RLE video codec\r\n"
                 "Wine Video 1 video codec\r\nvidlox Test Decompressor (NV12)\r\nvidlox Test Decompressor (YUY2)\r\n");
    EXPECT_EQ(size, static_cast<int32_t>(std::string(buffer).size()) + 1);
}

TEST_F(ListFaults, FailedReadLeavesNothingToClear) {
    // A Read that fails leaves the VARIANT as it was, and the library clears
    // it afterwards: it must still be VT_EMPTY, whatever else it holds.
    vlx_test::ImportPatch variant_init("oleaut32.dll", "VariantInit",
                                       reinterpret_cast<void*>(&documented_variant_init));
    vlx_test::ImportPatch variant_clear("oleaut32.dll", "VariantClear",
                                        reinterpret_cast<void*>(&counting_variant_clear));
    ASSERT_TRUE(variant_init.ok() && variant_clear.ok());
    g_platform_variant_clear = reinterpret_cast<decltype(g_platform_variant_clear)>(variant_clear.original());
    g_foreign_strings_cleared = 0;
    vlx::fault::arm("vlx_GetCodecListSize->PropertyBag->Read", E_FAIL);
    vlx::fault::arm("vlx_GetCodecList->PropertyBag->Read", E_FAIL);
    EXPECT_EQ(vlx_GetCodecListSize(0), 15) << "seven empty lines (with the test codec's three)";
    char buffer[16] = "";
    EXPECT_EQ(vlx_GetCodecList(buffer, 0), 7);
    EXPECT_STREQ(buffer, "\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
    EXPECT_EQ(g_foreign_strings_cleared, 0);
}

}  // namespace
