#include "enum/device_lists.h"

#include "common/directshow.h"
#include "enum/category_names.h"
#include "enum/name_list.h"
#include "library/library_state.h"
#include "library/list_budget.h"

namespace vlx {

namespace {

const CLSID& codec_category(int32_t kind) {
    return kind == 0 ? CLSID_VideoCompressorCategory : CLSID_AudioCompressorCategory;
}

constexpr CategoryCalls kDeviceList{.create = "vlx_GetDeviceList->CoCreateInstance",
                                    .enumerate = "vlx_GetDeviceList->CreateClassEnumerator",
                                    .reset = "vlx_GetDeviceList->EnumMoniker->Reset",
                                    .read = "vlx_GetDeviceList->PropertyBag->Read",
                                    .no_device_enum = -1,
                                    .no_enumerator = -2};
constexpr CategoryCalls kDeviceListSize{.create = "vlx_GetDeviceListSize->CoCreateInstance",
                                        .enumerate = "vlx_GetDeviceListSize->CreateClassEnumerator",
                                        .reset = "vlx_GetDeviceListSize->EnumMoniker->Reset",
                                        .read = "vlx_GetDeviceListSize->PropertyBag->Read",
                                        .no_device_enum = -1,
                                        .no_enumerator = -2};
constexpr CategoryCalls kCodecList{.create = "vlx_GetCodecList->CoCreateInstance",
                                   .enumerate = "vlx_GetCodecList->CreateDevEnum->CreateClassEnumerator",
                                   .reset = "vlx_GetCodecList->EnumMoniker->Reset",
                                   .read = "vlx_GetCodecList->PropertyBag->Read",
                                   .no_device_enum = -2,
                                   .no_enumerator = -3};
constexpr CategoryCalls kCodecListSize{.create = "vlx_GetCodecListSize->CoCreateInstance",
                                       .enumerate = "vlx_GetCodecListSize->CreateDevEnum->CreateClassEnumerator",
                                       .reset = "vlx_GetCodecListSize->EnumMoniker->Reset",
                                       .read = "vlx_GetCodecListSize->PropertyBag->Read",
                                       .no_device_enum = -2,
                                       .no_enumerator = -3};

ListKey device_list(int32_t kind) { return {kind == 0 ? SizedList::video_devices : SizedList::audio_devices}; }
ListKey codec_list(int32_t kind) { return {kind == 0 ? SizedList::video_codecs : SizedList::audio_codecs}; }

}  // namespace

const CLSID& device_category(int32_t kind) {
    return kind == 0 ? CLSID_VideoInputDeviceCategory : CLSID_AudioInputDeviceCategory;
}

int32_t write_entry_list(char* text, const CLSID& category, const CategoryCalls& calls, ListKey key, EntryText field) {
    // A null buffer cannot receive a list; refused like an uninitialised library.
    if (!library_initialised() || !text) return -1;
    NameListWriter writer(text, size_answer(key));
    const int32_t failed =
        visit_category_entries(category, calls, [&](const CategoryEntry& entry) { writer.add(entry.*field); });
    return failed ? failed : writer.count();
}

int32_t measure_entry_list(const CLSID& category, const CategoryCalls& calls, ListKey key, EntryText field) {
    if (!library_initialised()) return -1;
    NameListSizer sizer;
    const int32_t failed =
        visit_category_entries(category, calls, [&](const CategoryEntry& entry) { sizer.add(entry.*field); });
    const int32_t answer = failed ? failed : sizer.size();
    remember_size_answer(key, answer);
    return answer;
}

int32_t list_devices(char* text, int32_t kind) {
    return write_entry_list(text, device_category(kind), kDeviceList, device_list(kind), &CategoryEntry::name);
}

int32_t device_list_size(int32_t kind) {
    return measure_entry_list(device_category(kind), kDeviceListSize, device_list(kind), &CategoryEntry::name);
}

int32_t list_codecs(char* text, int32_t kind) {
    return write_entry_list(text, codec_category(kind), kCodecList, codec_list(kind), &CategoryEntry::name);
}

int32_t codec_list_size(int32_t kind) { return measure_entry_list(codec_category(kind), kCodecListSize, codec_list(kind), &CategoryEntry::name); }

}  // namespace vlx
