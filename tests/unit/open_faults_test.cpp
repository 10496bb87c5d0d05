// Every build step of vlx_Open failing, through fault injection where Wine
// cannot fail the call: the code, and a slot that ends clean.
#include "unit/capture_harness.h"

#include <ostream>
#include <utility>

namespace vlx_test {
namespace {

struct Fault {
    const char* key;
    HRESULT status;
};

struct OpenCase {
    const char* name;
    int32_t mode;
    std::vector<Fault> faults;
    int32_t expected;
    const wchar_t* compressor = nullptr;
};

void PrintTo(const OpenCase& c, std::ostream* out) { *out << c.name; }

// Stand-ins that let the AVI branch past its two calls without writing a
// file (platform_files writes real ones).
const Fault kAviFileOk{"vlx_Open->CaptureGraphBuilder2->SetOutputFileName(AVI)", S_OK};
const Fault kAviFileFails{"vlx_Open->CaptureGraphBuilder2->SetOutputFileName(AVI)", E_NOTIMPL};
const Fault kAviRenderOk{"vlx_Open->CaptureGraphBuilder2->RenderStream(AVI)", S_OK};
constexpr const wchar_t* kWineCodec = L"Wine MS-RLE video codec";

const OpenCase kCases[] = {
    {"FilterGraph", 6, {{"vlx_Open->CoCreateInstance(FilterGraph)", REGDB_E_CLASSNOTREG}}, -30},
    {"SampleGrabber", 6, {{"vlx_Open->CoCreateInstance(SampleGrabber)", E_OUTOFMEMORY}}, -31},
    {"ISampleGrabber", 6, {{"vlx_Open->SampleGrabberFilter->QueryInterface(ISampleGrabber)", E_NOINTERFACE}}, -32},
    {"SetMediaType", 6, {{"vlx_Open->SampleGrabber->SetMediaType", E_FAIL}}, -33},
    {"AddGrabber", 6, {{"vlx_Open->GraphBuilder->AddFilter(SampleGrabber)", VFW_E_DUPLICATE_NAME}}, -34},
    {"CaptureBuilder", 6, {{"vlx_Open->CoCreateInstance(CaptureGraphBuilder2)", E_OUTOFMEMORY}}, -35},
    {"SetFiltergraph", 6, {{"vlx_Open->CaptureGraphBuilder2->SetFiltergraph(GraphBuilder)", E_UNEXPECTED}}, -36},
    {"MediaControl", 6, {{"vlx_Open->GraphBuilder->QueryInterface(MediaControl)", E_NOINTERFACE}}, -37},
    {"SystemDeviceEnum", 6, {{"vlx_Open->CoCreateInstance(SystemDeviceEnum)", E_OUTOFMEMORY}}, -38},
    {"NoCaptureDevices", 6,
     {{"vlx_Open->CreateDevEnum->CreateClassEnumerator(VideoInputDeviceCategory)", S_FALSE}}, -3},
    {"FormatStep", 6,
     {{"vlx_SetDevCapConfig->CaptureGraphBuilder2->FindInterface(PIN_CATEGORY_CAPTURE)", E_NOINTERFACE}}, -57},
    {"VideoWindow", 6, {{"vlx_Open->GraphBuilder->QueryInterface(VideoWindow)", E_NOINTERFACE}}, -58},
    {"VideoRendererCreate", 0, {{"vlx_Open->CoCreateInstance(VideoRenderer)", E_FAIL}}, -39},
    {"VideoRendererAdd", 0, {{"vlx_Open->GraphBuilder->AddFilter(VideoRenderer)", E_FAIL}}, -79},
    {"VideoRendererRender", 0, {{"vlx_Open->CaptureGraphBuilder2->RenderStream(VideoRenderer)", E_FAIL}}, -76},
    {"Vmr7Create", 1, {{"vlx_Open->CoCreateInstance(VMR7)", E_FAIL}}, -40},
    {"Vmr7Config", 1, {{"vlx_Open->VMR7->QueryInterface(VMRFilterConfig)", E_NOINTERFACE}}, -41},
    {"Vmr7Mode", 1, {{"vlx_Open->VMRFilterConfig->SetRenderingMode(VMR7)", E_INVALIDARG}}, -87},
    {"Vmr7Streams", 1, {{"vlx_Open->VMRFilterConfig->SetNumberOfStreams(VMR7)", E_INVALIDARG}}, -88},
    {"Vmr7Add", 1,
     {{"vlx_Open->VMRFilterConfig->SetNumberOfStreams(VMR7)", S_OK}, {"vlx_Open->GraphBuilder->AddFilter(VMR7)", E_FAIL}},
     -89},
    {"Vmr7Render", 1,
     {{"vlx_Open->VMRFilterConfig->SetNumberOfStreams(VMR7)", S_OK},
      {"vlx_Open->CaptureGraphBuilder2->RenderStream(VMR7)", E_INVALIDARG}},
     -86},
    {"Vmr9Create", 2, {{"vlx_Open->CoCreateInstance(VMR9)", E_FAIL}}, -42},
    {"Vmr9Config", 2, {{"vlx_Open->VMR9->QueryInterface(VMRFilterConfig9)", E_NOINTERFACE}}, -43},
    {"Vmr9Mode", 2, {{"vlx_Open->VMRFilterConfig9->SetRenderingMode(VMR9)", E_INVALIDARG}}, -97},
    {"Vmr9Streams", 2, {{"vlx_Open->VMRFilterConfig9->SetNumberOfStreams(VMR9)", E_INVALIDARG}}, -98},
    {"Vmr9Add", 2, {{"vlx_Open->GraphBuilder->AddFilter(VMR9)", E_FAIL}}, -99},
    {"Vmr9Render", 2, {{"vlx_Open->CaptureGraphBuilder2->RenderStream(VMR9)", E_POINTER}}, -96},
    {"NullCreate", 6, {{"vlx_Open->CoCreateInstance(NullRenderer)", E_FAIL}}, -44},
    {"NullAdd", 6, {{"vlx_Open->GraphBuilder->AddFilter(NullRenderer)", E_FAIL}}, -59},
    {"NullRender", 6, {{"vlx_Open->CaptureGraphBuilder2->RenderStream(NullRenderer)", E_FAIL}}, -56},
    {"AviFile", 300, {kAviFileFails}, -45},
    {"AviRender", 300, {kAviFileOk, {"vlx_Open->CaptureGraphBuilder2->RenderStream(AVI)", E_FAIL}}, -46},
    {"CompressorEnum", 300, {{"vlx_Open->CoCreateInstance(AVI)", E_OUTOFMEMORY}}, -47, kWineCodec},
    {"CompressorCategory", 300, {{"vlx_Open->DevEnum->CreateClassEnumerator(AVI)", S_FALSE}}, -48, kWineCodec},
    {"CompressorName", 300, {}, -49, L"No such codec"},
    {"CompressorFile", 301, {kAviFileFails}, -50, kWineCodec},
    {"CompressorRender", 301, {kAviFileOk, {"vlx_Open->CaptureGraphBuilder2->RenderStream(AVI)", E_FAIL}}, -51,
     kWineCodec},
    {"Avi300NullCreate", 300, {kAviFileOk, kAviRenderOk, {"vlx_Open->CoCreateInstance(NullRenderer)", E_FAIL}}, -52},
    {"Avi300NullAdd", 300,
     {kAviFileOk, kAviRenderOk, {"vlx_Open->GraphBuilder->AddFilter(NullRenderer)", VFW_S_DUPLICATE_NAME}}, -53},
    {"Avi300NullRender", 300,
     {kAviFileOk, kAviRenderOk, {"vlx_Open->CaptureGraphBuilder2->RenderStream(NullRenderer)", S_FALSE}}, -54},
    {"Avi301Render", 301,
     {kAviFileOk, kAviRenderOk, {"vlx_Open->CaptureGraphBuilder2->RenderStream(NullRenderer)", E_NOTIMPL}}, -55},
};

// Failures before the renderer branch keep the slot's old render mode.
bool fails_before_branch(int32_t code) { return code >= -38 || code == -57; }

class OpenFaults : public InProcessCapture, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenFaults, CodeAndCleanSlot) {
    const OpenCase& c = GetParam();
    for (const Fault& fault : c.faults) vlx::fault::arm(fault.key, fault.status);
    if (c.expected == -57) vlx_SetDevWidth(640);
    vlx::Slot& slot = vlx::active_slot();
    slot.render_mode = 77;

    const wchar_t* file = L"vidlox-fault.avi";
    EXPECT_EQ(vlx_Open(camera, c.mode, 0, c.mode >= 300 ? reinterpret_cast<intptr_t>(file) : 1,
                       c.mode >= 300 ? reinterpret_cast<intptr_t>(c.compressor) : 1),
              c.expected);
    for (const Fault& fault : c.faults) {
        EXPECT_GE(vlx::fault::attempts(fault.key), 1) << fault.key << " was never reached";
    }
    EXPECT_EQ(slot.slot_state, 0);
    EXPECT_TRUE(all_interfaces_null(slot));
    EXPECT_EQ(slot.render_mode, fails_before_branch(c.expected) ? 77 : c.mode);
    EXPECT_EQ(camera_live_objects(), 0);

    vlx::fault::clear_all();
    vlx_SetDevWidth(0);
    EXPECT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0) << "a new open succeeds";
    EXPECT_EQ(vlx_Close(), 0);
}

INSTANTIATE_TEST_SUITE_P(Steps, OpenFaults, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InProcessCapture, PreviewRenderStreamFailsOnEveryFailureCode) {
    for (HRESULT refused : {E_FAIL, E_INVALIDARG, E_POINTER, E_NOTIMPL, VFW_E_CANNOT_CONNECT}) {
        vlx::fault::arm("vlx_Open->CaptureGraphBuilder2->RenderStream(NullRenderer)", refused, 0, 1);
        EXPECT_EQ(vlx_Open(camera, 6, 0, 0, 0), -56) << std::hex << refused;
    }
    for (HRESULT accepted : {S_FALSE, VFW_S_NOPREVIEWPIN}) {
        vlx::fault::arm("vlx_Open->CaptureGraphBuilder2->RenderStream(NullRenderer)", accepted, 0, 1);
        EXPECT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0) << std::hex << accepted;
        EXPECT_EQ(vlx_Close(), 0);
    }
    // A renderer the graph already had under that name is accepted too.
    vlx::fault::arm("vlx_Open->GraphBuilder->AddFilter(NullRenderer)", VFW_S_DUPLICATE_NAME, 0, 1);
    vlx::fault::arm("vlx_Open->CaptureGraphBuilder2->RenderStream(NullRenderer)", S_OK, 0, 1);
    EXPECT_EQ(vlx_Open(camera, 6, 0, 0, 0), 0);
}

TEST_F(InProcessCapture, FailedRenderStepKeepsTheNewModeAndLaterCommonFailureKeepsIt) {
    vlx::fault::arm("vlx_Open->CaptureGraphBuilder2->RenderStream(NullRenderer)", E_FAIL, 0, 1);
    EXPECT_EQ(vlx_Open(camera, 6, 0, 0, 0), -56);
    EXPECT_EQ(vlx::active_slot().render_mode, 6);
    vlx::fault::arm("vlx_Open->CoCreateInstance(FilterGraph)", E_FAIL, 0, 1);
    EXPECT_EQ(vlx_Open(camera, 0, 0, 0, 0), -30);
    EXPECT_EQ(vlx::active_slot().render_mode, 6) << "set only once the branch starts";
}

}  // namespace
}  // namespace vlx_test
