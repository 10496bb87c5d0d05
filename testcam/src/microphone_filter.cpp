#include "microphone_filter.h"

#include "microphone.h"
#include "vidlox_testcam.h"

#include <algorithm>
#include <cstring>

namespace vlxcam {

// ---- MicrophonePin ------------------------------------------------------------

MicrophonePin::MicrophonePin(MicrophoneFilter& filter, MicrophoneRun& run)
    : LiveOutputPin(filter, L"Capture", PIN_CATEGORY_CAPTURE, stream_), microphone_(filter),
      stream_(filter.device_clock(), filter.gate(), run) {}

// The stream is a member: it stops before it goes.
MicrophonePin::~MicrophonePin() { on_stop(); }

STDMETHODIMP MicrophonePin::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) return vlxcom::hand_out<IPin>(this, out);
    if (IsEqualIID(iid, IID_IAMStreamConfig)) return vlxcom::hand_out<IAMStreamConfig>(this, out);
    if (IsEqualIID(iid, IID_IAMBufferNegotiation)) return vlxcom::hand_out<IAMBufferNegotiation>(this, out);
    if (IsEqualIID(iid, IID_IKsPropertySet)) return vlxcom::hand_out<IKsPropertySet>(this, out);
    *out = nullptr;
    return E_NOINTERFACE;
}

AudioFormat MicrophonePin::chosen_format() const {
    std::lock_guard guard(choice_lock_);
    return choice_ ? *choice_ : microphone_formats().front();
}

uint32_t MicrophonePin::block_bytes(const AudioFormat& format) const {
    std::lock_guard guard(choice_lock_);
    const long asked = suggested_ && suggested_->cbBuffer > 0
                           ? suggested_->cbBuffer
                           : static_cast<long>(format.bytes_per_second() * VLXCAM_MICROPHONE_DEFAULT_BUFFER_MS / 1000);
    return std::max<uint32_t>(static_cast<uint32_t>(asked) / format.block_align(), 1) * format.block_align();
}

// The pin connects in its one chosen format, as audio capture pins do; a
// device that refuses every format connects with none.
HRESULT MicrophonePin::connection_for(const AM_MEDIA_TYPE& asked, AM_MEDIA_TYPE& connection) const {
    if (microphone_.profile().quirk == MicrophoneQuirk::refuses_formats) return VFW_E_TYPE_NOT_ACCEPTED;
    const std::optional<AudioFormat> format = offered_format(asked);
    if (!format || !(*format == chosen_format())) return VFW_E_TYPE_NOT_ACCEPTED;
    return audio_media_type(*format, connection) ? S_OK : E_OUTOFMEMORY;
}

std::vector<AM_MEDIA_TYPE> MicrophonePin::offered_types() const {
    std::vector<AM_MEDIA_TYPE> types;
    if (microphone_.profile().quirk == MicrophoneQuirk::refuses_formats) return types;
    AM_MEDIA_TYPE type{};
    if (audio_media_type(chosen_format(), type)) types.push_back(type);
    return types;
}

long MicrophonePin::sample_bytes(const AM_MEDIA_TYPE& connection) const {
    const std::optional<AudioFormat> format = offered_format(connection);
    return static_cast<long>(block_bytes(format ? *format : chosen_format()));
}

// As capture filters do: only while stopped; a connected pin asks its peer
// and has the graph reconnect it with the new format.
STDMETHODIMP MicrophonePin::SetFormat(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (microphone_.profile().quirk == MicrophoneQuirk::refuses_formats) return VFW_E_INVALIDMEDIATYPE;
    if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
    const std::optional<AudioFormat> format = offered_format(*type);
    if (!format) return VFW_E_INVALIDMEDIATYPE;
    if (const HRESULT accepted = peer_accepts(*type); FAILED(accepted)) return accepted;
    std::optional<AudioFormat> before;
    {
        std::lock_guard choosing(choice_lock_);
        before = std::exchange(choice_, format);
    }
    const HRESULT reconnected = reconnect();
    if (FAILED(reconnected)) {
        std::lock_guard choosing(choice_lock_);
        choice_ = before;
    }
    return reconnected;
}

STDMETHODIMP MicrophonePin::GetFormat(AM_MEDIA_TYPE** type) {
    if (!type) return E_POINTER;
    *type = nullptr;
    vlx::MediaType current;
    if (!audio_media_type(chosen_format(), *current.get())) return E_OUTOFMEMORY;
    *type = vlx::clone_media_type(*current.get());
    return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP MicrophonePin::GetNumberOfCapabilities(int* count, int* size) {
    if (!count || !size) return E_POINTER;
    *count = static_cast<int>(microphone_formats().size());
    *size = sizeof(AUDIO_STREAM_CONFIG_CAPS);
    return S_OK;
}

STDMETHODIMP MicrophonePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
    if (!type || !caps) return E_POINTER;
    if (index < 0) return E_INVALIDARG;
    if (index >= static_cast<int>(microphone_formats().size())) return S_FALSE;
    const AudioFormat& format = microphone_formats()[static_cast<size_t>(index)];
    vlx::MediaType capability;
    if (!audio_media_type(format, *capability.get())) return E_OUTOFMEMORY;
    *type = vlx::clone_media_type(*capability.get());
    if (!*type) return E_OUTOFMEMORY;
    AUDIO_STREAM_CONFIG_CAPS block;
    audio_caps(format, block);
    std::memcpy(caps, &block, sizeof block);
    return S_OK;
}

// Negative fields leave the driver's choice.
STDMETHODIMP MicrophonePin::SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* properties) {
    if (!properties) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (connected()) return VFW_E_ALREADY_CONNECTED;
    std::lock_guard choosing(choice_lock_);
    suggested_ = *properties;
    return S_OK;
}

// What the pin asked of the connection's allocator: four blocks.
STDMETHODIMP MicrophonePin::GetAllocatorProperties(ALLOCATOR_PROPERTIES* properties) {
    if (!properties) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (!connected()) return E_FAIL;
    *properties = ALLOCATOR_PROPERTIES{4, static_cast<long>(block_bytes(chosen_format())), 1, 0};
    return S_OK;
}

// ---- MicrophoneFilter ---------------------------------------------------------

MicrophoneFilter::MicrophoneFilter(const MicrophoneProfile& profile)
    : LiveSource(profile.clsid), profile_(profile), clock_(clock_error_of(profile)),
      pin_(std::make_unique<MicrophonePin>(*this, static_cast<MicrophoneRun&>(*this))) {
    live_pins_[0] = pin_.get();
    add_live_microphone(this);
}

MicrophoneFilter::~MicrophoneFilter() {
    remove_live_microphone(this);
    stop_pins();
}

HRESULT MicrophoneFilter::other_interface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IReferenceClock)) return vlxcom::hand_out<IReferenceClock>(this, out);
    return LiveSource::other_interface(iid, out);
}

// A microphone another program holds fails as it leaves Stopped, and tells
// the graph too (see the camera's "(in use)" device).
HRESULT MicrophoneFilter::acquire() {
    if (profile_.quirk != MicrophoneQuirk::in_use) return S_OK;
    const HRESULT in_use = HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES);
    notify_graph(EC_ERRORABORT, static_cast<LONG_PTR>(in_use), 0);
    return in_use;
}

STDMETHODIMP MicrophoneFilter::Run(REFERENCE_TIME start) {
    run_start_ = start;
    return LiveSource::Run(start);
}

bool MicrophoneFilter::own_stream_time(REFERENCE_TIME& now) {
    if (!own_clock_is_graphs_) return false;
    now = clock_.now() - run_start_;
    return true;
}

STDMETHODIMP MicrophoneFilter::SetSyncSource(IReferenceClock* clock) {
    std::lock_guard guard(lock());
    own_clock_is_graphs_ = clock == static_cast<IReferenceClock*>(this);
    return LiveSource::SetSyncSource(own_clock_is_graphs_ ? nullptr : clock);
}

STDMETHODIMP MicrophoneFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    std::lock_guard guard(lock());
    if (!own_clock_is_graphs_) return LiveSource::GetSyncSource(clock);
    return vlxcom::hand_out<IReferenceClock>(this, reinterpret_cast<void**>(clock));
}

STDMETHODIMP MicrophoneFilter::GetTime(REFERENCE_TIME* time) {
    if (!time) return E_POINTER;
    *time = clock_.now();
    return S_OK;
}
STDMETHODIMP MicrophoneFilter::AdviseTime(REFERENCE_TIME base, REFERENCE_TIME offset, HEVENT event, DWORD_PTR* cookie) {
    return clock_.advise_time(base, offset, event, cookie);
}
STDMETHODIMP MicrophoneFilter::AdvisePeriodic(REFERENCE_TIME start, REFERENCE_TIME period, HSEMAPHORE semaphore,
                                              DWORD_PTR* cookie) {
    return clock_.advise_periodic(start, period, semaphore, cookie);
}
STDMETHODIMP MicrophoneFilter::Unadvise(DWORD_PTR cookie) { return clock_.unadvise(cookie); }

void MicrophoneFilter::notify_graph(long code, LONG_PTR param1, LONG_PTR param2) {
    ComPtr<IMediaEventSink> sink;
    {
        std::lock_guard guard(lock());
        if (graph()) graph()->QueryInterface(IID_IMediaEventSink, sink.put_void());
    }
    if (sink) sink->Notify(code, param1, param2);
}

void MicrophoneFilter::device_gone() {
    gate_.close();
    gone_ = true;
    notify_graph(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)), 0);
}

void MicrophoneFilter::device_back() {
    if (gone_) notify_graph(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)), 1);
}

void MicrophoneFilter::stream_failed(HRESULT error) {
    gate_.close();
    notify_graph(EC_ERRORABORT, static_cast<LONG_PTR>(error), 0);
}

}  // namespace vlxcam
