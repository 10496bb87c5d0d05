#include "compressor.h"

#include "codec_settings.h"
#include "comkit/enumerators.h"
#include "comkit/filter_base.h"
#include "common/dib_size.h"
#include "jpeg_frame.h"
#include "vidlox_tp_mjpeg.h"

#include <dvdmedia.h>

#include <atomic>
#include <climits>
#include <cstring>

namespace vlxtp {

using namespace vlxcom;

const CLSID kMjpegCompressorClsid = VLXTP_MJPEG_CLSID_INIT;

namespace {

constexpr DWORD kMjpgFourcc = MAKEFOURCC('M', 'J', 'P', 'G');

class Compressor;

const VIDEOINFOHEADER& video_info(const AM_MEDIA_TYPE& type) {
    return *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
}

int64_t rgb24_rows(const BITMAPINFOHEADER& header) {
    return header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
}

int64_t rgb24_frame_bytes(const BITMAPINFOHEADER& header) {
    return vlx::dib_row_bytes(header.biWidth, 24) * rgb24_rows(header);
}

// Frame sizes travel as longs (sample lengths, allocator buffer sizes): a
// frame larger than that is refused at the connection.
bool is_rgb24_video_info(const AM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Video) || !IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB24) ||
        !IsEqualGUID(type.formattype, FORMAT_VideoInfo) || !type.pbFormat || type.cbFormat < sizeof(VIDEOINFOHEADER))
        return false;
    const BITMAPINFOHEADER& header = video_info(type).bmiHeader;
    return header.biBitCount == 24 && header.biCompression == BI_RGB && header.biWidth > 0 && header.biHeight != 0 &&
           rgb24_frame_bytes(header) <= LONG_MAX;
}

class RgbInputPin final : public InputPin {
public:
    explicit RgbInputPin(Compressor& compressor);
    STDMETHODIMP EndOfStream() override;

protected:
    bool accepts(const AM_MEDIA_TYPE& type) const override { return is_rgb24_video_info(type); }
    HRESULT receive(IMediaSample* sample) override;

private:
    Compressor& compressor_;
};

class JpegOutputPin final : public OutputPinBase {
public:
    explicit JpegOutputPin(Compressor& compressor);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) return hand_out<IPin>(this, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;

    HRESULT commit() { return allocator_ ? allocator_->Commit() : S_OK; }
    void decommit() {
        if (allocator_) allocator_->Decommit();
    }
    HRESULT deliver(const std::vector<uint8_t>& jpeg, IMediaSample* input);
    HRESULT deliver_end_of_stream() { return peer_ ? peer_->EndOfStream() : S_OK; }

protected:
    void drop_connection() override {
        OutputPinBase::drop_connection();
        peer_input_.reset();
        allocator_.reset();
    }

private:
    // Fills `negotiated` only when the whole negotiation succeeds.
    HRESULT negotiate_allocator(IMemInputPin* input, const AM_MEDIA_TYPE& type, ComPtr<IMemAllocator>& negotiated);

    Compressor& compressor_;
    ComPtr<IMemInputPin> peer_input_;
    ComPtr<IMemAllocator> allocator_;
};

class Compressor final : public Filter, public IAMVfwCompressDialogs {
public:
    Compressor() : Filter(kMjpegCompressorClsid), input_(*this), output_(*this) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return Filter::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return Filter::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Filter::Release(); }

    // IAMVfwCompressDialogs
    STDMETHODIMP ShowDialog(int dialog, HWND owner) override;
    STDMETHODIMP GetState(LPVOID state, int* size) override;
    STDMETHODIMP SetState(LPVOID state, int size) override;
    STDMETHODIMP SendDriverMessage(int, long, long) override { return E_NOTIMPL; }

    // The output type for the connected input type; false while the input
    // is unconnected.
    bool output_type(vlx::MediaType& type);
    HRESULT compress(IMediaSample* sample);
    JpegOutputPin& output() { return output_; }

protected:
    std::vector<IPin*> pins() override { return {static_cast<InputPin*>(&input_), &output_}; }
    HRESULT on_start() override;
    void on_stop() override;
    HRESULT other_interface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IAMVfwCompressDialogs)) return hand_out<IAMVfwCompressDialogs>(this, out);
        return Filter::other_interface(iid, out);
    }

private:
    RgbInputPin input_;
    JpegOutputPin output_;
    std::atomic<int> quality_ = VLXTP_MJPEG_DEFAULT_QUALITY;
};

// ---- Input pin ----------------------------------------------------------

RgbInputPin::RgbInputPin(Compressor& compressor) : InputPin(compressor, L"Input"), compressor_(compressor) {}

HRESULT RgbInputPin::receive(IMediaSample* sample) { return compressor_.compress(sample); }

STDMETHODIMP RgbInputPin::EndOfStream() {
    std::lock_guard guard(streaming_lock());
    return compressor_.output().deliver_end_of_stream();
}

// ---- Output pin ---------------------------------------------------------

JpegOutputPin::JpegOutputPin(Compressor& compressor)
    : OutputPinBase(compressor, L"Output"), compressor_(compressor) {}

STDMETHODIMP JpegOutputPin::Connect(IPin* receiver, const AM_MEDIA_TYPE* wanted) {
    if (!receiver) return E_POINTER;
    return com_guard([&]() -> HRESULT {
        std::lock_guard guard(filter_.lock());
        if (peer_) return VFW_E_ALREADY_CONNECTED;
        if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
        PIN_DIRECTION direction;
        if (FAILED(receiver->QueryDirection(&direction)) || direction != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
        vlx::MediaType ours;
        if (!compressor_.output_type(ours)) return VFW_E_NO_ACCEPTABLE_TYPES;  // input first
        if (wanted && !vlx::matches_partial(*ours.get(), *wanted)) return VFW_E_NO_ACCEPTABLE_TYPES;
        HRESULT hr = receiver->ReceiveConnection(this, ours.get());
        if (FAILED(hr)) return hr;
        ComPtr<IMemInputPin> input;
        ComPtr<IMemAllocator> allocator;
        hr = receiver->QueryInterface(IID_IMemInputPin, input.put_void());
        if (SUCCEEDED(hr)) hr = negotiate_allocator(input.get(), *ours.get(), allocator);
        if (FAILED(hr)) {
            receiver->Disconnect();
            return hr;
        }
        // Nothing from here on can fail: the type moves in, no copy.
        peer_ = ComPtr<IPin>::share(receiver);
        peer_input_ = std::move(input);
        allocator_ = std::move(allocator);
        *type_.reset() = *ours.get();
        *ours.get() = AM_MEDIA_TYPE{};
        return S_OK;
    });
}

HRESULT JpegOutputPin::negotiate_allocator(IMemInputPin* input, const AM_MEDIA_TYPE& type,
                                           ComPtr<IMemAllocator>& negotiated) {
    ComPtr<IMemAllocator> allocator;
    // A peer may answer S_OK and still hand out no allocator.
    if (FAILED(input->GetAllocator(allocator.put())) || !allocator) {
        const HRESULT created = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                                 IID_IMemAllocator, allocator.put_void());
        if (FAILED(created)) return created;
    }
    const long needed = static_cast<long>(video_info(type).bmiHeader.biSizeImage);
    ALLOCATOR_PROPERTIES wanted{}, actual{};
    if (FAILED(input->GetAllocatorRequirements(&wanted))) wanted = {};  // E_NOTIMPL is common: our values then
    wanted.cBuffers = std::max<long>(wanted.cBuffers, 2);
    wanted.cbBuffer = std::max<long>(wanted.cbBuffer, needed);
    wanted.cbAlign = std::max<long>(wanted.cbAlign, 1);
    HRESULT hr = allocator->SetProperties(&wanted, &actual);
    if (FAILED(hr)) return hr;
    // An allocator may settle for less than asked; a frame must still fit.
    if (actual.cbBuffer < needed) return VFW_E_SIZENOTSET;
    hr = input->NotifyAllocator(allocator.get(), FALSE);
    if (FAILED(hr)) return hr;
    negotiated = std::move(allocator);
    return S_OK;
}

STDMETHODIMP JpegOutputPin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    return com_guard([&] {
        vlx::MediaType ours;
        return compressor_.output_type(ours) && vlx::matches_partial(*ours.get(), *type) ? S_OK : S_FALSE;
    });
}

STDMETHODIMP JpegOutputPin::EnumMediaTypes(IEnumMediaTypes** types) {
    return com_guard([&] {
        vlx::MediaType ours;
        std::vector<AM_MEDIA_TYPE> offered;
        if (compressor_.output_type(ours)) {
            offered.emplace_back();
            std::swap(offered.back(), *ours.get());  // the enumerator takes it over
        }
        return create_media_type_enumerator(std::move(offered), types);
    });
}

HRESULT JpegOutputPin::deliver(const std::vector<uint8_t>& jpeg, IMediaSample* input) {
    if (!allocator_ || !peer_input_) return VFW_E_NOT_CONNECTED;
    ComPtr<IMediaSample> sample;
    HRESULT hr = allocator_->GetBuffer(sample.put(), nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    if (static_cast<size_t>(sample->GetSize()) < jpeg.size()) return VFW_E_BUFFER_OVERFLOW;
    BYTE* data = nullptr;
    hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    std::memcpy(data, jpeg.data(), jpeg.size());
    sample->SetActualDataLength(static_cast<long>(jpeg.size()));
    REFERENCE_TIME start = 0, stop = 0;
    const HRESULT timed = input->GetTime(&start, &stop);
    if (timed == S_OK) sample->SetTime(&start, &stop);
    else if (timed == VFW_S_NO_STOP_TIME) sample->SetTime(&start, nullptr);
    sample->SetSyncPoint(TRUE);  // every frame is a whole JPEG picture
    sample->SetDiscontinuity(input->IsDiscontinuity() == S_OK);
    return peer_input_->Receive(sample.get());
}

// ---- Filter -------------------------------------------------------------

bool Compressor::output_type(vlx::MediaType& type) {
    std::lock_guard guard(lock());
    if (!input_.connected()) return false;
    if (FAILED(vlx::copy_media_type(*type.reset(), input_.connection_type()))) throw std::bad_alloc();
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
    BITMAPINFOHEADER& header = info->bmiHeader;
    header.biHeight = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    header.biCompression = kMjpgFourcc;
    header.biBitCount = 24;
    // The largest frame the compressor delivers: the mux sizes its buffers
    // by it.
    header.biSizeImage = static_cast<DWORD>(rgb24_frame_bytes(header));
    type->subtype = MEDIASUBTYPE_MJPG;
    type->bFixedSizeSamples = FALSE;
    type->bTemporalCompression = FALSE;
    type->lSampleSize = 0;
    return true;
}

HRESULT Compressor::compress(IMediaSample* sample) {
    const BITMAPINFOHEADER header = video_info(input_.connection_type()).bmiHeader;
    BYTE* bits = nullptr;
    HRESULT hr = sample->GetPointer(&bits);
    if (FAILED(hr)) return hr;
    if (sample->GetActualDataLength() < rgb24_frame_bytes(header)) return E_INVALIDARG;
    Rgb24Frame frame;
    frame.bits = bits;
    frame.width = header.biWidth;
    frame.rows = static_cast<int32_t>(rgb24_rows(header));
    frame.stride = static_cast<size_t>(vlx::dib_row_bytes(header.biWidth, 24));
    frame.bottom_up = header.biHeight > 0;

    // The upstream streaming thread is not ours: WIC needs COM on it.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::vector<uint8_t> jpeg;
    hr = encode_jpeg_frame(frame, quality_.load(), jpeg);
    if (SUCCEEDED(hr)) hr = output_.deliver(jpeg, sample);
    if (SUCCEEDED(com)) CoUninitialize();
    return hr;
}

HRESULT Compressor::on_start() { return output_.commit(); }

// Stop returns only once the sample in flight is through.
void Compressor::on_stop() {
    output_.decommit();  // frees a Receive waiting for a buffer
    std::lock_guard wait(input_.streaming_lock());
}

STDMETHODIMP Compressor::ShowDialog(int dialog, HWND owner) {
    switch (dialog) {
    case VfwCompressDialog_QueryConfig:
    case VfwCompressDialog_QueryAbout:
        return S_OK;
    case VfwCompressDialog_Config:
        return state() != State_Stopped ? VFW_E_NOT_STOPPED : show_config_dialog(owner, quality_);
    case VfwCompressDialog_About:
        return state() != State_Stopped ? VFW_E_NOT_STOPPED : show_about_box(owner);
    default:
        return E_INVALIDARG;
    }
}

STDMETHODIMP Compressor::GetState(LPVOID state, int* size) {
    if (!size) return E_POINTER;
    if (!state) {
        *size = sizeof(int32_t);
        return S_OK;
    }
    if (*size < static_cast<int>(sizeof(int32_t))) return E_INVALIDARG;
    const int32_t quality = quality_.load();
    std::memcpy(state, &quality, sizeof quality);
    *size = sizeof quality;
    return S_OK;
}

STDMETHODIMP Compressor::SetState(LPVOID state, int size) {
    if (!state) return E_POINTER;
    if (size != static_cast<int>(sizeof(int32_t))) return E_INVALIDARG;
    int32_t quality;
    std::memcpy(&quality, state, sizeof quality);
    quality_ = clamped_quality(quality);
    return S_OK;
}

}  // namespace

HRESULT create_mjpeg_compressor(REFCLSID, REFIID iid, void** out) { return create_object<Compressor>(iid, out); }

}  // namespace vlxtp
