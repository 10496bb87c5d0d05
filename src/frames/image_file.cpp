#include "frames/image_file.h"

#include "common/com_ptr.h"
#include "common/dib_size.h"
#include "common/string_argument.h"
#include "common/variant.h"
#include "frames/current_frame.h"
#include "frames/image_encoder_factory.h"
#include "frames/image_formats.h"
#include "library/platform_call.h"

#include <wincodec.h>

#include <cstring>
#include <utility>

namespace vlx {

namespace {

// Every object of one call, declared in creation order so that they are
// released in reverse order on every return.
struct Pipeline {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    ComPtr<IWICBitmap> bitmap;
    ComPtr<IWICFormatConverter> converter;
    ComPtr<IWICBitmapFlipRotator> flip;
    ComPtr<IWICBitmapScaler> scaler;
};

template <class Call>
bool step_failed(StepName step, Call&& call) {
    return FAILED(platform_call(step, std::forward<Call>(call)));
}

// Rows go in one by one with the stride the lock reports, which need not
// be the frame's 4-byte padded stride. They keep the frame's order: the
// flip-rotator turns a bottom-up frame upright later.
int32_t fill_bitmap(IWICBitmap* bitmap, const ImagePicture& picture, UINT rows) {
    const UINT width = static_cast<UINT>(picture.width);
    ComPtr<IWICBitmapLock> lock;
    const WICRect whole{0, 0, picture.width, static_cast<INT>(rows)};
    if (step_failed("vlx_SaveImage.Bitmap.Lock",
                    [&] { return bitmap->Lock(&whole, WICBitmapLockWrite, lock.put()); }))
        return -22;
    UINT capacity = 0;
    BYTE* target = nullptr;
    UINT lock_stride = 0;
    if (step_failed("vlx_SaveImage.BitmapLock.GetDataPointer",
                    [&] { return lock->GetDataPointer(&capacity, &target); }) ||
        step_failed("vlx_SaveImage.BitmapLock.GetStride", [&] { return lock->GetStride(&lock_stride); }))
        return -23;

    const int64_t frame_stride = dib_row_bytes(width, 24);
    const int64_t row_bytes = int64_t{width} * 3;
    if (frame_stride * rows == 0) return 0;
    // Neither side is read or written past its end: a frame shorter than its
    // header says, like a buffer too small, copies nothing.
    if (frame_stride * rows > picture.size || lock_stride < row_bytes ||
        int64_t{lock_stride} * (rows - 1) + row_bytes > int64_t{capacity})
        return -24;
    for (UINT row = 0; row < rows; ++row) {
        std::memcpy(target + size_t{row} * lock_stride, picture.bits + static_cast<size_t>(frame_stride) * row,
                    static_cast<size_t>(row_bytes));
    }
    return 0;
}

int32_t encode(const ImagePicture& picture, const ImageRequest& request, bool& file_created) {
    Pipeline p;
    if (step_failed("vlx_SaveImage.CoCreateInstance(WICImagingFactory)", [&] {
            return CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_ALL, IID_IWICImagingFactory,
                                    p.factory.put_void());
        }))
        return -10;
    const ImageFormat* format = image_format(request.format);
    if (!format) return -11;
    if (step_failed("vlx_SaveImage.ImagingFactory.CreateEncoder",
               [&] { return create_image_encoder(p.factory.get(), *format->container, p.encoder.put()); }))
        return -12;
    if (step_failed("vlx_SaveImage.ImagingFactory.CreateStream",
                    [&] { return p.factory->CreateStream(p.stream.put()); }))
        return -13;
    // A null name, or a value from 1 to 65535 (no address), cannot be opened.
    if (!request.file_name || is_resource_number(request.file_name)) return -14;
    if (step_failed("vlx_SaveImage.Stream.InitializeFromFilename",
               [&] { return p.stream->InitializeFromFilename(request.file_name, GENERIC_WRITE); }))
        return -14;
    file_created = true;
    if (step_failed("vlx_SaveImage.Encoder.Initialize",
               [&] { return p.encoder->Initialize(p.stream.get(), WICBitmapEncoderNoCache); }))
        return -15;
    if (step_failed("vlx_SaveImage.Encoder.CreateNewFrame",
               [&] { return p.encoder->CreateNewFrame(p.frame.put(), p.options.put()); }))
        return -16;

    ScopedVariant value;
    if (const wchar_t* name = encoder_option(*format, request.quality, *value.get())) {
        PROPBAG2 option{};
        option.pstrName = const_cast<LPOLESTR>(name);
        if (step_failed("vlx_SaveImage.PropertyBag.Write", [&] {
                return p.options ? p.options->Write(1, &option, value.get()) : E_POINTER;
            }))
            return -17;
    }
    if (step_failed("vlx_SaveImage.FrameEncode.Initialize", [&] { return p.frame->Initialize(p.options.get()); }))
        return -18;

    // A top-down frame (negative biHeight) is already upright.
    const bool top_down = picture.height < 0;
    const auto rows = static_cast<UINT>(top_down ? -int64_t{picture.height} : int64_t{picture.height});
    const UINT out_width = static_cast<UINT>(request.width > 0 ? request.width : picture.width);
    const UINT out_height = request.height > 0 ? static_cast<UINT>(request.height) : rows;
    if (step_failed("vlx_SaveImage.FrameEncode.SetSize", [&] { return p.frame->SetSize(out_width, out_height); }))
        return -19;
    // The encoder may answer with the nearest format it supports; the
    // converter produces that one.
    WICPixelFormatGUID pixel_format = *format->pixel_format;
    if (step_failed("vlx_SaveImage.FrameEncode.SetPixelFormat",
                    [&] { return p.frame->SetPixelFormat(&pixel_format); }))
        return -20;

    if (step_failed("vlx_SaveImage.ImagingFactory.CreateBitmap", [&] {
            return p.factory->CreateBitmap(static_cast<UINT>(picture.width), rows, GUID_WICPixelFormat24bppBGR,
                                           WICBitmapCacheOnLoad, p.bitmap.put());
        }))
        return -21;
    if (const int32_t code = fill_bitmap(p.bitmap.get(), picture, rows)) return code;

    if (step_failed("vlx_SaveImage.ImagingFactory.CreateFormatConverter",
               [&] { return p.factory->CreateFormatConverter(p.converter.put()); }))
        return -25;
    if (step_failed("vlx_SaveImage.ImagingFactory.CreateBitmapFlipRotator",
               [&] { return p.factory->CreateBitmapFlipRotator(p.flip.put()); }))
        return -26;
    if (step_failed("vlx_SaveImage.FlipRotator.Initialize", [&] {
            return p.flip->Initialize(p.bitmap.get(),
                                      top_down ? WICBitmapTransformRotate0 : WICBitmapTransformFlipVertical);
        }))
        return -27;
    if (step_failed("vlx_SaveImage.ImagingFactory.CreateBitmapScaler",
               [&] { return p.factory->CreateBitmapScaler(p.scaler.put()); }))
        return -28;
    if (step_failed("vlx_SaveImage.Scaler.Initialize", [&] {
            return p.scaler->Initialize(p.flip.get(), out_width, out_height, WICBitmapInterpolationModeCubic);
        }))
        return -29;
    // For GIF this builds the 8-bit palette by median cut, with error
    // diffusion.
    if (step_failed("vlx_SaveImage.FormatConverter.Initialize", [&] {
            return p.converter->Initialize(p.scaler.get(), pixel_format, WICBitmapDitherTypeErrorDiffusion, nullptr,
                                           0.0, WICBitmapPaletteTypeMedianCut);
        }))
        return -30;
    if (step_failed("vlx_SaveImage.FrameEncode.WriteSource",
               [&] { return p.frame->WriteSource(p.converter.get(), nullptr); }))
        return -31;
    if (step_failed("vlx_SaveImage.FrameEncode.Commit", [&] { return p.frame->Commit(); })) return -32;
    if (step_failed("vlx_SaveImage.Encoder.Commit", [&] { return p.encoder->Commit(); })) return -33;
    return 0;
}

}  // namespace

int32_t write_image_file(const ImagePicture& picture, const ImageRequest& request) {
    bool file_created = false;
    const int32_t result = encode(picture, request, file_created);
    // Every WIC object, the stream with its file handle, is released by now:
    // a file the failed pipeline began is removed rather than left partial.
    if (result != 0 && file_created) DeleteFileW(request.file_name);
    return result;
}

int32_t save_image(const wchar_t* file_name, int32_t format, int32_t quality, int32_t width, int32_t height) {
    CurrentFrame frame;
    const FrameCalls calls{.format = {.media_type_context = "vlx_SaveImage->SampleGrabber->GetConnectedMediaType", .no_grabber_code = -9},
                           .buffer_context = "vlx_SaveImage->SampleGrabber->GetCurrentBuffer"};
    if (const int32_t failed = frame.fetch(calls)) return failed;
    const BITMAPINFOHEADER& info = frame.format().video_info().bmiHeader;
    return write_image_file({frame.bits(), frame.size(), info.biWidth, info.biHeight},
                            {file_name, format, quality, width, height});
}

}  // namespace vlx
