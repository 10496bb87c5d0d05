#include "unit/stub_grabber.h"

#include "comkit/com_base.h"
#include "library/library_state.h"

#include <cstdlib>
#include <cstring>

namespace vlx_test {

namespace {

int32_t stride_of(int32_t width) { return ((width * 24 + 31) / 32) * 4; }

class StillGrabber final : public vlxcom::ComObject<ISampleGrabber> {
public:
    StillGrabber(const StillFrame& frame, std::vector<uint8_t> bytes) : frame_(frame), bytes_(std::move(bytes)) {}

    STDMETHODIMP GetConnectedMediaType(AM_MEDIA_TYPE* type) override {
        *type = AM_MEDIA_TYPE{};
        type->majortype = MEDIATYPE_Video;
        type->subtype = MEDIASUBTYPE_RGB24;
        type->bFixedSizeSamples = TRUE;
        type->lSampleSize = static_cast<ULONG>(bytes_.size());
        type->formattype = FORMAT_VideoInfo;
        auto* info = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
        if (!info) return E_OUTOFMEMORY;
        *info = VIDEOINFOHEADER{};
        info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info->bmiHeader.biWidth = frame_.width;
        info->bmiHeader.biHeight = frame_.height;
        info->bmiHeader.biPlanes = 1;
        info->bmiHeader.biBitCount = 24;
        info->bmiHeader.biCompression = BI_RGB;
        info->bmiHeader.biSizeImage = static_cast<DWORD>(bytes_.size());
        type->cbFormat = sizeof(VIDEOINFOHEADER);
        type->pbFormat = reinterpret_cast<BYTE*>(info);
        return S_OK;
    }
    STDMETHODIMP GetCurrentBuffer(long* size, long* buffer) override {
        if (!size) return E_POINTER;
        const auto needed = static_cast<long>(bytes_.size());
        if (buffer) {
            if (*size < needed) return E_OUTOFMEMORY;
            std::memcpy(buffer, bytes_.data(), bytes_.size());
        }
        *size = needed;
        return S_OK;
    }
    STDMETHODIMP SetOneShot(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP SetMediaType(const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP SetBufferSamples(BOOL) override { return S_OK; }
    STDMETHODIMP GetCurrentSample(IMediaSample**) override { return E_NOTIMPL; }
    STDMETHODIMP SetCallback(ISampleGrabberCB*, long) override { return E_NOTIMPL; }

private:
    StillFrame frame_;
    std::vector<uint8_t> bytes_;
};

}  // namespace

std::vector<uint8_t> paint_corners(const StillFrame& frame) {
    const int32_t rows = std::abs(frame.height), stride = stride_of(frame.width);
    std::vector<uint8_t> bytes(static_cast<size_t>(stride) * rows, 0x80);
    const int32_t cw = frame.width / 8, ch = rows / 8;
    for (int32_t y = 0; y < rows; ++y) {  // upright picture rows
        const int32_t memory_row = frame.height > 0 ? rows - 1 - y : y;
        for (int32_t x = 0; x < frame.width; ++x) {
            const bool left = x < cw, right = x >= frame.width - cw, top = y < ch, bottom = y >= rows - ch;
            uint8_t bgr[3] = {0x80, 0x80, 0x80};
            if (top && left) bgr[0] = 0, bgr[1] = 0, bgr[2] = 255;
            if (top && right) bgr[0] = 0, bgr[1] = 255, bgr[2] = 0;
            if (bottom && left) bgr[0] = 255, bgr[1] = 0, bgr[2] = 0;
            if (bottom && right) bgr[0] = 255, bgr[1] = 255, bgr[2] = 255;
            std::memcpy(&bytes[static_cast<size_t>(memory_row) * stride + static_cast<size_t>(x) * 3], bgr, 3);
        }
    }
    bytes.resize(bytes.size() - static_cast<size_t>(frame.missing_bytes));
    return bytes;
}

StillSlot::StillSlot(const StillFrame& frame) : bytes_(paint_corners(frame)) {
    vlx::Slot& slot = vlx::active_slot();
    slot.sample_grabber = vlx::ComPtr<ISampleGrabber>::adopt(new StillGrabber(frame, bytes_));
    slot.slot_state = vlx::kSlotOpen;
}

StillSlot::~StillSlot() {
    vlx::Slot& slot = vlx::active_slot();
    slot.sample_grabber.reset();
    slot.slot_state = vlx::kSlotClosed;
}

}  // namespace vlx_test
