#include "graph/grabber_callback.h"

#include "common/com_ptr.h"
#include "common/no_destroy.h"
#include "common/sample_grabber_callback.h"
#include "library/slot_vocabulary.h"

#include <array>
#include <new>
#include <vector>

namespace vlx {

namespace {

// Hands each sample to every listener. The list only grows while the graph
// lives; the streaming thread reads it under a shared lock, the host's
// thread adds under the exclusive one.
class GrabberCallback final : public SampleGrabberCallback {
public:
    // ISampleGrabberCB: the grabber is given method 0, SampleCB.
    STDMETHODIMP SampleCB(double sample_time, IMediaSample* sample) override {
        AcquireSRWLockShared(&lock_);
        for (const ComPtr<ISampleGrabberCB>& listener : listeners_) listener->SampleCB(sample_time, sample);
        ReleaseSRWLockShared(&lock_);
        return S_OK;
    }

    // False when memory runs out.
    bool add(ISampleGrabberCB* listener) noexcept {
        AcquireSRWLockExclusive(&lock_);
        bool added = true;
        try {
            listeners_.push_back(ComPtr<ISampleGrabberCB>::share(listener));
        } catch (...) {
            added = false;
        }
        ReleaseSRWLockExclusive(&lock_);
        return added;
    }

private:
    ~GrabberCallback() override = default;

    SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<ComPtr<ISampleGrabberCB>> listeners_;
};

constinit NoDestroy<std::array<ComPtr<GrabberCallback>, kSlotCount>> g_callbacks;

}  // namespace

HRESULT add_grabber_listener(int32_t slot, ISampleGrabberCB* listener,
                             const std::function<HRESULT(ISampleGrabberCB* callback)>& install) {
    ComPtr<GrabberCallback>& callback = g_callbacks.value[static_cast<size_t>(slot)];
    if (!callback) {
        ComPtr<GrabberCallback> created = ComPtr<GrabberCallback>::adopt(new (std::nothrow) GrabberCallback);
        if (!created) return E_OUTOFMEMORY;
        const HRESULT installed = install(created.get());
        if (FAILED(installed)) return installed;
        callback = std::move(created);
    }
    return callback->add(listener) ? S_OK : E_OUTOFMEMORY;
}

void forget_grabber_callback(int32_t slot) { g_callbacks.value[static_cast<size_t>(slot)].reset(); }

}  // namespace vlx
