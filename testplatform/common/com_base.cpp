#include "com_base.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace vlxtp {

namespace {

std::atomic<long> g_live_objects{0};
std::atomic<long> g_server_locks{0};

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(CreateFunction create) : create_(create) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory))
            return hand_out<IClassFactory>(this, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    VLXTP_REFCOUNTED

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return com_guard([&] { return create_(iid, out); });
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        g_server_locks += lock ? 1 : -1;
        return S_OK;
    }

private:
    RefCount refs_;
    CreateFunction create_;
};

}  // namespace

RefCount::RefCount() noexcept { ++g_live_objects; }
RefCount::~RefCount() { --g_live_objects; }

HMODULE this_module() { return reinterpret_cast<HMODULE>(&__ImageBase); }

long live_objects() { return g_live_objects.load() + g_server_locks.load(); }

HRESULT get_class_factory(CreateFunction create, REFIID iid, void** out) {
    return create_object<ClassFactory>(iid, out, create);
}

}  // namespace vlxtp
