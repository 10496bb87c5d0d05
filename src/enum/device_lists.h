// Names of capture devices and compressors, and their size queries; the
// category walk behind them, for other lists of the same entries.
#pragma once

#include "enum/category_names.h"
#include "library/list_budget.h"

#include <cstdint>

namespace vlx {

// The video (0) or audio (any other value) capture device category.
const CLSID& device_category(int32_t kind);

// One text of each entry of a category (its name or its path) as a name
// list, within what `key`'s size query last answered; and that size query,
// which records its answer under `key`.
using EntryText = const wchar_t* CategoryEntry::*;
int32_t write_entry_list(char* text, const CLSID& category, const CategoryCalls& calls, ListKey key, EntryText field);
int32_t measure_entry_list(const CLSID& category, const CategoryCalls& calls, ListKey key, EntryText field);

int32_t list_devices(char* text, int32_t kind);
int32_t device_list_size(int32_t kind);
int32_t list_codecs(char* text, int32_t kind);
int32_t codec_list_size(int32_t kind);

}  // namespace vlx
