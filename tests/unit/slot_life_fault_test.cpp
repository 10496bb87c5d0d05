// The slot's life where the platform fails only under fault injection: a
// reopen whose open fails, a watcher that ends, an event queue that cannot
// be read, a Smart Tee that cannot be connected again; and list budgets
// that belong to their own argument.
#include "unit/capture_harness.h"

#include "library/list_budget.h"
#include "support/message_window.h"

#include <string>

namespace vlx_test {
namespace {

constexpr UINT kStateMessage = WM_APP + 7;

TEST_F(InProcessCapture, AReopenWhoseOpenFailsLeavesTheRunToTheNextOne) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(vlx_Play2(), 0);
    // The device is there but binding it fails while its driver settles.
    vlx::fault::arm("vlx_Open->CoCreateInstance(FilterGraph)", E_OUTOFMEMORY, 0, 1);
    EXPECT_EQ(vlx_Reopen(), -30);
    EXPECT_EQ(vlx_GetRef(), VLX_SLOT_CLOSED);
    EXPECT_EQ(vlx_Reopen(), 0) << "the host's retry";
    EXPECT_EQ(vlx_GetRef(), VLX_SLOT_RUNNING) << "running when the first reopen began: running again";
}

// Modes 300 and 301 take the file name by address; the host may free its
// string once vlx_Open returned, and vlx_Reopen writes the same file.
TEST_F(InProcessCapture, AReopenInTheAviModesWritesTheFileItWasFirstGiven) {
    for (const int32_t mode : {300, 301}) {
        SCOPED_TRACE(mode);
        const std::wstring file = L"reopen_kept_" + std::to_wstring(mode) + L".avi";
        std::wstring* host_string = new std::wstring(file);
        ASSERT_EQ(vlx_Open(camera, mode, 0, reinterpret_cast<intptr_t>(host_string->c_str()), 0), 0);
        host_string->assign(host_string->size(), L'X');
        delete host_string;
        ASSERT_EQ(vlx_Close(), 0);
        DeleteFileW(file.c_str());

        ASSERT_EQ(vlx_Reopen(), 0);
        ASSERT_GE(vlx_Play2(), 0);
        Sleep(300);
        ASSERT_EQ(vlx_Close(), 0);
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) << "the kept name was written";
        EXPECT_GT(data.nFileSizeLow, 0u);
        DeleteFileW(file.c_str());
    }
}

// A slot played into a window comes back into the same window.
TEST_F(InProcessCapture, AReopenAfterPlayWithAWindowPlaysIntoItAgain) {
    MessageWindow owner;
    const int32_t owner_handle = static_cast<int32_t>(reinterpret_cast<intptr_t>(owner.handle()));
    ASSERT_EQ(vlx_Open(camera, 0, 0, 0, 0), 0);
    ASSERT_GE(vlx_Play(owner_handle, 10, 20, 160, 120), 0);
    ASSERT_EQ(vlx_Reopen(), 0);
    EXPECT_EQ(vlx_GetRef(), VLX_SLOT_RUNNING);
    OAHWND placed_owner = 0;
    ASSERT_TRUE(vlx::active_slot().video_window);
    ASSERT_EQ(vlx::active_slot().video_window->get_Owner(&placed_owner), S_OK);
    EXPECT_EQ(placed_owner, static_cast<OAHWND>(owner_handle));
    // Wine answers the position in another origin than the one given; the
    // size tells that the placement came back.
    long left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(vlx::active_slot().video_window->GetWindowPosition(&left, &top, &width, &height), S_OK);
    EXPECT_EQ(width, 160);
    EXPECT_EQ(height, 120);
}

TEST_F(InProcessCapture, AWatcherThatEndedIsStartedAgain) {
    MessageWindow window(kStateMessage);
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    ASSERT_GE(vlx_Play2(), 0);
    vlx::fault::arm("DeviceState.Watcher.AllocateRound", E_OUTOFMEMORY);
    ASSERT_EQ(vlx_SetDeviceNotify(window.handle(), kStateMessage), 0);
    for (int i = 0; i < 100 && vlx::fault::attempts("DeviceState.Watcher.AllocateRound") == 0; ++i) Sleep(10);
    ASSERT_GT(vlx::fault::attempts("DeviceState.Watcher.AllocateRound"), 0) << "the watcher ran out of memory";
    Sleep(100);  // and ended
    vlx::fault::clear_all();

    ASSERT_EQ(vlx_SetDeviceNotify(window.handle(), kStateMessage), 0);
    ASSERT_EQ(vlx_Stop(), 0);
    bool posted = false;
    for (int i = 0; i < 300 && !posted; ++i) {
        for (const PostedMessage& m : window.pump()) posted |= m.lparam == VLX_DEVICE_NOT_RUNNING;
        Sleep(10);
    }
    EXPECT_TRUE(posted) << "a new watcher posts the stop";
    EXPECT_EQ(vlx_SetDeviceNotify(nullptr, 0), 0);
}

// A queue whose GetEvent keeps failing keeps its handle signalled: the
// watcher reads it on its rounds (ten a second), not as fast as it can.
TEST_F(InProcessCapture, AnUnreadableEventQueueIsNotReadWithoutEnd) {
    MessageWindow window(kStateMessage);
    const int32_t in_use = device_position(VLXCAM_NAME_IN_USE);
    ASSERT_GE(in_use, 0);
    ASSERT_EQ(vlx_Open(in_use, 6, 0, 0, 0), 0);
    ASSERT_EQ(vlx_SetDeviceNotify(window.handle(), kStateMessage), 0);
    vlx::fault::arm("DeviceState.MediaEventEx.GetEvent", E_UNEXPECTED);
    // The device refuses to start and queues EC_ERRORABORT, which stays.
    vlx_Play2();
    Sleep(1000);
    const int reads = vlx::fault::attempts("DeviceState.MediaEventEx.GetEvent");
    EXPECT_LT(reads, 40) << "GetEvent calls in one second";
    vlx::fault::clear_all();
    EXPECT_EQ(vlx_SetDeviceNotify(nullptr, 0), 0);
}

TEST_F(InProcessCapture, ATeeLeftUnconnectedIsAFailedFormatStep) {
    ASSERT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
    vlx_SetDevWidth(1280);
    vlx_SetDevHeight(720);
    vlx::fault::arm("vlx_SetDevCapConfig.GraphBuilder.ConnectDirect(TeeOutput)", VFW_E_CANNOT_CONNECT);
    vlx::fault::arm("vlx_SetDevCapConfig.GraphBuilder.ConnectDirect(TeeOutput,OldType)", VFW_E_CANNOT_CONNECT);
    EXPECT_EQ(vlx_SetDevCapConfig(), -7);
    vlx::fault::clear_all();
    vlx::fault::arm("vlx_SetDevCapConfig.GraphBuilder.ConnectDirect(TeeOutput)", VFW_E_CANNOT_CONNECT);
    vlx_SetDevWidth(640);
    vlx_SetDevHeight(480);
    EXPECT_EQ(vlx_SetDevCapConfig(), 0) << "connected again with the old type";
}

TEST(ListBudget, EachArgumentKeepsItsOwnBudget) {
    using vlx::SizedList;
    // 0 and 32 shared one place when places were chosen by index % 32.
    vlx::remember_size_answer({SizedList::formats, 0}, 100);
    vlx::remember_size_answer({SizedList::formats, 32}, 300);
    EXPECT_EQ(vlx::size_answer({SizedList::formats, 0}), 100);
    EXPECT_EQ(vlx::size_answer({SizedList::formats, 32}), 300);
    vlx::remember_size_answer({SizedList::formats, 32}, -4);
    EXPECT_EQ(vlx::size_answer({SizedList::formats, 32}), std::nullopt) << "a refusal forgets";
    EXPECT_EQ(vlx::size_answer({SizedList::formats, 0}), 100);
    vlx::remember_size_answer({SizedList::formats, 0}, 0);
}

}  // namespace
}  // namespace vlx_test
