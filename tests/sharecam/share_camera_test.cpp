// The shared camera across processes: the library publishes a slot (in this
// process, or in a child share_host.exe that a test kills), and plain
// DirectShow graphs (shared camera -> Sample Grabber -> Null Renderer) and
// child programs reading through the library receive it.
#include "common/media_type.h"
#include "dll/host_library.h"
#include "sharecam/share_support.h"
#include "sharecam/transport/channel_mapping.h"
#include "sharecam/transport/channel_writer.h"
#include "sharecam/transport/layout.h"
#include "sharecam/transport/liveness.h"
#include "support/frame_check.h"
#include "support/regsvr32.h"
#include "vidlox_sharecam.h"
#include "vidlox_testcam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vlx_test {
namespace {

const wchar_t* const kNames[] = {VLXSHARE_NAME_1, VLXSHARE_NAME_2, VLXSHARE_NAME_3, VLXSHARE_NAME_4};

// What a reader graph asks the shared camera for (SetFormat), read by the
// configure function CameraGraph takes.
struct Wanted {
    GUID subtype;
    int32_t width, height;
};
Wanted g_wanted{};

HRESULT set_wanted_format(IAMStreamConfig* config) {
    AM_MEDIA_TYPE type{};
    VIDEOINFOHEADER info{};
    info.AvgTimePerFrame = 333333;
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = g_wanted.width;
    info.bmiHeader.biHeight = g_wanted.height;
    info.bmiHeader.biPlanes = 1;
    const bool rgb = IsEqualGUID(g_wanted.subtype, MEDIASUBTYPE_RGB24);
    info.bmiHeader.biBitCount = rgb ? 24 : IsEqualGUID(g_wanted.subtype, MEDIASUBTYPE_YUY2) ? 16 : 12;
    info.bmiHeader.biCompression = rgb ? BI_RGB : g_wanted.subtype.Data1;
    type.majortype = MEDIATYPE_Video;
    type.subtype = g_wanted.subtype;
    type.formattype = FORMAT_VideoInfo;
    type.cbFormat = sizeof info;
    type.pbFormat = reinterpret_cast<BYTE*>(&info);
    return config->SetFormat(&type);
}

// A plain DirectShow reader of one channel.
// The recorders outlive the graph, whose grabber holds them to the end.
struct ReaderGraph {
    std::unique_ptr<ShareRecorder> recorder;
    FrameRecorder unused;
    CameraGraph graph;

    // Builds and runs it; `wanted` null: the pin's first capability.
    HRESULT start(int32_t channel, const Wanted* wanted = nullptr, PixelKind kind = PixelKind::rgb24) {
        if (wanted) g_wanted = *wanted;
        const bool rgb = kind == PixelKind::rgb24;
        HRESULT hr = graph.build(bind_device(kNames[channel - 1]), unused, wanted ? set_wanted_format : nullptr,
                                 rgb ? MEDIASUBTYPE_RGB24 : GUID_NULL);
        if (FAILED(hr)) return hr;
        int32_t width = 0, height = 0;
        long size = 0;
        graph.connected_size(&width, &height, &size);
        recorder = std::make_unique<ShareRecorder>(kind, width, height);
        hr = graph.grabber->SetCallback(recorder.get(), 1);
        if (SUCCEEDED(hr)) hr = graph.control->Run();
        return FAILED(hr) ? hr : S_OK;
    }
    ~ReaderGraph() {
        if (graph.control) graph.control->Stop();
    }
};

class SharedCamera : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_EQ(v.Init(), 0);
        camera = device_index(VLXCAM_NAME_MAIN);
        ASSERT_GE(camera, 0) << "the test camera is not registered";
    }
    void TearDown() override {
        close_every_slot();
        v.SetActiveSel(0);
        v.Exit();
    }

    // The active slot opens the test camera, runs and publishes on `channel`.
    int32_t publish(int32_t channel, int32_t width = 640, int32_t height = 480) {
        v.SetDevWidth(width);
        v.SetDevHeight(height);
        v.SetDevFrameRate(30.0);
        // 1: a capability other than the one of that size refused it.
        if (const int32_t opened = v.Open(camera, 6, 0, 0, 0); opened != 0 && opened != 1) return -1000 + opened;
        if (const int32_t played = v.Play2(); played < 0) return -2000 + played;  // 1: Run answered S_FALSE
        return share.ShareSlot(channel);
    }

    const Vidlox& v = vidlox();
    const ShareExports& share = share_exports();
    int32_t camera = -1;
};

bool real_frames_at_least(const std::vector<ReceivedFrame>& frames, size_t count) {
    return count_real(frames) >= count;
}

size_t count_shared(const std::vector<std::wstring>& names) {
    return static_cast<size_t>(std::count_if(names.begin(), names.end(), [](const std::wstring& name) {
        return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
    }));
}

// The device paths' list, one line per video device, as vlx_GetDevicePathList gives it.
std::vector<std::string> device_paths() {
    const HMODULE module = GetModuleHandleW(L"vidlox64.dll");
    auto list = reinterpret_cast<decltype(&vlx_GetDevicePathList)>(
        reinterpret_cast<void*>(GetProcAddress(module, "vlx_GetDevicePathList")));
    auto size = reinterpret_cast<decltype(&vlx_GetDevicePathListSize)>(
        reinterpret_cast<void*>(GetProcAddress(module, "vlx_GetDevicePathListSize")));
    if (!list || !size || size(0) <= 0) return {};
    std::vector<char> text(static_cast<size_t>(size(0)), '\0');
    list(text.data(), 0);
    std::vector<std::string> lines;
    const std::string all(text.data());
    for (size_t start = 0; start < all.size();) {
        const size_t end = all.find("\r\n", start);
        lines.push_back(all.substr(start, end - start));
        start = end == std::string::npos ? all.size() : end + 2;
    }
    return lines;
}

TEST_F(SharedCamera, Regsvr32ListsAndRemovesTheFourChannelsEachWithItsPath) {
    ASSERT_EQ(regsvr32(L"/u", L"vidlox-share64.dll"), 0u);
    EXPECT_EQ(count_shared(video_device_names()), 0u);
    // The suite needs them: leave them registered.
    ASSERT_EQ(regsvr32(L"", L"vidlox-share64.dll"), 0u);
    EXPECT_EQ(count_shared(video_device_names()), 4u);

    const wchar_t* const paths[] = {VLXSHARE_PATH_1, VLXSHARE_PATH_2, VLXSHARE_PATH_3, VLXSHARE_PATH_4};
    const std::vector<std::string> listed = device_paths();
    std::vector<int32_t> seen;
    for (int channel = 0; channel < 4; ++channel) {
        const int32_t index = device_index(kNames[channel]);
        ASSERT_GE(index, 0) << utf8(kNames[channel]);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), index), 0) << "each its own device";
        seen.push_back(index);
        ASSERT_LT(static_cast<size_t>(index), listed.size());
        EXPECT_EQ(listed[static_cast<size_t>(index)], utf8(paths[channel]));
    }
}

TEST_F(SharedCamera, WithoutAPublisherItOffersThreeFormatsAndShowsNoSignal) {
    ReaderGraph reader;
    ASSERT_EQ(reader.start(4), S_OK);
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(reader.graph.builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, reader.graph.camera.get(),
                                                  IID_IAMStreamConfig, config.put_void()),
              S_OK);
    int count = 0, size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    ASSERT_EQ(count, 3);
    const GUID subtypes[] = {MEDIASUBTYPE_RGB24, MEDIASUBTYPE_YUY2, MEDIASUBTYPE_NV12};
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* type = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        ASSERT_EQ(config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
        EXPECT_TRUE(IsEqualGUID(type->subtype, subtypes[i])) << i;
        const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
        EXPECT_EQ(info->bmiHeader.biWidth, VLXSHARE_IDLE_WIDTH);
        EXPECT_EQ(info->bmiHeader.biHeight, VLXSHARE_IDLE_HEIGHT);
        EXPECT_EQ(info->AvgTimePerFrame, VLXSHARE_IDLE_FRAME_INTERVAL);
        vlx::delete_media_type(type);
    }
    ComPtr<IAMDroppedFrames> dropped;
    EXPECT_EQ(reader.graph.builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, reader.graph.camera.get(),
                                                  IID_IAMDroppedFrames, dropped.put_void()),
              S_OK);
    ASSERT_TRUE(reader.recorder->wait_for([](const auto& frames) { return frames.size() >= 5; }));
    const auto frames = reader.recorder->frames();
    EXPECT_EQ(count_no_signal(frames), frames.size());
    EXPECT_EQ(share_info(4)[VLX_SHARE_PUBLISHER], 0);
}

TEST_F(SharedCamera, FramesArriveInOrderInTwoReadersAtOnceAndAKilledReaderIsNotCounted) {
    ASSERT_EQ(publish(1), 0);
    ReaderGraph graph_reader;
    ASSERT_EQ(graph_reader.start(1), S_OK);
    wchar_t file[MAX_PATH];
    GetTempPathW(MAX_PATH, file);
    const std::wstring numbers_file = std::wstring(file) + L"vidlox-share-reader.txt";
    {
        Child library_reader(L"read 1 \"" + numbers_file + L"\"");
        ASSERT_TRUE(library_reader.wait_ready());
        ASSERT_TRUE(wait_for_info(1, [](auto info) { return info[VLX_SHARE_READERS] == 2; }));
        ASSERT_TRUE(graph_reader.recorder->wait_for([](const auto& f) { return real_frames_at_least(f, 30); }));
        const auto info = share_info(1);
        EXPECT_EQ(info[VLX_SHARE_PUBLISHER], static_cast<int64_t>(GetCurrentProcessId()));
        EXPECT_GE(info[VLX_SHARE_PUBLISHED], 30);
        Sleep(500);  // the child reads a few more frames
        library_reader.kill();
    }
    // The killed reader drops out of the count; the publisher and the other
    // reader go on.
    EXPECT_TRUE(wait_for_info(1, [](auto info) { return info[VLX_SHARE_READERS] == 1; }));
    const int64_t published = share_info(1)[VLX_SHARE_PUBLISHED];
    const size_t before = count_real(graph_reader.recorder->frames());
    EXPECT_TRUE(graph_reader.recorder->wait_for([&](const auto& f) { return count_real(f) >= before + 10; }));
    EXPECT_GT(share_info(1)[VLX_SHARE_PUBLISHED], published);

    const auto frames = graph_reader.recorder->frames();
    EXPECT_EQ(order_problem(frames), "");
    EXPECT_EQ(count_no_signal(frames), 0u);
    std::vector<uint32_t> read;
    if (FILE* numbers = _wfopen(numbers_file.c_str(), L"r")) {
        for (unsigned n = 0; std::fscanf(numbers, "%u", &n) == 1;) read.push_back(n);
        std::fclose(numbers);
    }
    ASSERT_GT(read.size(), 5u) << "the child read through the library";
    for (size_t i = 1; i < read.size(); ++i) EXPECT_GT(read[i], read[i - 1]) << i;
    DeleteFileW(numbers_file.c_str());
}

TEST_F(SharedCamera, APublisherKilledShowsNoSignalAndTheNextOneIsScaledIn) {
    ReaderGraph reader;
    auto first = std::make_unique<Child>(L"publish 2 640 480");
    ASSERT_TRUE(first->wait_ready());
    ASSERT_EQ(reader.start(2), S_OK);
    ASSERT_TRUE(reader.recorder->wait_for([](const auto& f) { return real_frames_at_least(f, 10); }));
    EXPECT_EQ(share_info(2)[VLX_SHARE_PUBLISHER], static_cast<int64_t>(first->pid()));
    first->kill();
    ASSERT_TRUE(reader.recorder->wait_for([](const auto& f) { return count_no_signal(f) >= 3; }))
        << "the source keeps running and shows no signal";
    EXPECT_EQ(share_info(2)[VLX_SHARE_PUBLISHER], 0);
    const size_t real_before = count_real(reader.recorder->frames());

    // Another publisher, in another size: scaled into the reader's 640x480.
    Child second(L"publish 2 320 240");
    ASSERT_TRUE(second.wait_ready());
    ASSERT_TRUE(reader.recorder->wait_for([&](const auto& f) { return count_real(f) >= real_before + 10; }));
    EXPECT_EQ(share_info(2)[VLX_SHARE_PUBLISHER], static_cast<int64_t>(second.pid()));
    EXPECT_EQ(order_problem(reader.recorder->frames()), "");
}

TEST_F(SharedCamera, AChannelIsPublishedByOneSlotOrProcessAtATime) {
    int64_t info[VLX_SHARE_INFO_COUNT];
    EXPECT_EQ(share.GetShareInfo(1, nullptr), -1);
    EXPECT_EQ(share.GetShareInfo(0, info), -2);
    EXPECT_EQ(share.GetShareInfo(5, info), -2);
    EXPECT_EQ(share.ShareSlot(3), -1) << "the slot is not open";
    EXPECT_EQ(share.ShareSlot(0), 0);

    Child other(L"publish 3 640 480");
    ASSERT_TRUE(other.wait_ready());
    EXPECT_EQ(publish(3), -5) << "another process publishes there";
    EXPECT_EQ(share.ShareSlot(4), 0);
    v.SetActiveSel(1);
    EXPECT_EQ(publish(4), -5) << "another slot publishes there";
    other.kill();
    EXPECT_EQ(share.ShareSlot(3), 0) << "the killed publisher's channel is free";
    EXPECT_EQ(share_info(3)[VLX_SHARE_PUBLISHER], static_cast<int64_t>(GetCurrentProcessId()));
}

// Exactly the calls the header names end a slot's publishing (on channel 4
// here); nothing else touches it.
TEST_F(SharedCamera, WhatEndsASlotsPublishing) {
    struct Case {
        const char* call;
        int32_t (*make)(SharedCamera&);
        int32_t answer;
        bool still_publishing;
    };
    const Case cases[] = {
        {"vlx_Open on the open slot", [](SharedCamera& t) { return t.v.Open(t.camera, 6, 0, 0, 0); }, -2, true},
        {"vlx_ShareSlot(5)", [](SharedCamera& t) { return t.share.ShareSlot(5); }, -2, true},
        {"vlx_ShareSlot(-1)", [](SharedCamera& t) { return t.share.ShareSlot(-1); }, -2, true},
        {"vlx_ShareSlot of its own channel", [](SharedCamera& t) { return t.share.ShareSlot(4); }, 0, true},
        {"vlx_Stop, vlx_Play2", [](SharedCamera& t) { return t.v.Stop() == 0 && t.v.Play2() >= 0 ? 0 : -1; }, 0, true},
        {"vlx_ShareSlot(0)", [](SharedCamera& t) { return t.share.ShareSlot(0); }, 0, false},
        {"vlx_ShareSlot of another channel", [](SharedCamera& t) { return t.share.ShareSlot(2); }, 0, false},
        {"vlx_Close", [](SharedCamera& t) { return t.v.Close(); }, 0, false},
        {"vlx_Reopen", [](SharedCamera& t) { return t.share.Reopen(); }, 0, false},
        {"vlx_Exit", [](SharedCamera& t) { return t.v.Exit(); }, 0, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.call);
        ASSERT_EQ(publish(4), 0);
        EXPECT_EQ(test.make(*this), test.answer);
        EXPECT_EQ(share_info(4)[VLX_SHARE_PUBLISHER], test.still_publishing ? int64_t{GetCurrentProcessId()} : 0);
        v.Init();
        close_every_slot();
    }
    // A move that is refused leaves the slot publishing on none.
    Child other(L"publish 3 640 480");
    ASSERT_TRUE(other.wait_ready());
    ASSERT_EQ(publish(4), 0);
    EXPECT_EQ(share.ShareSlot(3), -5);
    EXPECT_EQ(share_info(4)[VLX_SHARE_PUBLISHER], 0);
}

// The shared camera as the slot's device takes sizes up to 4096 x 4096: a
// frame larger than a channel carries is refused; a publisher whose frames
// turned so large since is said to send none.
TEST_F(SharedCamera, AFrameSizeTheChannelDoesNotCarryIsRefusedOrSaidSo) {
    const int32_t source = device_index(VLXSHARE_NAME_2);
    ASSERT_GE(source, 0);
    struct Case {
        int32_t width, height, share;
    };
    for (const Case test : {Case{4096, 2160, -9}, Case{2160, 3840, 0}}) {
        SCOPED_TRACE(std::to_string(test.width) + "x" + std::to_string(test.height));
        v.SetDevWidth(test.width);
        v.SetDevHeight(test.height);
        const int32_t opened = v.Open(source, 6, 0, 0, 0);
        ASSERT_TRUE(opened == 0 || opened == 1) << opened;
        ASSERT_GE(v.Play2(), 0);
        EXPECT_EQ(share.ShareSlot(1), test.share);
        EXPECT_EQ(v.Close(), 0);
    }
    vlxshare::transport::ChannelWriter writer;
    ASSERT_EQ(writer.open(1), vlxshare::transport::ClaimResult::claimed);
    int64_t info[VLX_SHARE_INFO_COUNT];
    EXPECT_EQ(share.GetShareInfo(1, info), 0);
    writer.announce_shape(4096, 2160);
    EXPECT_EQ(share.GetShareInfo(1, info), 2);
    EXPECT_EQ(info[VLX_SHARE_PUBLISHER], static_cast<int64_t>(GetCurrentProcessId()));
}

// Objects that another process made first under the channel's names: the
// publisher refuses them, readers show "no signal" without a fault.
TEST_F(SharedCamera, ObjectsOfAnotherProcessUnderTheChannelsNamesAreNeverUsed) {
    struct Case {
        const wchar_t* squat;
        int32_t share;
        bool reader_sees_frames;
    };
    const Case cases[] = {
        {L"null-dacl", -10, false},
        {L"other-owner", -10, false},
        {L"reserved", -6, false},
        {L"mutex-as-event", 0, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(utf8(test.squat));
        Child squatter(std::wstring(L"squat 1 ") + test.squat);
        ASSERT_TRUE(squatter.wait_ready());
        ReaderGraph reader;
        ASSERT_EQ(reader.start(1), S_OK);
        EXPECT_EQ(publish(1), test.share);
        ASSERT_TRUE(reader.recorder->wait_for([](const auto& f) { return f.size() >= 10; }));
        if (test.reader_sees_frames) {
            EXPECT_TRUE(reader.recorder->wait_for([](const auto& f) { return real_frames_at_least(f, 5); }));
        } else {
            EXPECT_EQ(count_real(reader.recorder->frames()), 0u);
        }
        close_every_slot();
    }
}

TEST_F(SharedCamera, AFormatSetOnTheStoppedSlotGoesOutInItsNewSizeAndReadersScaleIt) {
    ASSERT_EQ(publish(1), 0);
    ReaderGraph reader;
    ASSERT_EQ(reader.start(1), S_OK);
    ASSERT_TRUE(reader.recorder->wait_for([](const auto& f) { return real_frames_at_least(f, 10); }));
    ASSERT_EQ(v.Stop(), 0);
    v.SetDevWidth(320);
    v.SetDevHeight(240);
    const int32_t configured = v.SetDevCapConfig();
    ASSERT_TRUE(configured == 0 || configured == 1) << configured;
    ASSERT_GE(v.Play2(), 0);
    reader.recorder->clear();
    ASSERT_TRUE(reader.recorder->wait_for([](const auto& f) { return real_frames_at_least(f, 10); }))
        << "the slot's frames of the new size still reach the reader";
    EXPECT_EQ(order_problem(reader.recorder->frames()), "");
}

TEST_F(SharedCamera, AGarbageMappingShowsNoSignalUntilAPublisherRepairsIt) {
    {
        vlxshare::transport::ChannelView view;
        ASSERT_EQ(view.open(3, true), 0u);
        // Random bytes, with our magic and layout so the records are reached.
        uint32_t state = 99;
        for (size_t i = 0; i < sizeof(vlxshare::transport::ChannelHeader); ++i) {
            state = state * 1664525 + 1013904223;
            view.base()[i] = static_cast<uint8_t>(state >> 24);
        }
        auto& header = *reinterpret_cast<vlxshare::transport::ChannelHeader*>(view.base());
        header.magic = static_cast<LONG>(vlxshare::transport::kMagic);
        header.version = vlxshare::transport::kLayoutVersion;
        header.header_bytes = sizeof(vlxshare::transport::ChannelHeader);
        header.ring_frames = vlxshare::transport::kRingFrames;
        header.frame_capacity = vlxshare::transport::kFrameCapacity;
        header.data_offset = vlxshare::transport::kDataOffset;
        header.publisher.who = GetCurrentProcessId();
        header.publisher.started = vlxshare::transport::this_process_started();
        for (auto& frame : header.frames) {
            frame.width = 0x7fffffff;
            frame.bytes = 0xffffffff;
            frame.sequence = 2 * header.published;
        }
        ReaderGraph reader;
        ASSERT_EQ(reader.start(3), S_OK);
        ASSERT_TRUE(reader.recorder->wait_for([](const auto& f) { return f.size() >= 5; }));
        EXPECT_EQ(count_real(reader.recorder->frames()), 0u);
        // The publisher takes the channel over and repairs it.
        ASSERT_EQ(publish(3), 0);
        ASSERT_TRUE(reader.recorder->wait_for([](const auto& f) { return real_frames_at_least(f, 10); }));
        EXPECT_EQ(order_problem(reader.recorder->frames()), "");
    }
}

struct Conversion {
    const char* what;
    Wanted wanted;
    PixelKind kind;
};

TEST_F(SharedCamera, YuvAndScaledOutputsShowThePublishedFrame) {
    ASSERT_EQ(publish(2), 0);
    const Conversion cases[] = {
        {"YUY2", {MEDIASUBTYPE_YUY2, 640, 480}, PixelKind::yuy2},
        {"NV12", {MEDIASUBTYPE_NV12, 640, 480}, PixelKind::nv12},
        {"RGB24 scaled down", {MEDIASUBTYPE_RGB24, 320, 240}, PixelKind::rgb24},
        {"NV12 scaled up", {MEDIASUBTYPE_NV12, 1280, 720}, PixelKind::nv12},
    };
    for (const Conversion& conversion : cases) {
        SCOPED_TRACE(conversion.what);
        ReaderGraph reader;
        ASSERT_EQ(reader.start(2, &conversion.wanted, conversion.kind), S_OK);
        ASSERT_TRUE(reader.recorder->wait_for([](const auto& f) { return real_frames_at_least(f, 5); }));
        const auto frames = reader.recorder->frames();
        EXPECT_EQ(count_no_signal(frames), 0u);
        EXPECT_EQ(order_problem(frames), "");
    }
}

}  // namespace
}  // namespace vlx_test
