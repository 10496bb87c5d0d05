#include "comkit/live_source.h"

namespace vlxcom {

HRESULT LiveSource::other_interface(REFIID iid, void** out) {
    if (IsEqualIID(iid, IID_IAMFilterMiscFlags)) return hand_out<IAMFilterMiscFlags>(this, out);
    return Filter::other_interface(iid, out);
}

void LiveSource::stop_pins() {
    for (LiveOutputPin* pin : live_pins()) pin->on_stop();
}

STDMETHODIMP LiveSource::Stop() {
    std::lock_guard guard(lock());
    stop_pins();
    set_state(State_Stopped);
    return S_OK;
}

HRESULT LiveSource::pause_locked() {
    if (state() == State_Stopped) {
        const HRESULT acquired = acquire();
        if (FAILED(acquired)) return acquired;
        for (LiveOutputPin* pin : live_pins()) {
            const HRESULT started = pin->on_pause_from_stopped();
            if (FAILED(started)) {
                stop_pins();
                return started;
            }
        }
    } else if (state() == State_Running) {
        for (LiveOutputPin* pin : live_pins()) pin->on_pause_from_running();
    }
    set_state(State_Paused);
    return S_OK;
}

STDMETHODIMP LiveSource::Pause() {
    std::lock_guard guard(lock());
    return com_guard([&] { return pause_locked(); });
}

STDMETHODIMP LiveSource::Run(REFERENCE_TIME start) {
    std::lock_guard guard(lock());
    return com_guard([&] {
        if (state() == State_Running) return S_OK;
        if (state() == State_Stopped) {
            const HRESULT paused = pause_locked();
            if (FAILED(paused)) return paused;
        }
        for (LiveOutputPin* pin : live_pins()) pin->on_run(start, clock());
        set_state(State_Running);
        return S_OK;
    });
}

STDMETHODIMP LiveSource::GetState(DWORD timeout, FILTER_STATE* state) {
    const HRESULT hr = Filter::GetState(timeout, state);
    return hr == S_OK && *state == State_Paused ? VFW_S_CANT_CUE : hr;
}

}  // namespace vlxcom
