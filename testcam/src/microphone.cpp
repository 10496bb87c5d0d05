#include "microphone.h"

#include "com_ptr.h"
#include "comkit/enumerators.h"
#include "comkit/filter_base.h"
#include "comkit/registration.h"
#include "profiles.h"
#include "vidlox_testcam.h"

#include <mmreg.h>
#include <objbase.h>

#include <memory>
#include <vector>

namespace vlxcam {

namespace {

// The one type the pin offers; false when memory runs out.
bool pcm_type(AM_MEDIA_TYPE& type) {
    auto* format = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
    if (!format) return false;
    *format = WAVEFORMATEX{};
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = VLXCAM_MICROPHONE_CHANNELS;
    format->nSamplesPerSec = VLXCAM_MICROPHONE_RATE;
    format->wBitsPerSample = VLXCAM_MICROPHONE_BITS;
    format->nBlockAlign = VLXCAM_MICROPHONE_CHANNELS * VLXCAM_MICROPHONE_BITS / 8;
    format->nAvgBytesPerSec = VLXCAM_MICROPHONE_RATE * format->nBlockAlign;
    type = AM_MEDIA_TYPE{};
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = format->nBlockAlign;
    type.formattype = FORMAT_WaveFormatEx;
    type.cbFormat = sizeof(WAVEFORMATEX);
    type.pbFormat = reinterpret_cast<BYTE*>(format);
    return true;
}

bool is_pcm(const AM_MEDIA_TYPE& type) {
    return IsEqualGUID(type.majortype, MEDIATYPE_Audio) && IsEqualGUID(type.subtype, MEDIASUBTYPE_PCM);
}

class MicrophonePin final : public vlxcom::OutputPinBase {
public:
    explicit MicrophonePin(vlxcom::Filter& filter) : OutputPinBase(filter, L"Capture") {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) return vlxcom::hand_out<IPin>(this, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }

    // The pin's type, straight to the receiver; no samples ever follow.
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override {
        if (!receiver) return E_POINTER;
        std::lock_guard guard(filter_.lock());
        if (peer_) return VFW_E_ALREADY_CONNECTED;
        if (filter_.state() != State_Stopped) return VFW_E_NOT_STOPPED;
        MediaType pcm;
        if (!pcm_type(*pcm.get())) return E_OUTOFMEMORY;
        if (type && !vlx::matches_partial(*pcm.get(), *type)) return VFW_E_NO_ACCEPTABLE_TYPES;
        const HRESULT received = receiver->ReceiveConnection(this, pcm.get());
        if (FAILED(received)) return received;
        peer_ = ComPtr<IPin>::share(receiver);
        *type_.reset() = *pcm.get();
        *pcm.get() = AM_MEDIA_TYPE{};  // ownership moved to type_
        return S_OK;
    }

    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override {
        if (!type) return E_POINTER;
        return is_pcm(*type) ? S_OK : S_FALSE;
    }

    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override {
        if (!types) return E_POINTER;
        *types = nullptr;
        return vlxcom::com_guard([&] {
            AM_MEDIA_TYPE pcm{};
            if (!pcm_type(pcm)) return E_OUTOFMEMORY;
            return vlxcom::create_media_type_enumerator({pcm}, types);
        });
    }
};

class Microphone final : public vlxcom::Filter {
public:
    Microphone() : Filter(kMicrophoneClsid), pin_(std::make_unique<MicrophonePin>(*this)) {}

protected:
    std::vector<IPin*> pins() override { return {pin_.get()}; }

private:
    std::unique_ptr<MicrophonePin> pin_;
};

}  // namespace

HRESULT create_microphone(REFIID iid, void** object) { return vlxcom::create_object<Microphone>(iid, object); }

HRESULT register_microphone(IFilterMapper2* mapper) {
    HRESULT hr = vlxcom::register_class(kMicrophoneClsid, VLXCAM_NAME_MICROPHONE, vlxcom::kClassesRoot);
    if (FAILED(hr)) return hr;
    REGPINTYPES type{&MEDIATYPE_Audio, &MEDIASUBTYPE_PCM};
    REGFILTERPINS2 pin{};
    pin.dwFlags = REG_PINFLAG_B_OUTPUT;
    pin.cInstances = 1;
    pin.nMediaTypes = 1;
    pin.lpMediaType = &type;
    pin.clsPinCategory = &PIN_CATEGORY_CAPTURE;
    REGFILTER2 filter{};
    filter.dwVersion = 2;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins2 = 1;
    filter.rgPins2 = &pin;
    return mapper->RegisterFilter(kMicrophoneClsid, VLXCAM_NAME_MICROPHONE, nullptr, &CLSID_AudioInputDeviceCategory,
                                  vlxcom::guid_text(kMicrophoneClsid).c_str(), &filter);
}

void unregister_microphone(IFilterMapper2* mapper) {
    mapper->UnregisterFilter(&CLSID_AudioInputDeviceCategory, vlxcom::guid_text(kMicrophoneClsid).c_str(),
                             kMicrophoneClsid);
    vlxcom::unregister_class(kMicrophoneClsid, vlxcom::kClassesRoot);
}

}  // namespace vlxcam
