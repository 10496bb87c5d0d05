// The camera's streaming thread against state changes made while a frame is
// on its way: what it stamps, and what a downstream filter may call back.
#include "camera_fixture.h"
#include "common/media_type.h"
#include "vidlox_testcam.h"

#include <atomic>
#include <cstdio>
#include <thread>

namespace vlx_test {
namespace {

class Threading : public CameraTest {};

// The system clock, except that the camera's next GetTime call is held
// until release(): the frame being stamped then straddles whatever the test
// does meanwhile. Calls from anywhere else pass straight through.
class HoldingClock final : public IReferenceClock {
public:
    HoldingClock() : held_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), go_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock, system_.put_void());
    }
    ~HoldingClock() {
        CloseHandle(held_);
        CloseHandle(go_);
    }
    bool ok() const { return static_cast<bool>(system_); }
    void hold_next_camera_call() { armed_ = true; }
    bool wait_until_held(DWORD ms) { return WaitForSingleObject(held_, ms) == WAIT_OBJECT_0; }
    void release() { SetEvent(go_); }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IReferenceClock)) {
            *object = static_cast<IReferenceClock*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTime(REFERENCE_TIME* time) override {
        const HRESULT now = system_->GetTime(time);
        if (called_from_camera(__builtin_return_address(0)) && armed_.exchange(false)) {
            SetEvent(held_);
            WaitForSingleObject(go_, 10000);
        }
        return now;
    }
    STDMETHODIMP AdviseTime(REFERENCE_TIME base, REFERENCE_TIME offset, HEVENT event, DWORD_PTR* cookie) override {
        return system_->AdviseTime(base, offset, event, cookie);
    }
    STDMETHODIMP AdvisePeriodic(REFERENCE_TIME start, REFERENCE_TIME period, HSEMAPHORE semaphore,
                                DWORD_PTR* cookie) override {
        return system_->AdvisePeriodic(start, period, semaphore, cookie);
    }
    STDMETHODIMP Unadvise(DWORD_PTR cookie) override { return system_->Unadvise(cookie); }

private:
    static bool called_from_camera(void* return_address) {
        HMODULE caller = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(return_address), &caller);
        return caller && caller == GetModuleHandleW(L"vidlox-testcam64.dll");
    }

    ComPtr<IReferenceClock> system_;
    std::atomic<bool> armed_{false};
    HANDLE held_;
    HANDLE go_;
};

TEST_F(Threading, AFrameStampedAcrossPauseAndRunKeepsItsRunsStart) {
    // The frame read the clock in the first run; its stamp is measured from
    // that run's start, not from the start a Pause and Run gave meanwhile
    // (300 ms later), which would put it before the frame ahead of it.
    HoldingClock clock;
    ASSERT_TRUE(clock.ok());
    FrameRecorder recorder;
    {
        CameraGraph g;
        ASSERT_EQ(g.build(bind_device(VLXCAM_NAME_MAIN), recorder), S_OK);
        ComPtr<IMediaFilter> graph_filter;
        ASSERT_EQ(g.graph.query(graph_filter), S_OK);
        ASSERT_EQ(graph_filter->SetSyncSource(&clock), S_OK);
        ASSERT_TRUE(SUCCEEDED(g.control->Run()));
        ASSERT_TRUE(recorder.wait_for_frames(3, 5000));

        clock.hold_next_camera_call();
        ASSERT_TRUE(clock.wait_until_held(5000));
        const size_t before = recorder.frame_count();
        g.control->Pause();
        Sleep(300);
        g.control->Run();
        clock.release();
        EXPECT_TRUE(recorder.wait_for_frames(before + 2, 5000));
        g.control->Stop();
        graph_filter->SetSyncSource(nullptr);

        const std::vector<double> times = recorder.times();
        ASSERT_GT(times.size(), before);
        EXPECT_GE(times[before], times[before - 1]) << "held frame " << times[before] << " s, the one before "
                                                    << times[before - 1] << " s";
    }
}

// A downstream filter that, on the streaming thread, asks the camera's pin
// about formats, as filters do before a dynamic format change.
class AskingBack final : public ISampleGrabberCB {
public:
    AskingBack(IPin* pin, const AM_MEDIA_TYPE* type)
        : pin_(pin), type_(type), entered_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~AskingBack() { CloseHandle(entered_); }
    void arm() { armed_ = true; }
    bool wait_until_entered(DWORD ms) { return WaitForSingleObject(entered_, ms) == WAIT_OBJECT_0; }
    int answers() const { return answers_; }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
            *object = static_cast<ISampleGrabberCB*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
    STDMETHODIMP BufferCB(double, BYTE*, long) override {
        if (!armed_.exchange(false)) return S_OK;
        SetEvent(entered_);
        Sleep(300);  // the test's Stop has taken the filter's lock by now
        if (pin_->QueryAccept(type_) == S_OK) ++answers_;
        ComPtr<IEnumMediaTypes> types;
        if (SUCCEEDED(pin_->EnumMediaTypes(types.put()))) ++answers_;
        return S_OK;
    }

private:
    IPin* pin_;
    const AM_MEDIA_TYPE* type_;  // the connection's
    HANDLE entered_;
    std::atomic<bool> armed_{false};
    std::atomic<int> answers_{0};
};

TEST_F(Threading, StopWhileDownstreamAsksAboutFormatsFromTheStreamingThread) {
    FrameRecorder recorder;
    CameraGraph g;
    ASSERT_EQ(g.build(bind_device(VLXCAM_NAME_MAIN), recorder), S_OK);
    ComPtr<IPin> pin;
    ASSERT_EQ(g.builder->FindPin(g.camera.get(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, FALSE, 0,
                                 pin.put()),
              S_OK);
    vlx::MediaType connected;
    ASSERT_EQ(pin->ConnectionMediaType(connected.get()), S_OK);
    AskingBack asking(pin.get(), connected.get());
    ASSERT_EQ(g.grabber->SetCallback(&asking, 1), S_OK);
    ASSERT_TRUE(SUCCEEDED(g.control->Run()));
    asking.arm();
    ASSERT_TRUE(asking.wait_until_entered(5000));

    // The camera's Stop holds its lock while it joins the streaming thread.
    HANDLE stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    IBaseFilter* camera = g.camera.get();
    std::thread stopper([&] {
        camera->Stop();
        SetEvent(stopped);
    });
    if (WaitForSingleObject(stopped, 10000) != WAIT_OBJECT_0) {
        // Deadlocked: the process could never end; say so and leave.
        std::fprintf(stderr, "camera Stop deadlocked with QueryAccept on the streaming thread\n");
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    stopper.join();
    CloseHandle(stopped);
    EXPECT_EQ(asking.answers(), 2);
    g.control->Stop();
    g.grabber->SetCallback(nullptr, 1);
}

}  // namespace
}  // namespace vlx_test
