// Profile files whose writing fails where the platform cannot be made to
// fail on its own (a full disk), through fault injection on an open slot of
// the real camera: the old file stays whole, the new one goes, and the step
// is named. A rename that fails is the DLL tests' (a file held open).
#include "unit/capture_harness.h"

#include <fstream>
#include <iterator>

namespace vlx_test {
namespace {

constexpr HRESULT kDiskFull = HRESULT_FROM_WIN32(ERROR_DISK_FULL);

std::string contents(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(InProcessCapture, AProfileThatCannotBeWrittenNamesItsStep) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string file = std::string(temp) + "vidlox-fault.profile";
    const std::string aside = file + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
    std::ofstream(file, std::ios::binary) << "old\r\n";
    const struct {
        const char* key;
        int32_t expected;
    } faults[] = {{"vlx_SaveProfile->WriteFile", -6}, {"vlx_SaveProfile->FlushFileBuffers", -6}};
    for (const auto& f : faults) {
        vlx::fault::clear_all();
        vlx::fault::arm(f.key, kDiskFull);
        EXPECT_EQ(vlx_SaveProfile(file.c_str()), f.expected) << f.key;
        EXPECT_EQ(vlx_GetLastError(), kDiskFull) << f.key;
        EXPECT_EQ(contents(file), "old\r\n") << f.key;
        EXPECT_EQ(GetFileAttributesA(aside.c_str()), INVALID_FILE_ATTRIBUTES) << f.key;
    }
    vlx::fault::clear_all();
    EXPECT_EQ(vlx_SaveProfile(file.c_str()), 14);
    DeleteFileA(file.c_str());
}

}  // namespace
}  // namespace vlx_test
