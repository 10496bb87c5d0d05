#include "lists.h"

#include "text.h"

#include <vidlox.h>

namespace tool {

namespace {

NameList read_list(int32_t (*size_query)(int32_t), const char* size_name, int32_t (*list)(char*, int32_t),
                   const char* list_name, int32_t kind) {
    NameList result;
    const int32_t size = size_query(kind);
    if (size < 0) {
        result.result = size;
        result.failed_function = size_name;
        return result;
    }
    std::string text(static_cast<size_t>(size) + 1, '\0');
    result.result = list(text.data(), kind);
    if (result.result < 0) {
        result.failed_function = list_name;
        return result;
    }
    result.names = split_name_list(text.c_str());
    return result;
}

}  // namespace

NameList device_list(int32_t kind) {
    return read_list(vlx_GetDeviceListSize, "vlx_GetDeviceListSize", vlx_GetDeviceList, "vlx_GetDeviceList", kind);
}

NameList device_path_list(int32_t kind) {
    return read_list(vlx_GetDevicePathListSize, "vlx_GetDevicePathListSize", vlx_GetDevicePathList,
                     "vlx_GetDevicePathList", kind);
}

NameList still_format_list(int32_t device_index) {
    return read_list(vlx_GetStillFormatListSize, "vlx_GetStillFormatListSize", vlx_GetStillFormatList,
                     "vlx_GetStillFormatList", device_index);
}

NameList codec_list(int32_t kind) {
    return read_list(vlx_GetCodecListSize, "vlx_GetCodecListSize", vlx_GetCodecList, "vlx_GetCodecList", kind);
}

bool none_installed(const NameList& list, bool codecs) {
    return list.result == (codecs ? -3 : -2);
}

}  // namespace tool
