// IAMDroppedFrames of a capture pin, as UVC drivers offer it: frames the
// source did not send (a camera held up by its downstream, a shared-camera
// reader that fell behind its publisher), counted since the stream started.
// Its reference count and identity are the pin's.
#pragma once

#include "comkit/delivery_counts.h"

#include <windows.h>
#include <dshow.h>

namespace vlxcom {

class DroppedFramesReport final : public IAMDroppedFrames {
public:
    DroppedFramesReport(IUnknown& pin, const DeliveryCounts& counts) : pin_(pin), counts_(counts) {}

    // IUnknown, forwarded to the pin
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override { return pin_.QueryInterface(iid, object); }
    STDMETHODIMP_(ULONG) AddRef() override { return pin_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return pin_.Release(); }

    // IAMDroppedFrames
    STDMETHODIMP GetNumDropped(LONG* number) override;
    STDMETHODIMP GetNumNotDropped(LONG* number) override;
    STDMETHODIMP GetDroppedInfo(LONG size, LONG* numbers, LONG* copied) override;
    STDMETHODIMP GetAverageFrameSize(LONG* size) override;

private:
    IUnknown& pin_;
    const DeliveryCounts& counts_;
};

}  // namespace vlxcom
