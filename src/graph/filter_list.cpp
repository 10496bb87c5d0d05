#include "graph/filter_list.h"

#include "common/com_ptr.h"
#include "common/directshow.h"
#include "enum/name_list.h"
#include "library/library_state.h"
#include "library/list_budget.h"
#include "library/platform_call.h"

#include <cwchar>
#include <functional>

namespace vlx {

namespace {

// Both functions report QueryFilterInfo under the listing's context.
constexpr const char* kQueryFilterInfo = "vlx_StreamFilterList->BaseFilter->QueryFilterInfo(FilterInfo)";

// How many leading UTF-16 units of `name` (`units` long) have a UTF-8 form
// within kFilterNameBytes, never splitting a surrogate pair.
int32_t fitting_units(const wchar_t* name, int32_t units) {
    int32_t kept = units;
    auto splits_pair = [&] {
        return kept < units && IS_HIGH_SURROGATE(name[kept - 1]) && IS_LOW_SURROGATE(name[kept]);
    };
    while (kept > 0 && (splits_pair() || utf8_length(name, kept) > kFilterNameBytes)) --kept;
    return kept;
}

// A filter's name as the list shows it: empty when QueryFilterInfo fails
// (the line stays, so that the count is the number of lines), cut to
// kFilterNameBytes otherwise.
class ListedName {
public:
    explicit ListedName(IBaseFilter* filter) {
        FILTER_INFO info{};
        if (FAILED(reported_call(kQueryFilterInfo, [&] { return filter->QueryFilterInfo(&info); }))) return;
        // The graph reference that QueryFilterInfo hands out is ours to release.
        const ComPtr<IFilterGraph> graph = ComPtr<IFilterGraph>::adopt(info.pGraph);
        // achName need not be terminated when a filter fills all of it.
        const auto units = static_cast<int32_t>(wcsnlen(info.achName, MAX_FILTER_NAME));
        const int32_t kept = fitting_units(info.achName, units);
        wmemcpy(text_, info.achName, static_cast<size_t>(kept));
        text_[kept] = L'\0';
    }
    const wchar_t* text() const { return text_; }

private:
    wchar_t text_[MAX_FILTER_NAME + 1] = L"";
};

// The one walk behind both functions: -1 slot not open, -2 no graph, else 0
// after `visit` has seen every filter's listed name in enumeration order.
int32_t visit_filter_names(const char* enum_filters_context, const std::function<void(const wchar_t*)>& visit) {
    const Slot& slot = active_slot();
    if (!slot.is_open()) return -1;
    if (!slot.graph_builder) return -2;
    ComPtr<IEnumFilters> filters;
    reported_call(enum_filters_context, [&] { return slot.graph_builder->EnumFilters(filters.put()); });
    if (!filters) return 0;
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.put(), nullptr) == S_OK) {
        if (!filter) continue;
        visit(ListedName(filter.get()).text());
    }
    return 0;
}

ListKey filter_list() { return {SizedList::filters, library().active_slot}; }

}  // namespace

int32_t list_filters(char* text) {
    // A null buffer cannot receive a list; refused like a closed slot.
    if (!text) return -1;
    NameListWriter writer(text, size_answer(filter_list()));
    const int32_t refused = visit_filter_names("vlx_StreamFilterList->GraphBuilder->EnumFilters",
                                               [&](const wchar_t* name) { writer.add(name); });
    return refused ? refused : writer.count();
}

int32_t filter_list_size() {
    NameListSizer sizer;
    const int32_t refused = visit_filter_names("vlx_StreamFilterListSize->GraphBuilder->EnumFilters",
                                               [&](const wchar_t* name) { sizer.add(name); });
    const int32_t answer = refused ? refused : sizer.size();
    remember_size_answer(filter_list(), answer);
    return answer;
}

}  // namespace vlx
