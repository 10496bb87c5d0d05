#include "config/property_frames.h"

#include "common/com_ptr.h"
#include "common/directshow.h"
#include "common/string_argument.h"
#include "library/library_state.h"
#include "library/platform_call.h"

#include <olectl.h>

#include <cwchar>

namespace vlx {

namespace {

// "デバイスピンのプロパティ" (device pin properties), the fixed caption of
// the pin's frame.
constexpr wchar_t kDevicePinCaption[] =
    L"\u30c7\u30d0\u30a4\u30b9\u30d4\u30f3\u306e\u30d7\u30ed\u30d1\u30c6\u30a3";

// The page class ids GetPages hands out: a CoTaskMem array the caller frees.
class PageList {
public:
    PageList() = default;
    ~PageList() { CoTaskMemFree(pages_.pElems); }
    PageList(const PageList&) = delete;
    PageList& operator=(const PageList&) = delete;

    CAUUID* get() { return &pages_; }
    ULONG count() const { return pages_.cElems; }
    CLSID* ids() const { return pages_.pElems; }

private:
    CAUUID pages_{};
};

// GetPages of `object`'s pages, then the modal frame for that one object.
// GetPages that fails leaves no page list worth showing: false, no frame.
// The frame's own result says only whether it could be built; it is not
// passed on.
bool show_pages(StepName pages_step, StepName frame_step, ISpecifyPropertyPages* specify, HWND owner,
                const wchar_t* caption, IUnknown* object) {
    PageList pages;
    if (FAILED(platform_call(pages_step, [&] { return specify->GetPages(pages.get()); }))) return false;
    IUnknown* objects[] = {object};
    platform_call(frame_step, [&] {
        return OleCreatePropertyFrame(owner, 0, 0, caption, 1, objects, pages.count(), pages.ids(), 0, 0, nullptr);
    });
    return true;
}

}  // namespace

int32_t show_filter_properties(HWND owner_window, const wchar_t* filter_name) {
    Slot& slot = active_slot();
    if (!slot.is_open()) return -1;
    if (!slot.graph_builder) return -3;
    // Null, or a value from 1 to 65535 (no address), names no filter and is
    // not handed to the graph.
    if (!filter_name || is_resource_number(filter_name)) return -2;

    // The context strings call every filter VideoRenderer: they are fixed
    // texts, whatever name the host asked for.
    ComPtr<IBaseFilter> filter;
    const HRESULT found = reported_call("vlx_FilterProp->GraphBuilder->FindFilterByName(VideoRenderer)", [&] {
        return slot.graph_builder->FindFilterByName(filter_name, filter.put());
    });
    if (FAILED(found) || !filter) return -2;

    ComPtr<ISpecifyPropertyPages> specify;
    const HRESULT asked = reported_call("vlx_FilterProp->VideoRenderer->QueryInterface(SpecifyPropertyPages)",
                                        [&] { return filter.query(specify); });
    if (FAILED(asked) || !specify) return -2;

    FILTER_INFO info{};
    const HRESULT named =
        reported_call("vlx_FilterProp->VideoRenderer->QueryFilterInfo", [&] { return filter->QueryFilterInfo(&info); });
    // QueryFilterInfo hands out a reference to the graph with the name.
    const auto info_graph = ComPtr<IFilterGraph>::adopt(SUCCEEDED(named) ? info.pGraph : nullptr);
    // Without the filter's own name the frame is captioned with the name the
    // filter was found under, which is the same text. achName need not be
    // terminated when a filter fills all of it.
    wchar_t own_name[MAX_FILTER_NAME + 1] = L"";
    wmemcpy(own_name, info.achName, wcsnlen(info.achName, MAX_FILTER_NAME));
    const wchar_t* caption = SUCCEEDED(named) ? own_name : filter_name;

    if (!show_pages("vlx_FilterProp.SpecifyPropertyPages.GetPages", "vlx_FilterProp.OleCreatePropertyFrame",
                    specify.get(), owner_window, caption, filter.get()))
        return -2;
    return 0;
}

int32_t show_device_pin_properties(HWND owner_window) {
    Slot& slot = active_slot();
    if (!slot.is_open()) return -1;
    if (!slot.device_filter) return -6;

    ComPtr<IEnumPins> pins;
    const HRESULT enumerated = reported_call("vlx_DevPinProp->DeviceFilter->EnumPins",
                                             [&] { return slot.device_filter->EnumPins(pins.put()); });
    if (enumerated != S_OK || !pins) return -2;
    if (platform_call("vlx_DevPinProp.EnumPins.Reset", [&] { return pins->Reset(); }) != S_OK) return -3;
    // The first pin the enumeration yields, whatever its direction.
    ComPtr<IPin> pin;
    if (platform_call("vlx_DevPinProp.EnumPins.Next", [&] { return pins->Next(1, pin.put(), nullptr); }) != S_OK ||
        !pin)
        return -4;

    ComPtr<ISpecifyPropertyPages> specify;
    const HRESULT asked = reported_call("vlx_DevPinProp->SourceOut->QueryInterface(SpecifyPropertyPages)",
                                        [&] { return pin.query(specify); });
    if (FAILED(asked) || !specify) return -5;

    if (!show_pages("vlx_DevPinProp.SpecifyPropertyPages.GetPages", "vlx_DevPinProp.OleCreatePropertyFrame",
                    specify.get(), owner_window, kDevicePinCaption, pin.get()))
        return -5;
    return 0;
}

}  // namespace vlx
