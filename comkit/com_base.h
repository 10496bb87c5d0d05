// COM plumbing of the test tree's in-process servers (the test camera, the
// test platform's components) and of the in-process tests' stand-ins: a
// reference count that also keeps the module's live-object count
// (DllCanUnloadNow, the camera's vlxcam_LiveObjects), single-interface
// objects, creation, the exception boundary of COM methods, and a class
// factory over a creation function. Every module links its own copy, and so
// counts its own objects.
#pragma once

#include "common/com_ptr.h"

#include <windows.h>

#include <atomic>
#include <new>
#include <utility>

namespace vlxcom {

using vlx::ComPtr;

// Objects of this module alive now (server locks not included).
long live_objects();
// DllCanUnloadNow's answer: S_OK once no object lives and no lock is held.
HRESULT can_unload_now();

// The module this code is linked into.
HMODULE this_module();

// Every COM object of a module holds one for its whole life.
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
#define VLXCOM_REFCOUNTED                                                 \
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

// The IUnknown of an object with one interface besides it.
template <class Interface>
class ComObject : public Interface {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(Interface)))
            return hand_out<Interface>(this, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    VLXCOM_REFCOUNTED

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    RefCount refs_;
};

// A new object handed out through `iid`, as factories do. A constructor
// that throws (its members allocate) answers E_OUTOFMEMORY too.
template <class Object, class... Args>
HRESULT create_object(REFIID iid, void** out, Args&&... args) {
    if (!out) return E_POINTER;
    *out = nullptr;
    Object* object = nullptr;
    try {
        object = new Object(std::forward<Args>(args)...);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

// Runs `body` (which returns an HRESULT) where C++ meets a COM caller: an
// exception thrown inside it (std::bad_alloc from a container,
// std::system_error from a thread that cannot start) ends here and the
// caller sees E_OUTOFMEMORY.
template <class Body>
HRESULT com_guard(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// Makes an object of the class `clsid` that a factory stands for.
using CreateFunction = HRESULT (*)(REFCLSID clsid, REFIID iid, void** out);

// DllGetClassObject's answer for the class `clsid`, made by `create`.
HRESULT get_class_factory(CreateFunction create, REFCLSID clsid, REFIID iid, void** out);

}  // namespace vlxcom
