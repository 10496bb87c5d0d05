#include "comkit/com_base.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace vlxcom {

namespace {

std::atomic<long> g_live_objects{0};
std::atomic<long> g_server_locks{0};

class ClassFactory final : public ComObject<IClassFactory> {
public:
    ClassFactory(CreateFunction create, REFCLSID clsid) : create_(create), clsid_(clsid) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return com_guard([&] { return create_(clsid_, iid, out); });
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        g_server_locks += lock ? 1 : -1;
        return S_OK;
    }

private:
    CreateFunction create_;
    CLSID clsid_;
};

}  // namespace

RefCount::RefCount() noexcept { ++g_live_objects; }
RefCount::~RefCount() { --g_live_objects; }

HMODULE this_module() { return reinterpret_cast<HMODULE>(&__ImageBase); }

long live_objects() { return g_live_objects.load(); }

HRESULT can_unload_now() { return g_live_objects.load() == 0 && g_server_locks.load() == 0 ? S_OK : S_FALSE; }

HRESULT get_class_factory(CreateFunction create, REFCLSID clsid, REFIID iid, void** out) {
    return create_object<ClassFactory>(iid, out, create, clsid);
}

}  // namespace vlxcom
