// The encoder through its exported functions, with the recording writer in
// place of the file-writing sink writer Wine cannot create.
#include "encoder/registry.h"
#include "library/fault_injection.h"
#include "support/recording_sink_writer.h"
#include "vidlox.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <numeric>

namespace vlx_test {
namespace {

constexpr GUID fourcc_subtype(const char (&code)[5]) {
    return {static_cast<DWORD>(static_cast<uint8_t>(code[0]) | (static_cast<uint8_t>(code[1]) << 8) |
                               (static_cast<uint8_t>(code[2]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24)),
            0x0000,
            0x0010,
            {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
}

AttributeValue u32(UINT32 value) { return {MF_ATTRIBUTE_UINT32, value, 0, {}}; }
AttributeValue u64(UINT64 value) { return {MF_ATTRIBUTE_UINT64, 0, value, {}}; }
AttributeValue guid(const GUID& value) { return {MF_ATTRIBUTE_GUID, 0, 0, value}; }

class Encoding : public ::testing::Test {
protected:
    void SetUp() override {
        vlx::fault::clear_all();
        ASSERT_EQ(vlx_InitEncoder(), S_OK);
        id = vlx_CreateEncoder();
        ASSERT_GE(id, 0);
    }
    void TearDown() override {
        vlx::fault::clear_all();
        vlx_DeleteEncoder(id);
        EXPECT_EQ(vlx_UnInitEncoder(), S_OK);
    }
    int32_t open(int32_t codec = 2, int32_t width = 4, int32_t height = 2, int32_t bpp = 24, double rate = 30.0,
                 int32_t bit_rate = 1000000) {
        return vlx_OpenEncoder(id, L"out.mp4", codec, width, height, bpp, rate, bit_rate);
    }

    RecordingSinkWriters writers;
    int32_t id = -1;
};

Attributes expected_type(const GUID& subtype, UINT64 frame_size, UINT32 numerator) {
    return {{guid_key(MF_MT_FRAME_SIZE), u64(frame_size)},
            {guid_key(MF_MT_FRAME_RATE), u64((UINT64{numerator} << 32) | 10000000)},
            {guid_key(MF_MT_PIXEL_ASPECT_RATIO), u64(0x100000001ULL)},
            {guid_key(MF_MT_MAJOR_TYPE), guid(MFMediaType_Video)},
            {guid_key(MF_MT_SUBTYPE), guid(subtype)},
            {guid_key(MF_MT_INTERLACE_MODE), u32(2)}};
}

TEST_F(Encoding, MediaTypesCarryExactlyTheirAttributes) {
    ASSERT_EQ(open(2, 640, 480, 24, 29.97, -1), 0);
    const WriterRecord& w = writers.last();
    EXPECT_EQ(w.url, L"out.mp4");

    Attributes output = expected_type(MFVideoFormat_H264, (UINT64{640} << 32) | 480, 299700000);
    output[guid_key(MF_MT_AVG_BITRATE)] = u32(0xFFFFFFFFu);  // -1 as its unsigned pattern
    output[guid_key(MF_MT_MPEG2_PROFILE)] = u32(77);
    EXPECT_EQ(w.output_type, output);
    EXPECT_EQ(w.input_type, expected_type(MFVideoFormat_RGB24, (UINT64{640} << 32) | 480, 299700000));
    EXPECT_EQ(w.input_stream, 3u) << "the stream index AddStream gave";
    EXPECT_TRUE(w.began);

    ASSERT_TRUE(w.had_attributes);
    EXPECT_EQ(w.creation_attributes,
              (Attributes{{guid_key(MF_READWRITE_ENABLE_HARDWARE_TRANSFORMS), u32(1)}}));
}

TEST_F(Encoding, CodecTable) {
    struct Row {
        int32_t codec;
        GUID subtype;
        UINT32 profile;  // 0: the ASF container instead
    };
    const Row rows[] = {{0, fourcc_subtype("WMV3"), 0},  {1, MFVideoFormat_H264, 66},  {2, MFVideoFormat_H264, 77},
                        {3, MFVideoFormat_H264, 100},   {5, fourcc_subtype("HEVC"), 1}, {7, fourcc_subtype("VP90"), 1},
                        {8, fourcc_subtype("AV01"), 1}, {9, MFVideoFormat_H264, 77},   {-1, MFVideoFormat_H264, 77}};
    for (const Row& row : rows) {
        ASSERT_EQ(open(row.codec), 0) << row.codec;
        const Attributes& output = writers.last().output_type;
        EXPECT_EQ(output.at(guid_key(MF_MT_SUBTYPE)), guid(row.subtype)) << row.codec;
        if (row.profile == 0) {
            EXPECT_EQ(output.at(guid_key(MF_TRANSCODE_CONTAINERTYPE)), guid(MFTranscodeContainerType_ASF));
            EXPECT_EQ(output.count(guid_key(MF_MT_MPEG2_PROFILE)), 0u);
        } else {
            EXPECT_EQ(output.at(guid_key(MF_MT_MPEG2_PROFILE)), u32(row.profile)) << row.codec;
            EXPECT_EQ(output.count(guid_key(MF_TRANSCODE_CONTAINERTYPE)), 0u);
        }
        EXPECT_EQ(output.size(), 8u) << row.codec;
        EXPECT_EQ(vlx_CloseEncoder(id), 0);
    }
}

TEST_F(Encoding, Rgb32Input) {
    ASSERT_EQ(open(2, 641, 3, 32), 0);
    EXPECT_EQ(writers.last().input_type.at(guid_key(MF_MT_SUBTYPE)), guid(MFVideoFormat_RGB32));
}

TEST_F(Encoding, RefusalsBeforeAnyWriter) {
    EXPECT_EQ(vlx_OpenEncoder(id, L"", 2, -1, -1, -1, 30.0, 0), -1) << "empty name first";
    EXPECT_EQ(vlx_OpenEncoder(id, nullptr, 2, 4, 2, 24, 30.0, 0), -1);
    EXPECT_EQ(vlx_OpenEncoder(id, reinterpret_cast<const wchar_t*>(uintptr_t{1}), 2, 4, 2, 24, 30.0, 0), -1);
    EXPECT_EQ(vlx_OpenEncoder(id, reinterpret_cast<const wchar_t*>(uintptr_t{65535}), 2, 4, 2, 24, 30.0, 0), -1);
    EXPECT_EQ(open(2, 0), -2);
    EXPECT_EQ(open(2, 4, 0), -2);
    EXPECT_EQ(open(2, 4, 2, 0), -2);
    EXPECT_EQ(open(2, 4, 2, 16), -2) << "no input subtype matches 16-bit frames";
    EXPECT_EQ(open(2, 1 << 30, 2, 32), -2) << "rows beyond 32-bit sizes";
    EXPECT_EQ(open(2, 65536, 65536, 24), -2) << "a frame beyond 32-bit sizes";
    for (double rate : {0.0, -30.0, std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity(), 214.7483648, 0.004}) {
        EXPECT_EQ(open(2, 4, 2, 24, rate), -7) << rate;
    }
    EXPECT_EQ(open(4), -10) << "codec 4 names no format";
    EXPECT_EQ(open(6), -10);
    EXPECT_TRUE(writers.records().empty()) << "no writer, no file";
    EXPECT_EQ(open(2, 4, 2, 24, 214.7), 0) << "just inside the range";
}

TEST_F(Encoding, OpenTwiceAndInvalidSizesOnAnOpenEncoder) {
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(open(2, -1), -2) << "sizes are checked before the open state";
    EXPECT_EQ(open(), -3);
    EXPECT_EQ(writers.records().size(), 1u);
    EXPECT_FALSE(writers.last().released) << "the open writer is left alone";
    uint8_t frame[24] = {};
    EXPECT_EQ(vlx_WriteEncoder(id, frame, 0), 0) << "still open";
}

TEST_F(Encoding, WriterThatCannotBeCreated) {
    writers.behaviour().create = E_INVALIDARG;
    writers.behaviour().writer_despite_failure = true;
    EXPECT_EQ(open(), -4);
    EXPECT_TRUE(writers.last().released) << "a writer handed back with the failure is released";
    uint8_t frame[24] = {};
    EXPECT_EQ(vlx_WriteEncoder(id, frame, 0), -2) << "closed";
    writers.behaviour().create = S_OK;
    EXPECT_EQ(open(), 0) << "a further open may be tried";
}

TEST_F(Encoding, HardwareAttributesMissingStillCreatesAWriter) {
    vlx::fault::arm("vlx_OpenEncoder.MFCreateAttributes", E_OUTOFMEMORY, 0, 1);
    EXPECT_EQ(open(), 0);
    EXPECT_FALSE(writers.last().had_attributes);
}

struct OpenStep {
    const char* key;
    int32_t code;
};

TEST_F(Encoding, EachFailingOpenStepLeavesTheEncoderClosed) {
    const OpenStep steps[] = {
        {"vlx_OpenEncoder.MFCreateMediaType(output)", -5},
        {"vlx_OpenEncoder.Output.SetUINT64(MF_MT_FRAME_SIZE)", -6},
        {"vlx_OpenEncoder.Output.SetUINT64(MF_MT_FRAME_RATE)", -7},
        {"vlx_OpenEncoder.Output.SetUINT64(MF_MT_PIXEL_ASPECT_RATIO)", -8},
        {"vlx_OpenEncoder.Output.SetGUID(MF_MT_MAJOR_TYPE)", -9},
        {"vlx_OpenEncoder.Output.SetGUID(MF_MT_SUBTYPE)", -10},
        {"vlx_OpenEncoder.Output.SetUINT32(MF_MT_AVG_BITRATE)", -11},
        {"vlx_OpenEncoder.Output.SetUINT32(MF_MT_INTERLACE_MODE)", -12},
        {"vlx_OpenEncoder.Output.SetCodecAttribute", -13},
        {"vlx_OpenEncoder.SinkWriter.AddStream", -14},
        {"vlx_OpenEncoder.MFCreateMediaType(input)", -15},
        {"vlx_OpenEncoder.Input.SetUINT64(MF_MT_FRAME_SIZE)", -16},
        {"vlx_OpenEncoder.Input.SetUINT64(MF_MT_FRAME_RATE)", -17},
        {"vlx_OpenEncoder.Input.SetUINT64(MF_MT_PIXEL_ASPECT_RATIO)", -18},
        {"vlx_OpenEncoder.Input.SetGUID(MF_MT_MAJOR_TYPE)", -19},
        {"vlx_OpenEncoder.Input.SetGUID(MF_MT_SUBTYPE)", -20},
        {"vlx_OpenEncoder.Input.SetUINT32(MF_MT_INTERLACE_MODE)", -21},
        {"vlx_OpenEncoder.SinkWriter.SetInputMediaType", -22},
        {"vlx_OpenEncoder.SinkWriter.BeginWriting", -23},
    };
    for (const OpenStep& step : steps) {
        vlx::fault::arm(step.key, E_FAIL, 0, 1);
        EXPECT_EQ(open(), step.code) << step.key;
        EXPECT_TRUE(writers.last().released) << step.key;
        uint8_t frame[24] = {};
        EXPECT_EQ(vlx_WriteEncoder(id, frame, 0), -2) << step.key;
    }
    // The writer's own refusals end the same way.
    for (const auto& [method, code] : {std::pair<const char*, int32_t>{"AddStream", -14},
                                       {"SetInputMediaType", -22}, {"BeginWriting", -23}}) {
        writers.behaviour().failures = {{method, MF_E_INVALIDMEDIATYPE}};
        EXPECT_EQ(open(), code) << method;
        EXPECT_TRUE(writers.last().released) << method;
    }
    writers.behaviour().failures.clear();
    EXPECT_EQ(open(), 0);
}

TEST_F(Encoding, SampleTimesAndDurations) {
    for (const auto& [rate, duration] :
         {std::pair<double, LONGLONG>{30.0, 333333}, {29.97, 333667}, {25.0, 400000}}) {
        ASSERT_EQ(open(2, 4, 2, 24, rate), 0);
        uint8_t frame[24] = {};
        for (int i = 0; i < 3; ++i) ASSERT_EQ(vlx_WriteEncoder(id, frame, 0), 0);
        const auto& samples = writers.last().samples;
        ASSERT_EQ(samples.size(), 3u);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(samples[i].time, static_cast<LONGLONG>(i) * duration) << rate;
            EXPECT_EQ(samples[i].duration, duration) << rate;
        }
        EXPECT_EQ(vlx_CloseEncoder(id), 0);
        EXPECT_EQ(writers.last().finalize_calls, 1);
        EXPECT_TRUE(writers.last().released);
    }
}

std::vector<uint8_t> numbered_frame(size_t bytes) {
    std::vector<uint8_t> frame(bytes);
    std::iota(frame.begin(), frame.end(), uint8_t{1});
    return frame;
}

TEST_F(Encoding, FrameBytesWithAndWithoutRowReversal) {
    for (const auto& [width, bpp, stride] : {std::tuple<int32_t, int32_t, size_t>{641, 24, 1924}, {641, 32, 2564},
                                             {2, 24, 8}, {3, 32, 12}}) {
        ASSERT_EQ(open(2, width, 2, bpp), 0);
        const std::vector<uint8_t> frame = numbered_frame(stride * 2);  // rows A then B
        ASSERT_EQ(vlx_WriteEncoder(id, frame.data(), 0), 0);
        ASSERT_EQ(vlx_WriteEncoder(id, frame.data(), 7), 0) << "any non-zero value reverses";
        const auto& samples = writers.last().samples;
        ASSERT_EQ(samples.size(), 2u);
        EXPECT_EQ(samples[0].bytes, frame) << width << "x" << bpp;
        std::vector<uint8_t> reversed(frame.begin() + static_cast<long>(stride), frame.end());
        reversed.insert(reversed.end(), frame.begin(), frame.begin() + static_cast<long>(stride));
        EXPECT_EQ(samples[1].bytes, reversed) << width << "x" << bpp << ": rows arrive as B, A";
        EXPECT_EQ(vlx_CloseEncoder(id), 0);
    }
}

TEST_F(Encoding, FailedWriteKeepsTheEncoderOpenAndTheTime) {
    ASSERT_EQ(open(), 0);
    uint8_t frame[24] = {};
    ASSERT_EQ(vlx_WriteEncoder(id, frame, 0), 0);
    const OpenStep steps[] = {
        {"vlx_WriteEncoder.MFCreateMemoryBuffer", -3},
        {"vlx_WriteEncoder.Buffer.Lock", -4},          {"vlx_WriteEncoder.MFCopyImage", -5},
        {"vlx_WriteEncoder.Buffer.Unlock", -6},        {"vlx_WriteEncoder.Buffer.SetCurrentLength", -7},
        {"vlx_WriteEncoder.MFCreateSample", -8},        {"vlx_WriteEncoder.Sample.AddBuffer", -9},
        {"vlx_WriteEncoder.Sample.SetSampleTime", -10}, {"vlx_WriteEncoder.Sample.SetSampleDuration", -11},
        {"vlx_WriteEncoder.SinkWriter.WriteSample", -12},
    };
    for (const OpenStep& step : steps) {
        vlx::fault::arm(step.key, E_OUTOFMEMORY, 0, 1);
        EXPECT_EQ(vlx_WriteEncoder(id, frame, 1), step.code) << step.key;
    }
    writers.behaviour().failures = {{"WriteSample", MF_E_NOTACCEPTING}};
    EXPECT_EQ(vlx_WriteEncoder(id, frame, 0), -12);
    writers.behaviour().failures.clear();
    ASSERT_EQ(vlx_WriteEncoder(id, frame, 0), 0);
    const auto& samples = writers.last().samples;
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[1].time, 333333) << "the failed writes did not advance the time";
    EXPECT_EQ(vlx_WriteEncoder(id, nullptr, 0), -1);
}

TEST_F(Encoding, CloseTwiceAndReopenStartsAtZero) {
    EXPECT_EQ(vlx_CloseEncoder(id), 0) << "never opened";
    ASSERT_EQ(open(), 0);
    uint8_t frame[24] = {};
    ASSERT_EQ(vlx_WriteEncoder(id, frame, 0), 0);
    writers.behaviour().failures = {{"Finalize", E_FAIL}};
    EXPECT_EQ(vlx_CloseEncoder(id), 0) << "whatever Finalize answers";
    EXPECT_EQ(writers.last().finalize_calls, 1);
    EXPECT_TRUE(writers.last().released);
    EXPECT_EQ(vlx_CloseEncoder(id), 0);
    EXPECT_EQ(writers.last().finalize_calls, 1) << "nothing left to finalize";
    writers.behaviour().failures.clear();

    ASSERT_EQ(vlx_OpenEncoder(id, L"second.mp4", 1, 2, 2, 32, 25.0, 500), 0);
    ASSERT_EQ(vlx_WriteEncoder(id, frame, 0), 0);
    EXPECT_EQ(writers.last().url, L"second.mp4");
    EXPECT_EQ(writers.last().samples.at(0).time, 0);
    EXPECT_EQ(writers.last().samples.at(0).duration, 400000);
}

TEST_F(Encoding, DeletingAnOpenEncoderFinalizesIt) {
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(vlx_DeleteEncoder(id), 0);
    EXPECT_EQ(writers.last().finalize_calls, 1);
    EXPECT_TRUE(writers.last().released);
    EXPECT_EQ(vlx_CloseEncoder(id), -100) << "the id is gone";
}

TEST_F(Encoding, IdsAreNeverReused) {
    const int32_t second = vlx_CreateEncoder();
    const int32_t third = vlx_CreateEncoder();
    EXPECT_EQ(second, id + 1);
    EXPECT_EQ(third, id + 2);
    EXPECT_EQ(vlx_DeleteEncoder(second), 0);
    for (int32_t unknown : {second, third + 1, -1}) {
        uint8_t frame[4] = {};
        EXPECT_EQ(vlx_OpenEncoder(unknown, L"x.mp4", 2, 4, 2, 24, 30.0, 0), -100);
        EXPECT_EQ(vlx_WriteEncoder(unknown, frame, 0), -100);
        EXPECT_EQ(vlx_CloseEncoder(unknown), -100);
        EXPECT_EQ(vlx_DeleteEncoder(unknown), -100);
    }
    EXPECT_EQ(vlx_CloseEncoder(third), 0) << "lookups inserted nothing and moved nothing";
    EXPECT_EQ(vlx_CreateEncoder(), third + 1) << "the deleted id is not given again";
    vlx_DeleteEncoder(third);
    vlx_DeleteEncoder(third + 1);
}

TEST_F(Encoding, IdCounterAtTheLargestValue) {
    const int32_t next = vlx_CreateEncoder();
    vlx_DeleteEncoder(next);
    vlx::set_last_encoder_id(std::numeric_limits<int32_t>::max() - 1);
    EXPECT_EQ(vlx_CreateEncoder(), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(vlx_CreateEncoder(), -1) << "no id left: refused, no wrap to negative ids";
    EXPECT_EQ(vlx_DeleteEncoder(std::numeric_limits<int32_t>::max()), 0);
    EXPECT_EQ(vlx_CreateEncoder(), -1) << "deleting does not free an id";
    vlx::set_last_encoder_id(next);  // later tests keep counting from here
}

}  // namespace
}  // namespace vlx_test
