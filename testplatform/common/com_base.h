// COM plumbing shared by the test platform's servers: a reference count
// that also keeps the module's live-object count (DllCanUnloadNow), and a
// class factory over a creation function.
#pragma once

#include "common/com_ptr.h"

#include <windows.h>

#include <atomic>
#include <new>
#include <utility>

namespace vlxtp {

using vlx::ComPtr;

long live_objects();

// The DLL this code is linked into (each component links its own copy).
HMODULE this_module();

// Every COM object of a test platform DLL holds one for its whole life.
class RefCount {
public:
    RefCount() noexcept;
    ~RefCount();
    RefCount(const RefCount&) = delete;
    RefCount& operator=(const RefCount&) = delete;
    ULONG add() noexcept { return ++refs_; }
    ULONG release() noexcept { return --refs_; }

private:
    std::atomic<ULONG> refs_{1};
};

// AddRef and Release of a class whose count is its member `refs_`.
#define VLXTP_REFCOUNTED                                                  \
    STDMETHODIMP_(ULONG) AddRef() override { return refs_.add(); }        \
    STDMETHODIMP_(ULONG) Release() override {                             \
        const ULONG left = refs_.release();                               \
        if (left == 0) delete this;                                       \
        return left;                                                      \
    }

// Hands `object` out through `out` as `Interface` with a new reference.
template <class Interface, class Object>
HRESULT hand_out(Object* object, void** out) {
    Interface* pointer = static_cast<Interface*>(object);
    pointer->AddRef();
    *out = pointer;
    return S_OK;
}

// A new object handed out through `iid`, as factories do.
template <class Object, class... Args>
HRESULT create_object(REFIID iid, void** out, Args&&... args) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* object = new (std::nothrow) Object(std::forward<Args>(args)...);
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

// Runs `body`; an exception ends as E_OUTOFMEMORY, since none may cross a
// COM method.
template <class Body>
HRESULT com_guard(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

using CreateFunction = HRESULT (*)(REFIID iid, void** out);

// DllGetClassObject's answer for a class made by `create`.
HRESULT get_class_factory(CreateFunction create, REFIID iid, void** out);

}  // namespace vlxtp
