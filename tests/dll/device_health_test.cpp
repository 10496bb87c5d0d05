// Device identity (paths, twins, an index that moves) and health (unplug,
// stall, a camera in use, a stream error, the notify message, reopening)
// through the DLL, on the test camera's twins and its test exports.
#include "dll/capture_fixture.h"
#include "dll/device_health.h"
#include "support/category_entry.h"
#include "support/message_window.h"
#include "support/text_lines.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <set>

namespace vlx_test {
namespace {

constexpr UINT kStateMessage = WM_APP + 21;
// Sorts before every entry of the test camera: registered, it moves them all
// one place down the list.
constexpr GUID kEarlierEntry = {0x0a1e5c40, 0x3b2d, 0x4f1a, {0x9c, 0x6e, 0x5d, 0x0b, 0x8a, 0x2f, 0x71, 0x01}};
constexpr GUID kLateMicrophone = {0x7a1e5c40, 0x3b2d, 0x4f1a, {0x9c, 0x6e, 0x5d, 0x0b, 0x8a, 0x2f, 0x71, 0xfe}};

const std::string kTwin = utf8(VLXCAM_NAME_TWIN);
const std::string kTwinPath1 = utf8(VLXCAM_PATH_TWIN_1);
const std::string kTwinPath2 = utf8(VLXCAM_PATH_TWIN_2);

size_t thread_count() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{sizeof entry};
    size_t count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

class DeviceHealthTest : public Capture {
protected:
    int32_t twin(const std::string& path) { return h.FindDevice(path.c_str(), 0); }

    void run_until_delivering(int32_t index) {
        ASSERT_EQ(v.Open(index, 6, 0, 0, 0), 0);
        ASSERT_GE(v.Play2(), 0);
        ASSERT_EQ(wait_for_device_state(VLX_DEVICE_DELIVERING, 5000), VLX_DEVICE_DELIVERING);
    }

    // The messages after the first `seen`, once `count` of them arrived or
    // the time is up.
    std::vector<PostedMessage> messages_after(MessageWindow& window, size_t seen, size_t count, DWORD timeout_ms) {
        const ULONGLONG deadline = GetTickCount64() + timeout_ms;
        while (window.pump().size() < seen + count && GetTickCount64() < deadline) Sleep(10);
        const auto& all = window.pump();
        return {all.begin() + static_cast<ptrdiff_t>(std::min(seen, all.size())), all.end()};
    }

    // Waits until `window` has a message for slot 0 with `state` after the
    // first `seen`; the number of messages then.
    size_t wait_for_posted(MessageWindow& window, size_t seen, int32_t state, DWORD timeout_ms) {
        const ULONGLONG deadline = GetTickCount64() + timeout_ms;
        for (;;) {
            const auto& all = window.pump();
            for (size_t i = seen; i < all.size(); ++i) {
                if (all[i].wparam == 0 && all[i].lparam == state) return all.size();
            }
            if (GetTickCount64() >= deadline) return 0;
            Sleep(10);
        }
    }

    void TearDown() override {
        // A test that stopped half-way leaves no twin unplugged for the next.
        h.Replug(VLXCAM_PATH_TWIN_1);
        Capture::TearDown();
    }

    const DeviceHealth& h = device_health();
};

TEST_F(DeviceHealthTest, PathsLineUpWithNamesAndTellTheTwinsApart) {
    for (int32_t kind : {0, 1}) {
        const int32_t size = v.GetDeviceListSize(kind);
        ASSERT_GT(size, 1) << "kind " << kind;
        std::vector<char> names_text(static_cast<size_t>(size), '\0');
        const int32_t count = v.GetDeviceList(names_text.data(), kind);
        const std::vector<std::string> names = split_lines(names_text.data());
        const std::string paths_text = device_path_list(kind);
        const std::vector<std::string> paths = split_lines(paths_text);
        ASSERT_EQ(paths.size(), names.size()) << "kind " << kind;
        EXPECT_EQ(static_cast<int32_t>(paths_text.size()) + 1, h.GetDevicePathListSize(kind));
        std::vector<char> again(paths_text.size() + 1, '\0');
        EXPECT_EQ(h.GetDevicePathList(again.data(), kind), count);
        std::set<std::string> twin_paths;
        for (size_t i = 0; i < names.size(); ++i) {
            if (names[i] == kTwin) {
                twin_paths.insert(paths[i]);
            } else if (names[i].rfind("vidlox Shared Camera ", 0) == 0) {
                // The shared camera's channels carry a DevicePath each (sharecam/).
                EXPECT_EQ(paths[i].rfind("\\\\?\\root#vidlox_share#", 0), 0u) << names[i];
            } else if (names[i].rfind("vidlox ", 0) == 0) {
                EXPECT_EQ(paths[i].rfind("@device:", 0), 0u) << names[i] << ": no DevicePath, the display name";
            }
        }
        if (kind == 0) { EXPECT_EQ(twin_paths, (std::set<std::string>{kTwinPath1, kTwinPath2})); }
        if (kind == 1) { EXPECT_NE(std::find(names.begin(), names.end(), utf8(VLXCAM_NAME_MICROPHONE)), names.end()); }
    }

    const int32_t first = h.FindDevice(kTwin.c_str(), 0);
    const int32_t second = h.FindDevice(kTwin.c_str(), 1);
    EXPECT_GE(first, 0);
    EXPECT_GT(second, first);
    EXPECT_EQ((std::set<int32_t>{twin(kTwinPath1), twin(kTwinPath2)}), (std::set<int32_t>{first, second}));
    EXPECT_EQ(h.FindDevice(kTwin.c_str(), 2), -4) << "two twins only";
    EXPECT_EQ(h.FindDevice(kTwin.c_str(), -1), -5);
    EXPECT_EQ(h.FindDevice(utf8(VLXCAM_NAME_MAIN).c_str(), 0), camera);
    EXPECT_EQ(h.FindDevice(split_lines(device_path_list(0))[static_cast<size_t>(camera)].c_str(), 0), camera);
    EXPECT_EQ(h.FindDevice("no such camera", 0), -4);
    EXPECT_EQ(h.FindDevice(nullptr, 0), -1);
    EXPECT_EQ(h.FindDevice(reinterpret_cast<const char*>(7), 0), -1) << "a resource number is no text";
}

TEST_F(DeviceHealthTest, APathListNeverOutgrowsItsSizeQuery) {
    const int32_t size = h.GetDevicePathListSize(1);
    const size_t lines = split_lines(device_path_list(1)).size();
    CategoryEntry late = CategoryEntry::with_name(CLSID_AudioInputDeviceCategory, kLateMicrophone, L"late microphone");
    ASSERT_TRUE(late.ok());
    std::vector<char> buffer(static_cast<size_t>(size) + 256, '#');
    buffer[0] = '\0';
    EXPECT_EQ(h.GetDevicePathList(buffer.data(), 1), static_cast<int32_t>(lines)) << "the lines that fit";
    EXPECT_EQ(std::strlen(buffer.data()) + 1, static_cast<size_t>(size));
    EXPECT_EQ(buffer[static_cast<size_t>(size)], '#') << "nothing past the size the query answered";
}

TEST_F(DeviceHealthTest, AnIndexThatMovedIsFoundAgainByPath) {
    const int32_t before = twin(kTwinPath2);
    run_until_delivering(before);
    CategoryEntry entry = CategoryEntry::with_name(CLSID_VideoInputDeviceCategory, kEarlierEntry, L"vidlox entry");
    ASSERT_TRUE(entry.ok());
    ASSERT_EQ(twin(kTwinPath2), before + 1) << "a device registered in between moves the twin";

    EXPECT_EQ(h.Reopen(), 0);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_RUNNING) << "it was running, and runs again";
    EXPECT_EQ(wait_for_device_state(VLX_DEVICE_DELIVERING, 5000), VLX_DEVICE_DELIVERING);
    // The slot holds the second twin, not the first that took its old place.
    ASSERT_EQ(h.FailStream(VLXCAM_PATH_TWIN_2, E_UNEXPECTED), 0);
    EXPECT_EQ(wait_for_device_state(VLX_DEVICE_ERROR, 3000), VLX_DEVICE_ERROR);
    EXPECT_EQ(v.GetLastError(), E_UNEXPECTED) << "the stream's error went to the error recorder";
}

TEST_F(DeviceHealthTest, UnplugIsLostUntilReplugAndReopenBringFramesBack) {
    MessageWindow window(kStateMessage);
    ASSERT_EQ(h.SetDeviceNotify(window.handle(), kStateMessage), 0);
    run_until_delivering(twin(kTwinPath1));
    const size_t seen = wait_for_posted(window, 0, VLX_DEVICE_DELIVERING, 3000);
    ASSERT_GT(seen, 0u);

    ASSERT_EQ(h.Unplug(VLXCAM_PATH_TWIN_1), 0);
    EXPECT_EQ(wait_for_posted(window, seen, VLX_DEVICE_LOST, 3000), seen + 1) << "one message: lost";
    EXPECT_EQ(h.GetDeviceState(), VLX_DEVICE_LOST);
    EXPECT_EQ(h.Reopen(), -111) << "nothing has its path while it is out";
    EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED);

    ASSERT_EQ(h.Replug(VLXCAM_PATH_TWIN_1), 0);
    EXPECT_EQ(h.Reopen(), 0);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_RUNNING) << "running when it was lost: running again";
    EXPECT_NE(grab_frame_number(), UINT32_MAX);
    EXPECT_EQ(wait_for_device_state(VLX_DEVICE_DELIVERING, 5000), VLX_DEVICE_DELIVERING);
}

TEST_F(DeviceHealthTest, AStallAndItsEndAreTwoMessages) {
    MessageWindow window(kStateMessage);
    ASSERT_EQ(h.SetDeviceNotify(window.handle(), kStateMessage), 0);
    run_until_delivering(twin(kTwinPath1));
    const size_t seen = wait_for_posted(window, 0, VLX_DEVICE_DELIVERING, 3000);
    ASSERT_GT(seen, 0u);

    const ULONGLONG start = GetTickCount64();
    ASSERT_EQ(h.Stall(VLXCAM_PATH_TWIN_1, 3000), 0);
    const std::vector<PostedMessage> changes = messages_after(window, seen, 2, 8000);
    const ULONGLONG took = GetTickCount64() - start;
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].lparam, VLX_DEVICE_STALLED);
    EXPECT_EQ(changes[1].lparam, VLX_DEVICE_DELIVERING);
    EXPECT_GE(took, 3000u) << "delivering again only once the stall ended";
    EXPECT_EQ(h.GetDeviceState(), VLX_DEVICE_DELIVERING);
    EXPECT_TRUE(messages_after(window, seen + 2, 1, 300).empty()) << "nothing more";
}

// Notifications moved to another window and message reach only the new one.
TEST_F(DeviceHealthTest, AStallIsPostedOnlyWhereTheHostLastAsked) {
    MessageWindow old_window(kStateMessage);
    MessageWindow new_window(kStateMessage + 1);
    ASSERT_EQ(h.SetDeviceNotify(old_window.handle(), kStateMessage), 0);
    run_until_delivering(twin(kTwinPath1));
    const size_t seen_old = wait_for_posted(old_window, 0, VLX_DEVICE_DELIVERING, 3000);
    ASSERT_GT(seen_old, 0u);

    ASSERT_EQ(h.SetDeviceNotify(new_window.handle(), kStateMessage + 1), 0);
    ASSERT_EQ(h.Stall(VLXCAM_PATH_TWIN_1, 1500), 0);
    EXPECT_GT(wait_for_posted(new_window, 0, VLX_DEVICE_STALLED, 5000), 0u);
    EXPECT_GT(wait_for_posted(new_window, 0, VLX_DEVICE_DELIVERING, 5000), 0u);
    EXPECT_EQ(old_window.pump().size(), seen_old) << "nothing more for the old window";
}

TEST_F(DeviceHealthTest, ACameraInUseAndAStoppedOne) {
    ASSERT_EQ(v.Open(device_index(VLXCAM_NAME_IN_USE), 6, 0, 0, 0), 0);
    EXPECT_EQ(h.GetDeviceState(), VLX_DEVICE_NOT_RUNNING);
    EXPECT_EQ(v.Play2(), 1) << "Run did not answer S_OK";
    EXPECT_EQ(wait_for_device_state(VLX_DEVICE_IN_USE, 3000), VLX_DEVICE_IN_USE);
    EXPECT_EQ(v.GetLastError(), HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES));
    EXPECT_EQ(v.Stop(), 0);
    EXPECT_EQ(h.GetDeviceState(), VLX_DEVICE_NOT_RUNNING);
    EXPECT_EQ(v.Close(), 0);
    EXPECT_EQ(h.GetDeviceState(), -2) << "no open slot";
}

// A one-pin camera at a new rate set on the open slot reaches the grabber
// through the Smart Tee and delivers; a graph that runs with no branch to the
// grabber (render mode 5) never gets a frame, and counts as stalled once the
// first frame is overdue.
TEST_F(DeviceHealthTest, AGraphThatRunsWithoutFramesIsStalled) {
    ASSERT_EQ(v.Open(camera, 6, 0, 0, 0), 0);
    v.SetDevWidth(640);
    v.SetDevHeight(480);
    v.SetDevFrameRate(15.0);
    ASSERT_EQ(v.SetDevCapConfig(), 0);
    ASSERT_GE(v.Play2(), 0);
    EXPECT_EQ(wait_for_device_state(VLX_DEVICE_DELIVERING, 5000), VLX_DEVICE_DELIVERING);
    ASSERT_EQ(v.Close(), 0);
    v.SetDevFrameRate(0.0);

    ASSERT_EQ(v.Open(camera, 5, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    EXPECT_EQ(h.GetDeviceState(), VLX_DEVICE_WAITING);
    EXPECT_EQ(wait_for_device_state(VLX_DEVICE_STALLED, VLX_FIRST_FRAME_WAIT_MS + 2000), VLX_DEVICE_STALLED);
    std::vector<uint8_t> pixels(921600);
    int32_t size = static_cast<int32_t>(pixels.size());
    BITMAPINFO header{};
    EXPECT_LT(v.GetImageMem(pixels.data(), &size, &header), 0) << "and indeed no frame";
}

TEST_F(DeviceHealthTest, RefusalsAndTheWatcherThread) {
    EXPECT_EQ(h.GetDeviceState(), -2);
    ASSERT_EQ(v.SetActiveSel(30), 0);
    EXPECT_EQ(h.Reopen(), -110) << "never opened";
    EXPECT_EQ(h.SetDeviceNotify(reinterpret_cast<HWND>(static_cast<intptr_t>(0x7ff0)), kStateMessage), -3);

    MessageWindow window(kStateMessage);
    const size_t threads = thread_count();
    ASSERT_EQ(h.SetDeviceNotify(window.handle(), kStateMessage), 0);
    ASSERT_EQ(h.SetDeviceNotify(window.handle(), kStateMessage + 1), 0);
    ASSERT_EQ(h.SetDeviceNotify(nullptr, 0), 0);
    EXPECT_EQ(thread_count(), threads) << "stopped and joined";
    ASSERT_EQ(h.SetDeviceNotify(window.handle(), kStateMessage), 0);
    ASSERT_EQ(v.Exit(), 0);
    EXPECT_EQ(thread_count(), threads) << "vlx_Exit ends it";
    EXPECT_EQ(h.GetDeviceState(), -1);
    EXPECT_EQ(h.SetDeviceNotify(window.handle(), kStateMessage), -1);
    EXPECT_EQ(h.Reopen(), -1);
    ASSERT_EQ(v.Init(), 0);
}

// Graphs come and go under the watcher's eyes, and vlx_Exit ends it while
// slots run: every graph goes, and nothing is posted for a closed slot.
TEST_F(DeviceHealthTest, TheWatcherBesideGraphsThatComeAndGo) {
    MessageWindow window(kStateMessage);
    ASSERT_EQ(h.SetDeviceNotify(window.handle(), kStateMessage), 0);
    const int32_t devices[] = {twin(kTwinPath1), twin(kTwinPath2), camera};
    for (int round = 0; round < 30; ++round) {
        ASSERT_EQ(v.SetActiveSel(round % 3), 0);
        ASSERT_EQ(v.Open(devices[round % 3], 6, 0, 0, 0), 0);
        ASSERT_GE(v.Play2(), 0);
        if (round % 4 == 0) h.GetDeviceState();
        window.pump();
        if (round % 3 == 2) {
            for (int32_t slot : {0, 1, 2}) {
                v.SetActiveSel(slot);
                EXPECT_EQ(v.Close(), 0);
            }
        }
    }
    Sleep(300);
    for (const PostedMessage& message : window.pump()) EXPECT_LT(message.wparam, 3u);
    v.SetActiveSel(0);
    ASSERT_EQ(v.Open(devices[0], 6, 0, 0, 0), 0);
    ASSERT_GE(v.Play2(), 0);
    ASSERT_EQ(v.Exit(), 0);  // with the watcher running and the slot running
    ASSERT_EQ(v.Init(), 0);
    EXPECT_EQ(wait_for_device_state(VLX_DEVICE_DELIVERING, 5000), VLX_DEVICE_DELIVERING) << "watched again";
}

TEST_F(DeviceHealthTest, BaseExportsAnswerAndLogTheSameBesideTheWatcher) {
    const int32_t device = twin(kTwinPath1);
    auto session = [&](bool watched) {
        MessageWindow window(kStateMessage);
        if (watched) { EXPECT_EQ(h.SetDeviceNotify(window.handle(), kStateMessage), 0); }
        std::vector<char> log(32768, '\0');
        std::string seen;
        auto note = [&](int32_t result) { seen += std::to_string(result) + " "; };
        v.SetLogBuffer(log.data(), static_cast<int32_t>(log.size()));
        v.SetLogLevel(2);
        note(v.Open(device, 6, 0, 0, 0));
        note(v.Play2());
        v.SetLogLevel(0);
        grab_frame_number();
        v.SetLogLevel(2);
        std::vector<uint8_t> pixels(921600);
        int32_t size = static_cast<int32_t>(pixels.size());
        BITMAPINFO header{};
        note(v.GetImageMem(pixels.data(), &size, &header));
        note(v.GetState());
        note(v.Stop());
        note(v.Close());
        note(v.GetDeviceListSize(0));
        note(v.GetLastError());
        window.pump();
        if (watched) { EXPECT_EQ(h.SetDeviceNotify(nullptr, 0), 0); }
        reset_reporting();
        return seen + "\n" + log.data();
    };
    const std::string alone = session(false);
    EXPECT_EQ(session(true), alone);
    EXPECT_NE(alone.find("vlx_Open->Moniker->BindToObject = S_OK"), std::string::npos);
}

}  // namespace
}  // namespace vlx_test
