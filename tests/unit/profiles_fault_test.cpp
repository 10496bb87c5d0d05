// Profile files whose writing or reading fails where the platform cannot be
// made to fail on its own (a full disk, a read error), through fault
// injection on an open slot of the real camera: the old file stays whole,
// the new one goes, and the step is named.
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

TEST_F(InProcessCapture, AProfileThatCannotBeWrittenOrReadNamesItsStep) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string file = std::string(temp) + "vidlox-fault.profile";
    const std::string aside = file + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
    std::ofstream(file, std::ios::binary) << "old\r\n";
    const struct {
        const char* key;
        int32_t expected;
    } faults[] = {{"vlx_SaveProfile->WriteFile", -6},
                  {"vlx_SaveProfile->FlushFileBuffers", -6},
                  {"vlx_SaveProfile->MoveFileExW", -7}};
    for (const auto& f : faults) {
        vlx::fault::clear_all();
        vlx::fault::arm(f.key, kDiskFull);
        EXPECT_EQ(vlx_SaveProfile(file.c_str()), f.expected) << f.key;
        EXPECT_EQ(vlx_GetLastError(), kDiskFull) << f.key;
        EXPECT_EQ(contents(file), "old\r\n") << f.key;
        EXPECT_EQ(GetFileAttributesA(aside.c_str()), INVALID_FILE_ATTRIBUTES) << f.key;
    }
    vlx::fault::clear_all();
    ASSERT_EQ(vlx_SaveProfile(file.c_str()), 14);
    vlx::fault::arm("vlx_ApplyProfile->ReadFile", kDiskFull);
    EXPECT_EQ(vlx_ApplyProfile(file.c_str(), 0), -5);
    std::string report(64, '\0');
    EXPECT_EQ(vlx_GetProfileReport(report.data()), 1);
    EXPECT_STREQ(report.c_str(), "0 unreadable file\r\n");
    vlx::fault::clear_all();
    EXPECT_EQ(vlx_ApplyProfile(file.c_str(), 0), 14);
    DeleteFileA(file.c_str());
}

}  // namespace
}  // namespace vlx_test
