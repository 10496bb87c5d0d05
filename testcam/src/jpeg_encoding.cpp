#include "jpeg_encoding.h"

#include "com_ptr.h"

#include <oleauto.h>
#include <wincodec.h>

#include <cstring>

namespace vlxcam {

namespace {

constexpr float kQuality = 0.9f;

// Removes every DHT segment in front of the start of scan; the new length,
// or 0 for a stream that is not the JPEG the encoder should have written.
size_t strip_huffman_tables(uint8_t* jpeg, size_t size) {
    if (size < 4 || jpeg[0] != 0xff || jpeg[1] != 0xd8) return 0;
    size_t at = 2;
    while (at + 4 <= size && jpeg[at] == 0xff) {
        const uint8_t marker = jpeg[at + 1];
        if (marker == 0xda) return size;  // start of scan: the header is done
        const size_t segment = 2 + (static_cast<size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3]);
        if (segment < 4 || at + segment > size) return 0;
        if (marker == 0xc4) {
            std::memmove(jpeg + at, jpeg + at + segment, size - at - segment);
            size -= segment;
        } else {
            at += segment;
        }
    }
    return 0;
}

HRESULT set_quality(IPropertyBag2* options) {
    PROPBAG2 option{};
    option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = kQuality;
    return options->Write(1, &option, &value);
}

}  // namespace

size_t encode_mjpg_frame(const uint8_t* bgr, LONG stride, LONG width, LONG height, uint8_t* out,
                         size_t capacity) {
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.put_void()))) {
        return 0;
    }
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromMemory(out, static_cast<DWORD>(capacity))) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.put())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.put(), options.put()))) {
        return 0;
    }
    set_quality(options.get());  // an encoder without the option keeps its own quality
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    const UINT bytes = static_cast<UINT>(stride) * static_cast<UINT>(height);
    if (FAILED(frame->Initialize(options.get())) ||
        FAILED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) ||
        FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) ||
        FAILED(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(stride), bytes,
                                  const_cast<BYTE*>(bgr))) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
        return 0;
    }
    ULARGE_INTEGER written{};
    if (FAILED(stream->Seek({}, STREAM_SEEK_CUR, &written))) return 0;
    return strip_huffman_tables(out, static_cast<size_t>(written.QuadPart));
}

}  // namespace vlxcam
