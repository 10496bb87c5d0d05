#include "jpeg_to_rgb.h"

#include "codec_formats.h"
#include "huffman_tables.h"

#include "comkit/registration.h"
#include "common/com_ptr.h"

#include <wincodec.h>

#include <cstring>

namespace vlxcodec {

using vlx::ComPtr;

HRESULT JpegDecoder::decode(const uint8_t* jpeg, size_t size, LONG width, LONG height, uint8_t* bgr) {
    switch (huffman_tables_of(jpeg, size)) {
    case HuffmanTables::malformed:
        return WINCODEC_ERR_BADHEADER;
    case HuffmanTables::missing:
        if (!with_standard_huffman_tables(jpeg, size, completed_)) return WINCODEC_ERR_BADHEADER;
        jpeg = completed_.data();
        size = completed_.size();
        break;
    case HuffmanTables::present:
        break;
    }

    // Malformed frames are refused before COM or WIC is asked for anything.
    // A source's streaming thread need not have joined an apartment.
    vlxcom::ComScope com(COINIT_MULTITHREADED);
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  factory.put_void());
    if (FAILED(hr)) return hr;

    ComPtr<IWICStream> stream;
    if (FAILED(hr = factory->CreateStream(stream.put()))) return hr;
    // WIC only reads from a memory stream it did not allocate.
    if (FAILED(hr = stream->InitializeFromMemory(const_cast<BYTE*>(jpeg), static_cast<DWORD>(size)))) return hr;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(hr = factory->CreateDecoder(GUID_ContainerFormatJpeg, nullptr, decoder.put()))) return hr;
    if (FAILED(hr = decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand))) return hr;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(hr = decoder->GetFrame(0, frame.put()))) return hr;
    UINT frame_width = 0, frame_height = 0;
    if (FAILED(hr = frame->GetSize(&frame_width, &frame_height))) return hr;
    if (frame_width != static_cast<UINT>(width) || frame_height != static_cast<UINT>(height))
        return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;

    ComPtr<IWICBitmapSource> converted;
    if (FAILED(hr = WICConvertBitmapSource(GUID_WICPixelFormat24bppBGR, frame.get(), converted.put()))) return hr;
    const UINT stride = output_stride(width);
    top_down_.resize(static_cast<size_t>(stride) * static_cast<size_t>(height));
    if (FAILED(hr = converted->CopyPixels(nullptr, stride, static_cast<UINT>(top_down_.size()), top_down_.data())))
        return hr;
    for (LONG row = 0; row < height; ++row) {
        std::memcpy(bgr + static_cast<size_t>(height - 1 - row) * stride,
                    top_down_.data() + static_cast<size_t>(row) * stride, stride);
    }
    return S_OK;
}

}  // namespace vlxcodec
