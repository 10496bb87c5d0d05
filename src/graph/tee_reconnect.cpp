#include "graph/tee_reconnect.h"

#include "common/com_ptr.h"
#include "common/media_type.h"
#include "library/platform_call.h"

namespace vlx {

namespace {

// The input pin `pin` is connected to, when it belongs to a Smart Tee.
ComPtr<IPin> tee_input_behind(IPin* pin) {
    ComPtr<IPin> input;
    if (platform_call("vlx_SetDevCapConfig.CapturePin.ConnectedTo", [&] { return pin->ConnectedTo(input.put()); }) !=
            S_OK ||
        !input)
        return {};
    PIN_INFO info{};
    if (FAILED(platform_call("vlx_SetDevCapConfig.TeeInput.QueryPinInfo", [&] { return input->QueryPinInfo(&info); })))
        return {};
    // QueryPinInfo hands out a reference to the pin's filter.
    const ComPtr<IBaseFilter> filter = ComPtr<IBaseFilter>::adopt(info.pFilter);
    CLSID clsid{};
    if (!filter || FAILED(filter->GetClassID(&clsid)) || !IsEqualCLSID(clsid, CLSID_SmartTee)) return {};
    return input;
}

void connect_again(IGraphBuilder* graph, IPin* output, const AM_MEDIA_TYPE& new_type) {
    ComPtr<IPin> peer;
    MediaType old_type;
    if (output->ConnectedTo(peer.put()) != S_OK || !peer || FAILED(output->ConnectionMediaType(old_type.reset())))
        return;
    if (platform_call("vlx_SetDevCapConfig.TeePeer.QueryAccept", [&] { return peer->QueryAccept(&new_type); }) !=
        S_OK)
        return;
    platform_call("vlx_SetDevCapConfig.GraphBuilder.Disconnect(TeePeer)", [&] { return graph->Disconnect(peer.get()); });
    platform_call("vlx_SetDevCapConfig.GraphBuilder.Disconnect(TeeOutput)", [&] { return graph->Disconnect(output); });
    const HRESULT connected = platform_call("vlx_SetDevCapConfig.GraphBuilder.ConnectDirect(TeeOutput)", [&] {
        return graph->ConnectDirect(output, peer.get(), &new_type);
    });
    if (FAILED(connected)) graph->ConnectDirect(output, peer.get(), old_type.get());
}

}  // namespace

void reconnect_tee_outputs(IGraphBuilder* graph, IPin* capture_pin) {
    if (!graph || !capture_pin) return;
    const ComPtr<IPin> input = tee_input_behind(capture_pin);
    if (!input) return;
    MediaType new_type;
    PIN_INFO info{};
    if (FAILED(input->ConnectionMediaType(new_type.reset())) || FAILED(input->QueryPinInfo(&info))) return;
    const ComPtr<IBaseFilter> tee = ComPtr<IBaseFilter>::adopt(info.pFilter);
    ComPtr<IEnumPins> pins;
    if (!tee || FAILED(tee->EnumPins(pins.put())) || !pins) return;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.put(), nullptr) == S_OK) {
        PIN_DIRECTION direction = PINDIR_INPUT;
        if (pin && SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT)
            connect_again(graph, pin.get(), *new_type.get());
    }
}

}  // namespace vlx
