// MFCreateSinkWriterFromURL for the test prefix, where Wine 8's own sink
// writer never finds a media sink (it compares the container GUID with the
// address of a pointer) and implements neither SetInputMediaType nor
// Finalize. This writer keeps the call order of the platform's writer
// (AddStream, SetInputMediaType, BeginWriting, WriteSample, Finalize) and
// writes what Windows writes for an H.264 stream in an MP4 container:
// frame size, frame count and time stamps as given, the pictures coded as
// I_PCM (see h264_pcm.h) instead of by an encoder.
//
// Containers are chosen as the platform chooses them: the writer
// attributes' MF_TRANSCODE_CONTAINERTYPE, else the file extension; an
// unknown extension is E_INVALIDARG. Any other container or output codec is
// answered as a Windows writer without a matching encoder answers: the file
// is created and the stream added, and SetInputMediaType fails with
// MF_E_TOPO_CODEC_NOT_FOUND.
#include "h264_pcm.h"
#include "mp4_file.h"

#include "comkit/com_base.h"
#include "common/dib_size.h"
#include "common/media_foundation.h"

#include <cstdint>
#include <cwctype>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace vlxtp {

using namespace vlxcom;

namespace {

struct ExtensionContainer {
    const wchar_t* extension;
    const GUID* container;
};

const ExtensionContainer kExtensions[] = {
    {L".mp4", &MFTranscodeContainerType_MPEG4}, {L".m4v", &MFTranscodeContainerType_MPEG4},
    {L".3gp", &MFTranscodeContainerType_3GP},   {L".wmv", &MFTranscodeContainerType_ASF},
    {L".asf", &MFTranscodeContainerType_ASF},   {L".avi", &MFTranscodeContainerType_AVI},
};

std::optional<GUID> container_of(const std::wstring& url, IMFAttributes* attributes) {
    GUID container;
    if (attributes && SUCCEEDED(attributes->GetGUID(MF_TRANSCODE_CONTAINERTYPE, &container))) return container;
    const size_t name = url.find_last_of(L"\\/");
    const size_t dot = url.rfind(L'.');
    if (dot == std::wstring::npos || (name != std::wstring::npos && dot < name)) return std::nullopt;
    std::wstring extension = url.substr(dot);
    for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(c));
    for (const ExtensionContainer& known : kExtensions)
        if (extension == known.extension) return *known.container;
    return std::nullopt;
}

// What the writer reads of the stream's output type.
struct OutputFormat {
    GUID subtype = GUID_NULL;
    UINT32 width = 0, height = 0;
    UINT32 profile = 0;
};

// What it reads of the input type.
struct InputFormat {
    int bytes_per_pixel = 0;
    int32_t row_pitch = 0;  // bytes from one row to the next in memory
    bool bottom_up = false;
};

class SinkWriter final : public ComObject<IMFSinkWriter> {
public:
    SinkWriter(std::wstring path, const GUID& container) : path_(std::move(path)), container_(container) {}

    HRESULT create_file() { return file_.create(path_); }

    STDMETHODIMP AddStream(IMFMediaType* type, DWORD* index) override;
    STDMETHODIMP SetInputMediaType(DWORD index, IMFMediaType* type, IMFAttributes* parameters) override;
    STDMETHODIMP BeginWriting() override;
    STDMETHODIMP WriteSample(DWORD index, IMFSample* sample) override;
    STDMETHODIMP SendStreamTick(DWORD, LONGLONG) override { return E_NOTIMPL; }
    STDMETHODIMP PlaceMarker(DWORD, void*) override { return E_NOTIMPL; }
    STDMETHODIMP NotifyEndOfSegment(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Flush(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Finalize() override;
    STDMETHODIMP GetServiceForStream(DWORD, REFGUID, REFIID, void** out) override {
        if (out) *out = nullptr;
        return MF_E_UNSUPPORTED_SERVICE;
    }
    STDMETHODIMP GetStatistics(DWORD, MF_SINK_WRITER_STATISTICS*) override { return E_NOTIMPL; }

private:
    enum class Phase { configuring, writing, finalized };

    HRESULT write_sample(IMFSample* sample);

    std::mutex lock_;
    std::wstring path_;
    GUID container_;
    Phase phase_ = Phase::configuring;
    std::optional<OutputFormat> output_;  // one stream, index 0
    std::optional<InputFormat> input_;
    std::unique_ptr<PcmStream> coder_;
    Mp4File file_;
};

STDMETHODIMP SinkWriter::AddStream(IMFMediaType* type, DWORD* index) {
    if (!type || !index) return E_INVALIDARG;
    std::lock_guard guard(lock_);
    if (phase_ != Phase::configuring) return MF_E_INVALIDREQUEST;
    if (output_) return MF_E_INVALIDREQUEST;  // this writer carries one stream
    GUID major = GUID_NULL;
    OutputFormat format;
    if (FAILED(type->GetGUID(MF_MT_MAJOR_TYPE, &major)) || !IsEqualGUID(major, MFMediaType_Video) ||
        FAILED(type->GetGUID(MF_MT_SUBTYPE, &format.subtype)) ||
        FAILED(MFGetAttributeSize(type, MF_MT_FRAME_SIZE, &format.width, &format.height)))
        return MF_E_INVALIDMEDIATYPE;
    format.profile = MFGetAttributeUINT32(type, MF_MT_MPEG2_PROFILE, 66);  // the encoder's default: Baseline
    output_ = format;
    *index = 0;
    return S_OK;
}

STDMETHODIMP SinkWriter::SetInputMediaType(DWORD index, IMFMediaType* type, IMFAttributes*) {
    std::lock_guard guard(lock_);
    if (phase_ != Phase::configuring) return MF_E_INVALIDREQUEST;
    if (!output_ || index != 0) return MF_E_INVALIDSTREAMNUMBER;
    if (!type) return E_INVALIDARG;
    const OutputFormat& out = *output_;
    const bool h264_in_mp4 = IsEqualGUID(container_, MFTranscodeContainerType_MPEG4) &&
                             IsEqualGUID(out.subtype, MFVideoFormat_H264) &&
                             (out.profile == 66 || out.profile == 77 || out.profile == 100);
    if (!h264_in_mp4) return MF_E_TOPO_CODEC_NOT_FOUND;

    GUID subtype = GUID_NULL;
    UINT32 width = 0, height = 0;
    type->GetGUID(MF_MT_SUBTYPE, &subtype);
    MFGetAttributeSize(type, MF_MT_FRAME_SIZE, &width, &height);
    InputFormat in;
    in.bytes_per_pixel = IsEqualGUID(subtype, MFVideoFormat_RGB24) ? 3 : IsEqualGUID(subtype, MFVideoFormat_RGB32) ? 4 : 0;
    // The encoder takes whole 4:2:0 chroma samples and does not scale.
    if (!in.bytes_per_pixel || width != out.width || height != out.height || width % 2 || height % 2 || !width ||
        !height)
        return MF_E_INVALIDMEDIATYPE;
    // RGB without a default stride is bottom-up, as the platform's H.264
    // path takes it: a DIB's rows, padded to 4 bytes.
    const int64_t packed = vlx::dib_row_bytes(width, in.bytes_per_pixel * 8);
    const int64_t stride =
        static_cast<int32_t>(MFGetAttributeUINT32(type, MF_MT_DEFAULT_STRIDE, static_cast<UINT32>(-packed)));
    const int64_t pitch = stride < 0 ? -stride : stride;
    // A caller's stride shorter than a row of pixels would make every frame
    // read past its buffer.
    if (pitch < int64_t{width} * in.bytes_per_pixel || pitch > INT32_MAX) return MF_E_INVALIDMEDIATYPE;
    in.row_pitch = static_cast<int32_t>(pitch);
    in.bottom_up = stride < 0;
    return com_guard([&] {
        // The coder first: a stream that cannot be coded keeps no input type.
        coder_ = std::make_unique<PcmStream>(static_cast<int>(out.profile), static_cast<int32_t>(width),
                                             static_cast<int32_t>(height));
        input_ = in;
        return S_OK;
    });
}

STDMETHODIMP SinkWriter::BeginWriting() {
    std::lock_guard guard(lock_);
    if (phase_ != Phase::configuring || !output_ || !input_) return MF_E_INVALIDREQUEST;
    const HRESULT hr = file_.begin();
    if (SUCCEEDED(hr)) phase_ = Phase::writing;
    return hr;
}

STDMETHODIMP SinkWriter::WriteSample(DWORD index, IMFSample* sample) {
    std::lock_guard guard(lock_);
    if (phase_ != Phase::writing) return MF_E_INVALIDREQUEST;
    if (index != 0) return MF_E_INVALIDSTREAMNUMBER;
    if (!sample) return E_INVALIDARG;
    return com_guard([&] { return write_sample(sample); });
}

HRESULT SinkWriter::write_sample(IMFSample* sample) {
    LONGLONG time = 0, duration = 0;
    if (FAILED(sample->GetSampleTime(&time))) return MF_E_NO_SAMPLE_TIMESTAMP;
    if (FAILED(sample->GetSampleDuration(&duration))) duration = 0;
    ComPtr<IMFMediaBuffer> buffer;
    HRESULT hr = sample->ConvertToContiguousBuffer(buffer.put());
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    DWORD length = 0;
    hr = buffer->Lock(&data, nullptr, &length);
    if (FAILED(hr)) return hr;
    const int32_t width = static_cast<int32_t>(output_->width), height = static_cast<int32_t>(output_->height);
    Yuv420Picture picture;
    if (int64_t{length} < int64_t{input_->row_pitch} * height) {
        hr = MF_E_BUFFERTOOSMALL;
    } else {
        rgb_to_yuv420(data, width, height, input_->row_pitch, input_->bytes_per_pixel, input_->bottom_up, picture);
    }
    buffer->Unlock();
    if (FAILED(hr)) return hr;
    return file_.add_sample(coder_->encode(picture), time, duration);
}

STDMETHODIMP SinkWriter::Finalize() {
    std::lock_guard guard(lock_);
    if (phase_ != Phase::writing) return MF_E_INVALIDREQUEST;
    phase_ = Phase::finalized;
    return com_guard([&] {
        TrackFormat format;
        format.width = static_cast<int32_t>(output_->width);
        format.height = static_cast<int32_t>(output_->height);
        format.profile = coder_->profile();
        format.level = coder_->level();
        format.sps = coder_->sps();
        format.pps = coder_->pps();
        return file_.finish(format);
    });
}

}  // namespace

}  // namespace vlxtp

extern "C" HRESULT WINAPI MFCreateSinkWriterFromURL(LPCWSTR url, IMFByteStream* byte_stream, IMFAttributes* attributes,
                                                    IMFSinkWriter** writer) {
    if (!writer) return E_INVALIDARG;
    *writer = nullptr;
    if (!url) return E_INVALIDARG;
    // A caller's own byte stream is a road the library never takes.
    if (byte_stream) return E_NOTIMPL;
    return vlxcom::com_guard([&] {
        const std::optional<GUID> container = vlxtp::container_of(url, attributes);
        if (!container) return E_INVALIDARG;
        vlx::ComPtr<vlxtp::SinkWriter> created;
        *created.put() = new vlxtp::SinkWriter(url, *container);
        const HRESULT hr = created->create_file();
        if (FAILED(hr)) return hr;
        *writer = created.detach();
        return S_OK;
    });
}
