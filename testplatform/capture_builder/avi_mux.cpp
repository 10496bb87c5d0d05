#include "avi_mux.h"

#include "avi_interleaver.h"
#include "comkit/enumerators.h"
#include "comkit/filter_base.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <memory>
#include <vector>

namespace vlxtp {

using namespace vlxcom;

namespace {

class AviMux;

// An input pin as Windows' mux has them. It records the graph's connection
// and hands it to Wine's mux (attach) only when the graph starts.
class MuxInputPin final : public InputPin {
public:
    MuxInputPin(AviMux& mux, unsigned number);

    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL read_only) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override { return wine_pin_ ? wine_pin_->BeginFlush() : S_OK; }
    STDMETHODIMP EndFlush() override { return wine_pin_ ? wine_pin_->EndFlush() : S_OK; }

    // Connects Wine's spare input pin to this pin's peer, once.
    HRESULT attach(IBaseFilter* wine_mux);
    // The pin's stream in a file the mux writes itself (see AviMux).
    void set_stream(size_t stream) { stream_ = stream; }

protected:
    bool accepts(const AM_MEDIA_TYPE& type) const override;
    // Wine's pin goes too, and the pin leaves the mux's list.
    void drop_connection() override;
    HRESULT receive(IMediaSample* sample) override;

private:
    AviMux& mux_;
    wchar_t label_[16];  // the pin name: Input 01, Input 02, ...
    ComPtr<IMemAllocator> allocator_;
    ComPtr<IPin> wine_pin_;
    ComPtr<IMemInputPin> wine_input_;
    size_t stream_ = 0;
};

// Wine's mux keeps one unconnected input pin, which takes the next stream.
HRESULT first_free_input(IBaseFilter* wine_mux, ComPtr<IPin>& found) {
    ComPtr<IEnumPins> pins;
    const HRESULT hr = wine_mux->EnumPins(pins.put());
    if (FAILED(hr)) return hr;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.put(), nullptr) == S_OK) {
        PIN_DIRECTION direction;
        ComPtr<IPin> peer;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_INPUT &&
            pin->ConnectedTo(peer.put()) == VFW_E_NOT_CONNECTED) {
            found = std::move(pin);
            return S_OK;
        }
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

// The one type of the mux's output: an AVI byte stream (no format block).
AM_MEDIA_TYPE avi_stream_type() {
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Stream;
    type.subtype = MEDIASUBTYPE_Avi;
    return type;
}

// "AVI Out", the pin the graph connects to the file writer.
class MuxOutputPin final : public OutputPinBase {
public:
    explicit MuxOutputPin(Filter& mux) : OutputPinBase(mux, L"AVI Out") {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) return hand_out<IPin>(this, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* wanted) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override {
        if (!type) return E_POINTER;
        return IsEqualGUID(type->majortype, MEDIATYPE_Stream) ? S_OK : S_FALSE;
    }
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override {
        return com_guard([&] { return create_media_type_enumerator({avi_stream_type()}, types); });
    }

    // The IStream of the connected writer's pin, through which Wine's mux
    // writes and seeks.
    HRESULT peer_stream(void** out) {
        std::lock_guard guard(filter_.lock());
        if (!peer_) return E_NOINTERFACE;
        return peer_->QueryInterface(IID_IStream, out);
    }
};

// Where Wine's mux output is connected, out of the graph's sight: it only
// hands Wine the writer's IStream. Its lifetime is the filter's, and Wine's
// references to it do not count, or the filter would keep itself alive.
class StreamRelayPin final : public InputPin {
public:
    StreamRelayPin(Filter& mux, MuxOutputPin& output) : InputPin(mux, L"Wine AVI Out"), output_(output) {}

    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

protected:
    bool accepts(const AM_MEDIA_TYPE& type) const override { return IsEqualGUID(type.majortype, MEDIATYPE_Stream); }
    HRESULT receive(IMediaSample*) override { return E_UNEXPECTED; }  // Wine's mux writes through IStream only
    HRESULT other_interface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IStream)) return output_.peer_stream(out);
        return InputPin::other_interface(iid, out);
    }

private:
    MuxOutputPin& output_;
};

class AviMux final : public Filter, public IConfigAviMux, public IConfigInterleaving {
public:
    explicit AviMux(ComPtr<IBaseFilter> wine) : Filter(CLSID_AviDest), wine_(std::move(wine)), output_(*this),
                                                relay_(*this, output_) {}
    ~AviMux() override {
        ComPtr<IPin> wine_output;
        if (SUCCEEDED(wine_->FindPin(L"AVI Out", wine_output.put()))) wine_output->Disconnect();
        relay_.Disconnect();
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return Filter::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return Filter::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Filter::Release(); }

    // IConfigAviMux: the master stream's index among the connected inputs.
    STDMETHODIMP SetMasterStream(LONG stream) override {
        if (stream < -1) return E_INVALIDARG;
        std::lock_guard guard(lock());
        settings_.master_stream = stream;
        return S_OK;
    }
    STDMETHODIMP GetMasterStream(LONG* stream) override {
        if (!stream) return E_POINTER;
        std::lock_guard guard(lock());
        *stream = settings_.master_stream;
        return S_OK;
    }
    STDMETHODIMP SetOutputCompatibilityIndex(BOOL old_index) override {
        std::lock_guard guard(lock());
        settings_.old_index = old_index != FALSE;
        return S_OK;
    }
    STDMETHODIMP GetOutputCompatibilityIndex(BOOL* old_index) override {
        if (!old_index) return E_POINTER;
        std::lock_guard guard(lock());
        *old_index = settings_.old_index ? TRUE : FALSE;
        return S_OK;
    }
    // IConfigInterleaving: a file of the running graph keeps the settings it
    // began with.
    STDMETHODIMP put_Mode(InterleavingMode mode) override {
        if (mode < INTERLEAVE_NONE || mode > INTERLEAVE_NONE_BUFFERED) return E_INVALIDARG;
        std::lock_guard guard(lock());
        settings_.mode = mode;
        return S_OK;
    }
    STDMETHODIMP get_Mode(InterleavingMode* mode) override {
        if (!mode) return E_POINTER;
        std::lock_guard guard(lock());
        *mode = settings_.mode;
        return S_OK;
    }
    STDMETHODIMP put_Interleaving(const REFERENCE_TIME* period, const REFERENCE_TIME* preroll) override {
        std::lock_guard guard(lock());
        if (period && *period > 0) settings_.period = *period;
        if (preroll) preroll_ = *preroll;
        return S_OK;
    }
    STDMETHODIMP get_Interleaving(REFERENCE_TIME* period, REFERENCE_TIME* preroll) override {
        if (!period || !preroll) return E_POINTER;
        std::lock_guard guard(lock());
        *period = settings_.period;
        *preroll = preroll_;
        return S_OK;
    }

    HRESULT connect_wine_output() {
        ComPtr<IPin> wine_output;
        HRESULT hr = wine_->FindPin(L"AVI Out", wine_output.put());
        if (SUCCEEDED(hr)) hr = wine_output->Connect(&relay_, nullptr);
        if (SUCCEEDED(hr)) hr = add_spare_pin();
        return hr;
    }
    // Called with the filter's lock held.
    HRESULT add_spare_pin() {
        return com_guard([&] {
            created_.push_back(std::make_unique<MuxInputPin>(*this, static_cast<unsigned>(created_.size() + 1)));
            inputs_.push_back(created_.back().get());
            return S_OK;
        });
    }
    // A pin that has just been connected: the spare's place goes to a new
    // spare; a pin that had left the list comes back before the spare.
    // Wine's builder holds on to the pin it found: RenderStream through a
    // compressor first tries the camera on it directly, undoes that, and
    // then connects the compressor to the same pin.
    HRESULT list_connected(MuxInputPin* pin) {
        if (inputs_.back() == pin) return add_spare_pin();
        if (std::find(inputs_.begin(), inputs_.end(), pin) != inputs_.end()) return S_OK;
        return com_guard([&] {
            inputs_.insert(inputs_.end() - 1, pin);
            return S_OK;
        });
    }
    // A disconnected pin leaves the list, unless it is the spare; the object
    // lives on for whoever still holds it.
    void remove_pin(MuxInputPin* pin) {
        if (inputs_.back() == pin) return;
        std::erase(inputs_, pin);
    }
    bool wine_accepts(const AM_MEDIA_TYPE& type);
    // The file this mux writes itself, while running or paused; null when
    // Wine's mux writes it.
    AviInterleaver* own_file() const { return own_file_.get(); }

    // A failure of Wine's mux leaves both stopped: the pins here would
    // otherwise pass samples to a mux that is not running.
    STDMETHODIMP Pause() override {
        std::lock_guard guard(lock());
        HRESULT hr = Filter::Pause();
        if (SUCCEEDED(hr) && !own_file_) hr = wine_->Pause();
        if (FAILED(hr)) Filter::Stop();
        return hr;
    }
    STDMETHODIMP Run(REFERENCE_TIME start) override {
        std::lock_guard guard(lock());
        HRESULT hr = Filter::Run(start);
        if (SUCCEEDED(hr) && !own_file_) hr = wine_->Run(start);
        if (FAILED(hr)) Filter::Stop();
        return hr;
    }
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override {
        wine_->SetSyncSource(clock);
        return Filter::SetSyncSource(clock);
    }

protected:
    std::vector<IPin*> pins() override {
        std::lock_guard guard(lock());
        std::vector<IPin*> listed{&output_};
        for (MuxInputPin* pin : inputs_) listed.push_back(static_cast<InputPin*>(pin));
        return listed;
    }
    HRESULT other_interface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IConfigAviMux)) return hand_out<IConfigAviMux>(this, out);
        if (IsEqualIID(iid, IID_IConfigInterleaving)) return hand_out<IConfigInterleaving>(this, out);
        return Filter::other_interface(iid, out);
    }
    // Wine's mux writes video alone as it always did; it refuses audio, so a
    // graph with sound has its file written here (avi_interleaver.h), every
    // stream in its pin's order. Otherwise Wine's mux gets the streams still
    // connected, in their order.
    HRESULT on_start() override {
        std::vector<AviStreamFormat> formats;
        bool with_sound = false;
        for (MuxInputPin* pin : inputs_) {
            if (!pin->connected()) continue;
            AviStreamFormat format;
            if (!avi_stream_format(pin->connection_type(), format)) return VFW_E_TYPE_NOT_ACCEPTED;
            pin->set_stream(formats.size());
            with_sound = with_sound || format.audio;
            formats.push_back(std::move(format));
        }
        if (with_sound) {
            ComPtr<IStream> file;
            const HRESULT hr = output_.peer_stream(file.put_void());
            if (FAILED(hr)) return hr;
            own_stream_ = std::move(file);
            own_file_ = std::make_unique<AviInterleaver>(own_stream_.get(), std::move(formats), settings_);
            return S_OK;
        }
        for (MuxInputPin* pin : inputs_) {
            const HRESULT hr = pin->connected() ? pin->attach(wine_.get()) : S_OK;
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    }
    // Wine's mux writes its index and releases the writer's stream as it
    // stops, and its Receive neither locks nor looks at the state: a sample
    // in flight, or one more from the camera's thread (the graph stops the
    // mux first), would write through the released stream. Windows' mux
    // refuses samples once stopped. The state is Stopped already, so every
    // Receive from now on answers VFW_E_WRONG_STATE; holding each pin's
    // streaming lock waits for the one in flight before Wine's mux stops
    // (or this mux finishes its own file).
    void on_stop() override {
        std::vector<std::unique_lock<std::mutex>> held;
        for (MuxInputPin* pin : inputs_) held.emplace_back(pin->streaming_lock());
        if (own_file_) {
            own_file_->finish();
            own_file_.reset();
            own_stream_.reset();
            return;
        }
        wine_->Stop();
    }

private:
    ComPtr<IBaseFilter> wine_;
    MuxOutputPin output_;
    StreamRelayPin relay_;
    std::vector<std::unique_ptr<MuxInputPin>> created_;
    std::vector<MuxInputPin*> inputs_;  // listed; the last is the spare
    InterleaveSettings settings_;
    REFERENCE_TIME preroll_ = 0;
    ComPtr<IStream> own_stream_;
    std::unique_ptr<AviInterleaver> own_file_;
};

bool AviMux::wine_accepts(const AM_MEDIA_TYPE& type) {
    ComPtr<IPin> pin;
    return SUCCEEDED(first_free_input(wine_.get(), pin)) && pin->QueryAccept(&type) == S_OK;
}

// ---- MuxInputPin ----------------------------------------------------------

MuxInputPin::MuxInputPin(AviMux& mux, unsigned number) : InputPin(mux, label_), mux_(mux) {
    std::swprintf(label_, std::size(label_), L"Input %02u", number);
}

// Audio goes to the file this mux writes itself; everything else as far as
// Wine's mux takes it.
bool MuxInputPin::accepts(const AM_MEDIA_TYPE& type) const {
    AviStreamFormat format;
    if (IsEqualGUID(type.majortype, MEDIATYPE_Audio)) return avi_stream_format(type, format);
    return mux_.wine_accepts(type);
}

HRESULT MuxInputPin::receive(IMediaSample* sample) {
    if (AviInterleaver* file = mux_.own_file()) return file->receive(stream_, sample);
    return wine_input_ ? wine_input_->Receive(sample) : S_OK;
}

STDMETHODIMP MuxInputPin::EndOfStream() {
    std::lock_guard guard(streaming_lock());  // the mux's Stop ends its own file under it
    if (AviInterleaver* file = mux_.own_file()) {
        file->end_of_stream(stream_);
        return S_OK;
    }
    return wine_pin_ ? wine_pin_->EndOfStream() : S_OK;
}

STDMETHODIMP MuxInputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    std::lock_guard guard(filter_.lock());
    HRESULT hr = InputPin::ReceiveConnection(connector, type);
    if (SUCCEEDED(hr) && FAILED(hr = mux_.list_connected(this))) InputPin::Disconnect();
    return hr;
}

void MuxInputPin::drop_connection() {
    InputPin::drop_connection();
    if (wine_pin_) wine_pin_->Disconnect();
    wine_pin_.reset();
    wine_input_.reset();
    allocator_.reset();
    mux_.remove_pin(this);
}

STDMETHODIMP MuxInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL) {
    if (!allocator) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    allocator_ = ComPtr<IMemAllocator>::share(allocator);
    return S_OK;
}

HRESULT MuxInputPin::attach(IBaseFilter* wine_mux) {
    if (wine_pin_) return S_OK;
    ComPtr<IPin> pin;
    HRESULT hr = first_free_input(wine_mux, pin);
    if (FAILED(hr)) return hr;
    ComPtr<IMemInputPin> input;
    hr = pin->ReceiveConnection(peer_.get(), type_.get());
    if (SUCCEEDED(hr)) hr = pin.query(input);
    // Wine's pin sizes its own allocator from the upstream one.
    if (SUCCEEDED(hr) && allocator_) hr = input->NotifyAllocator(allocator_.get(), FALSE);
    if (FAILED(hr)) {
        pin->Disconnect();
        return hr;
    }
    wine_pin_ = std::move(pin);
    wine_input_ = std::move(input);
    return S_OK;
}

// ---- MuxOutputPin ---------------------------------------------------------

STDMETHODIMP MuxOutputPin::Connect(IPin* receiver, const AM_MEDIA_TYPE* wanted) {
    if (!receiver) return E_POINTER;
    std::lock_guard guard(filter_.lock());
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (wanted && !IsEqualGUID(wanted->majortype, GUID_NULL) && QueryAccept(wanted) != S_OK)
        return VFW_E_NO_ACCEPTABLE_TYPES;
    const AM_MEDIA_TYPE type = avi_stream_type();
    const HRESULT hr = receiver->ReceiveConnection(this, &type);
    if (FAILED(hr)) return hr;
    peer_ = ComPtr<IPin>::share(receiver);
    *type_.reset() = type;
    return hr;
}

// Wine's mux refuses to run in any other mode (Run answers E_NOTIMPL).
HRESULT create_wine_avi_mux(ComPtr<IBaseFilter>& mux) {
    HRESULT hr = CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, mux.put_void());
    ComPtr<IConfigInterleaving> interleaving;
    if (SUCCEEDED(hr)) hr = mux.query(interleaving);
    if (SUCCEEDED(hr)) hr = interleaving->put_Mode(INTERLEAVE_FULL);
    return hr;
}

}  // namespace

HRESULT create_avi_mux(IBaseFilter** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<IBaseFilter> wine;
    HRESULT hr = create_wine_avi_mux(wine);
    if (FAILED(hr)) return hr;
    return com_guard([&] {
        ComPtr<AviMux> mux = ComPtr<AviMux>::adopt(new AviMux(std::move(wine)));
        HRESULT connected = mux->connect_wine_output();
        if (SUCCEEDED(connected)) *out = mux.detach();
        return connected;
    });
}

}  // namespace vlxtp
