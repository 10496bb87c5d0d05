#include "comkit/dropped_frames.h"

namespace vlxcom {

STDMETHODIMP DroppedFramesReport::GetNumDropped(LONG* number) {
    if (!number) return E_POINTER;
    *number = counts_.dropped_count();
    return S_OK;
}

STDMETHODIMP DroppedFramesReport::GetNumNotDropped(LONG* number) {
    if (!number) return E_POINTER;
    *number = counts_.delivered_count();
    return S_OK;
}

STDMETHODIMP DroppedFramesReport::GetDroppedInfo(LONG size, LONG* numbers, LONG* copied) {
    if (!numbers || !copied) return E_POINTER;
    if (size <= 0) return E_INVALIDARG;
    *copied = counts_.recent_drops(numbers, size);
    return S_OK;
}

STDMETHODIMP DroppedFramesReport::GetAverageFrameSize(LONG* size) {
    if (!size) return E_POINTER;
    *size = counts_.average_size();
    return S_OK;
}

}  // namespace vlxcom
