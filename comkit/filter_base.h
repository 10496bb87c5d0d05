// The IBaseFilter and pin plumbing shared by the test tree's filters (the
// test camera, the test platform's file writer and MJPEG compressor). A
// concrete filter lists its pins and answers the state hooks; a concrete
// input pin says which types it accepts and what it does with a sample.
#pragma once

#include "comkit/com_base.h"
#include "common/media_type.h"

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace vlxcom {

class Filter : public IBaseFilter {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    VLXCOM_REFCOUNTED

    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;

    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    std::recursive_mutex& lock() { return lock_; }
    FILTER_STATE state() const { return state_.load(); }
    // The graph the filter is in and the graph's clock (lock held), or null.
    IFilterGraph* graph() const { return graph_; }
    IReferenceClock* clock() const { return clock_.get(); }

protected:
    explicit Filter(const CLSID& clsid) : clsid_(clsid) {}
    virtual ~Filter() = default;

    // For a filter whose transitions are its own (a live source's Stop,
    // Pause, Run and GetState), which sets the state under the lock.
    void set_state(FILTER_STATE state) { state_ = state; }

    virtual std::vector<IPin*> pins() = 0;
    // Stopped to paused; a failure keeps the filter stopped.
    virtual HRESULT on_start() { return S_OK; }
    // Any state to stopped.
    virtual void on_stop() {}
    // Interfaces beyond IBaseFilter's.
    virtual HRESULT other_interface(REFIID, void** out) {
        *out = nullptr;
        return E_NOINTERFACE;
    }

private:
    HRESULT leave_stopped();
    HRESULT find_pin(LPCWSTR id, IPin** out);

    RefCount refs_;
    CLSID clsid_;
    std::recursive_mutex lock_;  // recursive: peers call back into our pins while we connect
    std::atomic<FILTER_STATE> state_{State_Stopped};  // read by streaming threads without the lock
    ComPtr<IReferenceClock> clock_;
    IFilterGraph* graph_ = nullptr;  // no reference: the graph owns the filter
    wchar_t name_[MAX_FILTER_NAME] = L"";
};

// Shared by both pin directions: identity, reference count (the filter's)
// and the connection record.
class PinBase : public IPin {
public:
    STDMETHODIMP_(ULONG) AddRef() override { return filter_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return filter_.Release(); }

    // Only while the filter is stopped.
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }

    const wchar_t* name() const { return name_; }
    bool connected() const { return static_cast<bool>(peer_); }
    const AM_MEDIA_TYPE& connection_type() const { return *type_.get(); }

protected:
    PinBase(Filter& filter, const wchar_t* name, PIN_DIRECTION direction)
        : filter_(filter), name_(name), direction_(direction) {}
    virtual ~PinBase() = default;

    // Forgets the connection (the filter's lock held); a pin that keeps more
    // of it forgets that too.
    virtual void drop_connection() {
        peer_.reset();
        type_.reset();
    }

    Filter& filter_;
    const wchar_t* name_;
    PIN_DIRECTION direction_;
    ComPtr<IPin> peer_;  // guarded by the filter's lock
    vlx::MediaType type_;
};

// What an output pin answers to the calls meant for input pins.
class OutputPinBase : public PinBase {
public:
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

protected:
    OutputPinBase(Filter& filter, const wchar_t* name) : PinBase(filter, name, PINDIR_OUTPUT) {}
};

class InputPin : public PinBase, public IMemInputPin {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return PinBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return PinBase::Release(); }

    // IPin
    STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP EndOfStream() override { return S_OK; }
    STDMETHODIMP BeginFlush() override { return S_OK; }
    STDMETHODIMP EndFlush() override { return S_OK; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL read_only) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    STDMETHODIMP ReceiveCanBlock() override { return S_OK; }

protected:
    InputPin(Filter& filter, const wchar_t* name) : PinBase(filter, name, PINDIR_INPUT) {}

    virtual bool accepts(const AM_MEDIA_TYPE& type) const = 0;
    // Called with the streaming lock held, while the filter is not stopped.
    virtual HRESULT receive(IMediaSample* sample) = 0;
    virtual HRESULT other_interface(REFIID, void** out) {
        *out = nullptr;
        return E_NOINTERFACE;
    }

public:
    // Held for the length of every Receive; Stop takes it to wait for the
    // sample in flight.
    std::mutex& streaming_lock() { return streaming_; }

private:
    std::mutex streaming_;
};

}  // namespace vlxcom
