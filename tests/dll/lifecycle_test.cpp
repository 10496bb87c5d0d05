// Starting and ending the library, slot selection and version, through the DLL.
#include "common/com_ptr.h"
#include "common/directshow.h"
#include "dll/host_library.h"
#include "support/com_thread.h"

#include <gtest/gtest.h>
#include <objbase.h>

namespace vlx_test {
namespace {

using vlx::ComPtr;

TEST(Lifecycle, InitAndExitRefuseOutOfTurn) {
    const Vidlox& v = vidlox();
    run_on_thread([&] {
        EXPECT_EQ(v.Exit(), -1) << "exit before any init";
        EXPECT_EQ(v.Init(), 0) << "S_OK on a thread without COM";
        EXPECT_EQ(v.Init(), -1) << "second init is refused";
        EXPECT_EQ(v.Exit(), 0);
        EXPECT_EQ(v.Exit(), -1) << "exit twice";
    });
}

TEST(Lifecycle, InitReportsComAlreadyInitialisedOnThread) {
    const Vidlox& v = vidlox();
    run_on_thread([&] {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(v.Init(), 1) << "S_FALSE: the host had initialised COM";
        EXPECT_EQ(v.Init(), -1) << "and the library counts as initialised";
        EXPECT_GT(v.GetCodecListSize(0), 0) << "initialised: the lists work";
        EXPECT_EQ(v.Exit(), 0);
        CoUninitialize();
    });
}

TEST(Lifecycle, FailedCoInitializeStillCountsAsInitialised) {
    const Vidlox& v = vidlox();
    run_on_thread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(v.Init(), RPC_E_CHANGED_MODE);
        EXPECT_EQ(v.Init(), -1);
        EXPECT_EQ(v.Exit(), 0);
        EXPECT_EQ(v.Exit(), -1);
        // vlx_Exit owed COM nothing: the host's own apartment still works.
        ComPtr<ICreateDevEnum> devices;
        EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                   devices.put_void()),
                  S_OK);
        devices.reset();
        CoUninitialize();
    });
}

TEST(Lifecycle, SlotSelectionEdges) {
    const Vidlox& v = vidlox();
    EXPECT_EQ(v.SetActiveSel(31), 0);
    EXPECT_EQ(v.GetActiveSel(), 31);
    EXPECT_EQ(v.SetActiveSel(32), -1);
    EXPECT_EQ(v.SetActiveSel(-1), -1);
    EXPECT_EQ(v.SetActiveSel(INT32_MIN), -1);
    EXPECT_EQ(v.GetActiveSel(), 31) << "refusals leave the active slot";
    EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED) << "a slot never opened is closed";
    EXPECT_EQ(v.SetActiveSel(0), 0);
    EXPECT_EQ(v.GetActiveSel(), 0);
    EXPECT_EQ(v.GetRef(), VLX_SLOT_CLOSED);
}

TEST(Lifecycle, VersionAtAnyTime) {
    const Vidlox& v = vidlox();
    EXPECT_EQ(v.Version(), 213);
    run_on_thread([&] {
        ASSERT_EQ(v.Init(), 0);
        EXPECT_EQ(v.Version(), 213);
        ASSERT_EQ(v.Exit(), 0);
    });
    EXPECT_EQ(v.Version(), 213);
}

}  // namespace
}  // namespace vlx_test
