// A live capture source filter (the test camera, the shared camera): Stop,
// Pause and Run drive its live pins' streams, GetState answers
// VFW_S_CANT_CUE while paused (a live source has nothing to show then), and
// IAMFilterMiscFlags says it is a source.
#pragma once

#include "comkit/filter_base.h"
#include "comkit/live_pin.h"

#include <windows.h>
#include <dshow.h>

#include <span>

namespace vlxcom {

class LiveSource : public Filter, public IAMFilterMiscFlags {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override { return Filter::QueryInterface(iid, object); }
    STDMETHODIMP_(ULONG) AddRef() override { return Filter::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Filter::Release(); }

    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override;

    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

protected:
    explicit LiveSource(const CLSID& clsid) : Filter(clsid) {}

    // The pins, listed without allocating (Stop runs in destructors).
    virtual std::span<LiveOutputPin* const> live_pins() = 0;
    // Stopped to Paused, before any pin starts: a device another program
    // holds fails here (the filter stays stopped).
    virtual HRESULT acquire() { return S_OK; }
    HRESULT other_interface(REFIID iid, void** out) override;
    // Every pin's stream ends (a destructor calls it before its pins go).
    void stop_pins();

private:
    HRESULT pause_locked();
};

}  // namespace vlxcom
