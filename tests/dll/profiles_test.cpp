// Profiles through the DLL on the test camera's twins: a profile saved,
// edited by hand and applied line by line; the automatic profile after an
// unplugged camera comes back; hostile files and another twin's; a save that
// cannot finish.
#include "dll/capture_fixture.h"
#include "dll/device_health.h"
#include "support/text_lines.h"

#include <fstream>
#include <sstream>

namespace vlx_test {
namespace {

template <class Fn>
Fn resolved(const char* name) {
    vidlox();
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"vidlox64.dll"), name)));
}
#define VLX_EXPORT(name) const decltype(&vlx_##name) name = resolved<decltype(&vlx_##name)>("vlx_" #name)

std::string read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void write_file(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << text;
}
// `text` with the line that starts with `start` replaced by `line`.
std::string replaced(std::string text, const std::string& start, const std::string& line) {
    const size_t at = text.find("\r\n" + start) + 2;
    return text.replace(at, text.find("\r\n", at) - at, line);
}
class Profiles : public Capture {
protected:
    void SetUp() override {
        Capture::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "vidlox-profiles";
        CreateDirectoryA(folder.c_str(), nullptr);
        file = folder + "\\twin.profile";
        DeleteFileA(file.c_str());
    }
    void TearDown() override {
        Capture::TearDown();
        h.Replug(VLXCAM_PATH_TWIN_1);
    }
    int32_t twin(const wchar_t* path) { return h.FindDevice(utf8(path).c_str(), 0); }
    std::string report() {
        std::string text(static_cast<size_t>(std::max(GetProfileReportSize(), 1)), '\0');
        EXPECT_GE(GetProfileReport(text.data()), 0);
        return text.c_str();
    }
    std::pair<int32_t, int32_t> held(int32_t id) {
        int32_t value = 0, mode = 0;
        EXPECT_EQ(GetControl(id, &value, &mode), 0) << id;
        return {value, mode};
    }
    std::string format_in_force() {
        char subtype[VLX_SUBTYPE_TEXT_SIZE] = {};
        int32_t width = 0, height = 0;
        double rate = 0;
        EXPECT_EQ(GetDevFormat(subtype, &width, &height, &rate), 0);
        std::ostringstream text;
        text << subtype << " " << width << "x" << height << "@" << rate;
        return text.str();
    }

    VLX_EXPORT(SaveProfile);
    VLX_EXPORT(ApplyProfile);
    VLX_EXPORT(SetAutoProfile);
    VLX_EXPORT(GetProfileReport);
    VLX_EXPORT(GetProfileReportSize);
    VLX_EXPORT(SetControl);
    VLX_EXPORT(GetControl);
    VLX_EXPORT(GetDevFormat);
    const DeviceHealth& h = device_health();
    std::string folder, file;
};

TEST_F(Profiles, SavedEditedByHandAndAppliedLineByLine) {
    v.SetDevWidth(320);
    v.SetDevHeight(240);
    v.SetDevFrameRate(15);
    ASSERT_EQ(v.Open(twin(VLXCAM_PATH_TWIN_1), 6, 0, 0, 0), 0);
    ASSERT_EQ(SetControl(VLX_CONTROL_BRIGHTNESS, 200, VLX_CONTROL_MANUAL), 0);
    ASSERT_EQ(SetControl(VLX_CONTROL_FOCUS, 18, VLX_CONTROL_MANUAL), 0);
    ASSERT_EQ(SaveProfile(file.c_str()), 14) << "the format and the 13 controls the camera has";
    const std::string saved = read_file(file);
    for (const std::string& line : {"device = " + utf8(VLXCAM_PATH_TWIN_1), std::string("format = RGB24 320 240 15.00"),
                                   std::string("brightness = 200 manual range 0 255 1"),
                                   std::string("exposure = -6 auto range -13 -1 1"),
                                   std::string("focus = 18 manual range 10 250 8")})
        EXPECT_NE(saved.find("\r\n" + line + "\r\n"), std::string::npos) << line << "\n" << saved;

    // What a person does to it: other values, a range that no longer holds,
    // and mistakes.
    std::string edited = replaced(saved, "format =", "format = RGB24 640 480 30");
    edited = replaced(edited, "brightness =", "  Brightness =\t60 ");
    edited = replaced(edited, "focus =", "focus = 26 manual range 10 250 4");
    edited = replaced(edited, "zoom =", "zoom = 9999");
    edited = replaced(edited, "gamma =", "gamma = auto");
    edited = replaced(edited, "gain =", "gain = 7 manual range 0 255");
    edited += "hue = 5\r\nbrightness = 1\r\ncolour = 3\r\njunk\r\n";
    write_file(file, edited);
    ASSERT_EQ(SetControl(VLX_CONTROL_BRIGHTNESS, 11, VLX_CONTROL_MANUAL), 0);
    ASSERT_EQ(SetControl(VLX_CONTROL_EXPOSURE, -13, VLX_CONTROL_MANUAL), 0);

    EXPECT_EQ(ApplyProfile(file.c_str(), 0), 10);
    // Lines 1-7 explain the format, 8 names the device.
    EXPECT_EQ(report(), "9 applied format\r\n10 applied brightness\r\n11 applied contrast\r\n12 applied saturation\r\n"
                        "13 applied sharpness\r\n14 bad_mode gamma\r\n15 applied white_balance\r\n"
                        "16 applied backlight_compensation\r\n17 bad_value gain\r\n18 applied pan\r\n"
                        "19 applied tilt\r\n20 off_range zoom\r\n21 applied exposure\r\n22 range_changed focus\r\n"
                        "23 lacking hue\r\n24 repeated brightness\r\n25 unknown_name -\r\n26 damaged -\r\n");
    EXPECT_EQ(held(VLX_CONTROL_BRIGHTNESS), std::make_pair(60, VLX_CONTROL_MANUAL));
    EXPECT_EQ(held(VLX_CONTROL_EXPOSURE).second, VLX_CONTROL_AUTO);
    EXPECT_EQ(held(VLX_CONTROL_FOCUS), std::make_pair(18, VLX_CONTROL_MANUAL)) << "skipped: its range changed";
    EXPECT_EQ(format_in_force(), "RGB24 640x480@30");
    EXPECT_EQ(ApplyProfile(file.c_str(), 0), 10) << "the format in force counts without a new SetFormat";
    ASSERT_EQ(v.Close(), 0);
    ASSERT_EQ(v.Open(twin(VLXCAM_PATH_TWIN_1), 6, 0, 0, 0), 0);
    EXPECT_EQ(format_in_force(), "RGB24 320x240@15") << "the slot's own request is left as the host made it";
}

TEST_F(Profiles, TheAutomaticProfileReturnsWithTheUnpluggedCamera) {
    ASSERT_EQ(v.Open(twin(VLXCAM_PATH_TWIN_1), 6, 0, 0, 0), 0);
    ASSERT_EQ(SetControl(VLX_CONTROL_BRIGHTNESS, 77, VLX_CONTROL_MANUAL), 0);
    ASSERT_EQ(SetControl(VLX_CONTROL_WHITE_BALANCE, 3000, VLX_CONTROL_MANUAL), 0);
    ASSERT_EQ(SaveProfile(file.c_str()), 14);
    // A format the slot does not ask for: only the profile can bring it back.
    write_file(file, replaced(read_file(file), "format =", "format = RGB24 320 240 15.00"));
    ASSERT_EQ(SetAutoProfile(file.c_str()), 0);
    ASSERT_GE(v.Play2(), 0);
    ASSERT_GE(h.GetDeviceState(), 0);  // watched from now on

    ASSERT_EQ(h.Unplug(VLXCAM_PATH_TWIN_1), 0);
    ASSERT_EQ(wait_for_device_state(VLX_DEVICE_LOST, 3000), VLX_DEVICE_LOST);
    ASSERT_EQ(h.Replug(VLXCAM_PATH_TWIN_1), 0);
    ASSERT_EQ(h.Reopen(), 0) << "the profile changes nothing vlx_Reopen answers";
    EXPECT_EQ(held(VLX_CONTROL_BRIGHTNESS), std::make_pair(77, VLX_CONTROL_MANUAL));
    EXPECT_EQ(held(VLX_CONTROL_WHITE_BALANCE), std::make_pair(3000, VLX_CONTROL_MANUAL));
    EXPECT_EQ(format_in_force(), "RGB24 320x240@15");
    const auto reported = split_lines(report().c_str());
    EXPECT_EQ(reported.size(), 14u);
    for (const std::string& line : reported) EXPECT_NE(line.find(" applied "), std::string::npos) << line;
    EXPECT_NE(grab_frame_number(), UINT32_MAX) << "frames in the profile's format after the reopen";
    EXPECT_EQ(v.GetImageMemSize(0), 320 * 240 * 3);

    // Without it the camera is back to its own defaults.
    ASSERT_EQ(SetAutoProfile(nullptr), 0);
    ASSERT_EQ(h.Reopen(), 0);
    EXPECT_EQ(held(VLX_CONTROL_BRIGHTNESS), std::make_pair(128, VLX_CONTROL_MANUAL));
    EXPECT_EQ(format_in_force(), "RGB24 640x480@30");
    // Another device in the slot is left alone.
    ASSERT_EQ(SetAutoProfile(file.c_str()), 0);
    ASSERT_EQ(v.Close(), 0);
    ASSERT_EQ(v.Open(twin(VLXCAM_PATH_TWIN_2), 6, 0, 0, 0), 0);
    EXPECT_EQ(held(VLX_CONTROL_BRIGHTNESS).first, 128);
    EXPECT_EQ(report(), "0 other_device file\r\n");
}

TEST_F(Profiles, HostileFilesAreRefusedWholeOrLineByLine) {
    ASSERT_EQ(v.Open(twin(VLXCAM_PATH_TWIN_1), 6, 0, 0, 0), 0);
    const std::string device = "device = " + utf8(VLXCAM_PATH_TWIN_1) + "\n";
    // Lines after the device line, each with what becomes of it.
    const std::pair<std::string, std::string> lines[] = {
        {std::string(VLX_PROFILE_MAX_LINE + 1, 'a'), "too_long -"},
        {"brightness = 9\xff", "not_utf8 -"},
        {"brightness = \xe0\x80\xaf", "not_utf8 -"},  // an overlong "/"
        {"brightness = \xed\xa0\x80", "not_utf8 -"},  // a surrogate
        {std::string("gain = 1\0", 9) + "2", "not_utf8 -"},
        {"contrast = 99999999999", "bad_value contrast"},
        {"gamma = 100 manual range 72 500", "bad_value gamma"},
        {"format = RGB24 640 480 inf", "bad_value format"},
        {"format = NOPE 640 480 30", "repeated format"},
        {"= 5", "damaged -"},
        {"sharpness 5", "damaged -"},
        {"../../etc = 1", "unknown_name -"},
        {"zoom = 500 manual range 100 500 1", "applied zoom"},
        {"device = elsewhere", "repeated device"},
    };
    std::string text = device;
    std::ostringstream expected;
    int number = 1;
    for (const auto& [line, outcome] : lines) {
        text += line + (number % 2 ? "\r\n" : "\n");
        expected << ++number << " " << outcome << "\r\n";
    }
    write_file(file, text);
    EXPECT_EQ(ApplyProfile(file.c_str(), 0), 1);
    EXPECT_EQ(report(), expected.str());

    // Files refused whole (or another twin's, taken when the host says so),
    // and names and flags refused before any file is read.
    const std::string other = folder + "\\other.profile";
    const std::string twin2 = "device = " + utf8(VLXCAM_PATH_TWIN_2) + "\ngain = 5\n";
    const struct {
        const char* what;
        std::string name, text;  // the text is written when the name is `other`
        int64_t size;            // then grown to this, sparse
        int32_t flags, code;
        const char* report;      // null: the report is left as it was
    } files[] = {
        {"missing", folder + "\\none.profile", "", 0, 0, -5, "0 unreadable file\r\n"},
        {"a directory", folder, "", 0, 0, -5, "0 unreadable file\r\n"},
        {"1 GB", other, device, int64_t{1} << 30, 0, -6, "0 too_large file\r\n"},
        {"one byte over", other, std::string(VLX_PROFILE_MAX_BYTES, '#') + "\n", 0, 0, -6, "0 too_large file\r\n"},
        {"no device line", other, "brightness = 5\r\n", 0, 0, -7, "0 other_device file\r\n"},
        {"the other twin's", other, twin2, 0, 0, -7, "0 other_device file\r\n"},
        {"the other twin's, taken", other, twin2, 0, VLX_PROFILE_ANY_DEVICE, 1, "2 applied gain\r\n"},
        {"not UTF-8", "prof\xff.txt", "", 0, 0, -3, nullptr},
        {"empty name", "", "", 0, 0, -3, nullptr},
        {"unknown flag", file, "", 0, 2, -4, nullptr},
    };
    for (const auto& f : files) {
        if (f.name == other) write_file(other, f.text);
        if (f.size > 0) {
            HANDLE grown = CreateFileA(other.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            EXPECT_TRUE(SetFilePointerEx(grown, LARGE_INTEGER{.QuadPart = f.size}, nullptr, FILE_BEGIN) &&
                        SetEndOfFile(grown));
            CloseHandle(grown);
        }
        const std::string before = report();
        EXPECT_EQ(ApplyProfile(f.name.c_str(), f.flags), f.code) << f.what;
        EXPECT_EQ(report(), f.report ? f.report : before) << f.what;
    }
    EXPECT_EQ(held(VLX_CONTROL_GAIN).first, 5);
    EXPECT_EQ(ApplyProfile(nullptr, 0), -3);
    DeleteFileA(other.c_str());
}

TEST_F(Profiles, ASaveThatCannotFinishLeavesTheOldFileWhole) {
    ASSERT_EQ(v.Open(twin(VLXCAM_PATH_TWIN_1), 6, 0, 0, 0), 0);
    write_file(file, "device = the old one\r\n");
    // Held open by another program that lets nobody delete or replace it.
    HANDLE held_open = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held_open, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SaveProfile(file.c_str()), -7);
    CloseHandle(held_open);
    EXPECT_EQ(SaveProfile((folder + "\\no such folder\\x.profile").c_str()), -5);
    EXPECT_EQ(read_file(file), "device = the old one\r\n");
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*.tmp").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "the new file was removed: " << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    EXPECT_EQ(SaveProfile(file.c_str()), 14);
}

}  // namespace
}  // namespace vlx_test
