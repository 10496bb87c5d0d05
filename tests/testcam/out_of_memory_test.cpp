// The camera's COM methods when memory runs out inside them: each answers
// E_OUTOFMEMORY (or succeeds) and leaves nothing alive; no C++ exception
// reaches the caller.
#include "camera_fixture.h"
#include "vidlox_testcam.h"

#include <functional>

namespace vlx_test {
namespace {

class OutOfMemory : public CameraTest {};

void fail_allocation(int32_t nth) {
    static const auto arm = [] {
        return reinterpret_cast<void(__cdecl*)(int32_t)>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"vidlox-testcam64.dll"), "vlxcam_FailAllocation")));
    }();
    ASSERT_NE(arm, nullptr);
    arm(nth);
}

// A camera (two pins) connected to a Null Renderer, stopped.
struct Connected {
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> camera;
    ComPtr<IBaseFilter> renderer;
    ComPtr<IPin> out, in;
};

ComPtr<IPin> first_pin(IBaseFilter* filter) {
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> pin;
    if (SUCCEEDED(filter->EnumPins(pins.put()))) pins->Next(1, pin.put(), nullptr);
    return pin;
}

void connect(Connected& c) {
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               c.graph.put_void()),
              S_OK);
    c.camera = bind_device(VLXCAM_NAME_PREVIEW_PIN);
    ASSERT_TRUE(c.camera);
    ASSERT_EQ(CoCreateInstance(vlx::kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               c.renderer.put_void()),
              S_OK);
    ASSERT_EQ(c.graph->AddFilter(c.camera.get(), L"camera"), S_OK);
    ASSERT_EQ(c.graph->AddFilter(c.renderer.get(), L"renderer"), S_OK);
    c.out = first_pin(c.camera.get());
    c.in = first_pin(c.renderer.get());
    ASSERT_TRUE(c.out && c.in);
}

struct Case {
    const char* name;
    std::function<HRESULT(Connected&)> prepare;  // unarmed; may be null
    std::function<HRESULT(Connected&)> call;     // with the failure armed
};

HRESULT connect_pins(Connected& c) { return c.out->Connect(c.in.get(), nullptr); }

TEST_F(OutOfMemory, EveryAllocationOfACallMayFail) {
    const Case cases[] = {
        {"creating the filter", nullptr,
         [](Connected& c) {
             c.camera = bind_device(VLXCAM_NAME_PREVIEW_PIN);
             return c.camera ? S_OK : E_OUTOFMEMORY;
         }},
        {"EnumPins", nullptr, [](Connected& c) {
             ComPtr<IEnumPins> pins;
             return c.camera->EnumPins(pins.put());
         }},
        {"EnumMediaTypes", nullptr, [](Connected& c) {
             ComPtr<IEnumMediaTypes> types;
             return c.out->EnumMediaTypes(types.put());
         }},
        {"Connect (the types offered)", nullptr, connect_pins},
        {"Pause (the painter's rows, the thread)", connect_pins, [](Connected& c) { return c.camera->Pause(); }},
    };
    for (const Case& test : cases) {
        bool failed_once = false;
        for (int32_t nth = 1; nth <= 12; ++nth) {
            Connected c;
            connect(c);
            if (HasFatalFailure()) return;
            if (test.prepare) {
                ASSERT_EQ(test.prepare(c), S_OK) << test.name;
            }
            fail_allocation(nth);
            const HRESULT result = test.call(c);
            fail_allocation(0);
            if (result == E_OUTOFMEMORY)
                failed_once = true;
            else
                EXPECT_TRUE(SUCCEEDED(result)) << test.name << ", allocation " << nth << ": " << std::hex << result;
            if (c.camera) c.camera->Stop();
        }
        EXPECT_TRUE(failed_once) << test.name << ": no allocation failed";
        EXPECT_EQ(camera_live_objects(), 0) << test.name;
    }
}

}  // namespace
}  // namespace vlx_test
