// The IUnknown part of the in-process tests' single-interface stand-ins.
#pragma once

#include <windows.h>

#include <atomic>

namespace vlx_test {

template <class Interface>
class StubObject : public Interface {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(Interface))) {
            *object = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~StubObject() = default;

private:
    std::atomic<ULONG> refs_{1};
};

}  // namespace vlx_test
