#include "formats/tee_reconnect.h"

#include "common/com_ptr.h"
#include "common/media_type.h"
#include "library/platform_call.h"

namespace vlx {

namespace {

struct Tee {
    ComPtr<IPin> input;
    ComPtr<IBaseFilter> filter;
};

// The Smart Tee `pin` is connected to, and its input pin; none when the
// peer is no Smart Tee.
Tee tee_behind(IPin* pin) {
    Tee tee;
    if (platform_call("vlx_SetDevCapConfig.CapturePin.ConnectedTo",
                      [&] { return pin->ConnectedTo(tee.input.put()); }) != S_OK ||
        !tee.input)
        return {};
    PIN_INFO info{};
    if (FAILED(platform_call("vlx_SetDevCapConfig.TeeInput.QueryPinInfo",
                             [&] { return tee.input->QueryPinInfo(&info); })))
        return {};
    // QueryPinInfo hands out a reference to the pin's filter.
    tee.filter = ComPtr<IBaseFilter>::adopt(info.pFilter);
    CLSID clsid{};
    if (!tee.filter || FAILED(tee.filter->GetClassID(&clsid)) || !IsEqualCLSID(clsid, CLSID_SmartTee)) return {};
    return tee;
}

// False when the output was connected and is no longer.
bool connect_again(IGraphBuilder* graph, IPin* output, const AM_MEDIA_TYPE& new_type) {
    ComPtr<IPin> peer;
    MediaType old_type;
    if (output->ConnectedTo(peer.put()) != S_OK || !peer || FAILED(output->ConnectionMediaType(old_type.reset())))
        return true;
    if (platform_call("vlx_SetDevCapConfig.TeePeer.QueryAccept", [&] { return peer->QueryAccept(&new_type); }) !=
        S_OK)
        return true;
    platform_call("vlx_SetDevCapConfig.GraphBuilder.Disconnect(TeePeer)", [&] { return graph->Disconnect(peer.get()); });
    platform_call("vlx_SetDevCapConfig.GraphBuilder.Disconnect(TeeOutput)", [&] { return graph->Disconnect(output); });
    const HRESULT connected = platform_call("vlx_SetDevCapConfig.GraphBuilder.ConnectDirect(TeeOutput)", [&] {
        return graph->ConnectDirect(output, peer.get(), &new_type);
    });
    if (SUCCEEDED(connected)) return true;
    return SUCCEEDED(platform_call("vlx_SetDevCapConfig.GraphBuilder.ConnectDirect(TeeOutput,OldType)", [&] {
        return graph->ConnectDirect(output, peer.get(), old_type.get());
    }));
}

bool carries(const AM_MEDIA_TYPE& type, const TakenFormat& taken) {
    if (!IsEqualGUID(type.formattype, FORMAT_VideoInfo) || !type.pbFormat || type.cbFormat < sizeof(VIDEOINFOHEADER))
        return false;
    const TakenFormat connected = taken_format_of(type, *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat));
    return IsEqualGUID(connected.subtype, taken.subtype) && connected.width == taken.width &&
           connected.height == taken.height && connected.interval == taken.interval;
}

}  // namespace

TakenFormat taken_format_of(const AM_MEDIA_TYPE& type, const VIDEOINFOHEADER& vih) {
    return {type.subtype, vih.bmiHeader.biWidth, vih.bmiHeader.biHeight, vih.AvgTimePerFrame};
}

bool reconnect_tee_outputs(IGraphBuilder* graph, IPin* capture_pin, const TakenFormat& taken) {
    if (!graph || !capture_pin) return true;
    const Tee tee = tee_behind(capture_pin);
    if (!tee.input) return true;
    MediaType new_type;
    if (FAILED(tee.input->ConnectionMediaType(new_type.reset())) || !carries(*new_type.get(), taken)) return true;
    ComPtr<IEnumPins> pins;
    if (FAILED(tee.filter->EnumPins(pins.put())) || !pins) return true;
    bool all_connected = true;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.put(), nullptr) == S_OK) {
        PIN_DIRECTION direction = PINDIR_INPUT;
        if (pin && SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT)
            all_connected = connect_again(graph, pin.get(), *new_type.get()) && all_connected;
    }
    return all_connected;
}

}  // namespace vlx
