// Status names at the edges of the table's ranges and the two Shift-JIS texts.
#include "library/status_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string name_of(uint32_t code) {
    char text[1024];
    vlx::format_status_name(static_cast<HRESULT>(code), text, sizeof text);
    return text;
}

TEST(StatusNames, RangeEdgesFollowCodeOrder) {
    EXPECT_EQ(name_of(0x00000000), "S_OK");
    EXPECT_EQ(name_of(0x00000001), "S_FALSE");
    EXPECT_EQ(name_of(0x00040268), "VFW_S_CANT_CUE");
    EXPECT_EQ(name_of(0x80004001), "E_NOTIMPL");
    EXPECT_EQ(name_of(0x80004005), "E_FAIL");
    EXPECT_EQ(name_of(0x80070057), "E_INVALIDARG");
    EXPECT_EQ(name_of(0x80040200), "VFW_E_INVALIDMEDIATYPE");
    EXPECT_EQ(name_of(0x80040209), "VFW_E_NOT_CONNECTED");
    EXPECT_EQ(name_of(0x80040227), "VFW_E_WRONG_STATE");
    EXPECT_EQ(name_of(0x80040236), "VFW_E_ADVISE_ALREADY_SET");
    EXPECT_EQ(name_of(0x8004027B), "VFW_E_DVD_DECNOTENOUGH");
    EXPECT_EQ(name_of(0x80040295), "VFW_E_CERTIFICATION_FAILURE");
    EXPECT_EQ(name_of(0x800403F2), "VFW_E_BAD_KEY");
}

TEST(StatusNames, NoPreviewPinIsShiftJis) {
    EXPECT_EQ(name_of(0x0004027E),
              "VFW_S_NOPREVIEWPIN(\x91\xb1\x8d\x73\x89\xc2\x94\x5c\x82\xc8\x83\x47\x83\x89\x81\x5b)");
}

TEST(StatusNames, GapsAndForeignCodesTakeTheFallback) {
    const std::string prefix = "\x96\xa2\x92\xe8\x8b\x60\x83\x47\x83\x89\x81\x5b\x83\x52\x81\x5b\x83\x68\x81\x46";
    EXPECT_EQ(name_of(0x80070002), prefix + "0x80070002");
    EXPECT_EQ(name_of(0x887A0005), prefix + "0x887a0005") << "lower-case hex";
    EXPECT_EQ(name_of(0x80040237), prefix + "0x80040237") << "a gap between DirectShow ranges";
    EXPECT_EQ(name_of(0x00000002), prefix + "0x00000002");
}

}  // namespace
