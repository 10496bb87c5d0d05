#include "jpeg_frame.h"

#include "common/com_ptr.h"
#include "vidlox_tp_mjpeg.h"

#include <oleauto.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>

namespace vlxtp {

using vlx::ComPtr;

namespace {

// The picture upright (top row first), averaged over block x block pixels.
std::vector<uint8_t> upright_rows(const Rgb24Frame& frame, int block) {
    const int32_t width = frame.width, rows = frame.rows;
    const size_t stride = frame.stride;
    std::vector<uint8_t> upright(stride * static_cast<size_t>(rows));
    for (int32_t y = 0; y < rows; ++y) {
        const int32_t source_row = frame.bottom_up ? rows - 1 - y : y;
        std::memcpy(&upright[static_cast<size_t>(y) * stride], frame.bits + static_cast<size_t>(source_row) * stride,
                    stride);
    }
    if (block <= 1) return upright;
    for (int32_t top = 0; top < rows; top += block) {
        for (int32_t left = 0; left < width; left += block) {
            const int32_t bottom = std::min(top + block, rows), right = std::min(left + block, width);
            unsigned sum[3] = {0, 0, 0};
            for (int32_t y = top; y < bottom; ++y)
                for (int32_t x = left; x < right; ++x)
                    for (int c = 0; c < 3; ++c) sum[c] += upright[static_cast<size_t>(y) * stride + x * 3 + c];
            const unsigned count = static_cast<unsigned>((bottom - top) * (right - left));
            for (int32_t y = top; y < bottom; ++y)
                for (int32_t x = left; x < right; ++x)
                    for (int c = 0; c < 3; ++c)
                        upright[static_cast<size_t>(y) * stride + x * 3 + c] = static_cast<uint8_t>(sum[c] / count);
        }
    }
    return upright;
}

HRESULT set_image_quality(IPropertyBag2* options, int quality) {
    PROPBAG2 option{};
    option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = static_cast<float>(quality) / 100.0f;
    return options->Write(1, &option, &value);
}

HRESULT read_stream(IStream* stream, std::vector<uint8_t>& out) {
    STATSTG stat{};
    HRESULT hr = stream->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) return hr;
    out.resize(static_cast<size_t>(stat.cbSize.QuadPart));
    HGLOBAL memory = nullptr;
    hr = GetHGlobalFromStream(stream, &memory);
    if (FAILED(hr)) return hr;
    const void* data = GlobalLock(memory);
    if (!data) return E_OUTOFMEMORY;
    std::memcpy(out.data(), data, out.size());
    GlobalUnlock(memory);
    return S_OK;
}

}  // namespace

HRESULT encode_jpeg_frame(const Rgb24Frame& picture, int quality, std::vector<uint8_t>& jpeg) {
    std::vector<uint8_t> upright = upright_rows(picture, VLXTP_MJPEG_BLOCK(quality));
    const auto rows = static_cast<UINT>(picture.rows);

    ComPtr<IWICImagingFactory> factory;
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  factory.put_void());
    if (SUCCEEDED(hr)) hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
    if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.put());
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.put(), options.put());
    if (SUCCEEDED(hr)) hr = set_image_quality(options.get(), quality);
    if (SUCCEEDED(hr)) hr = frame->Initialize(options.get());
    if (SUCCEEDED(hr)) hr = frame->SetSize(static_cast<UINT>(picture.width), rows);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;  // DirectShow's RGB24 byte order
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    if (SUCCEEDED(hr))
        hr = frame->WritePixels(rows, static_cast<UINT>(picture.stride), static_cast<UINT>(upright.size()), upright.data());
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    if (SUCCEEDED(hr)) hr = read_stream(stream.get(), jpeg);
    return hr;
}

}  // namespace vlxtp
