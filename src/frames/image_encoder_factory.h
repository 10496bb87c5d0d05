// Creation of the WIC encoder for a container, the one call the test build
// can replace: Wine has no JPEG XR or HEIF encoder, and a stand-in lets the
// tests follow those formats and every format's encoder options past it.
#pragma once

#include <wincodec.h>

namespace vlx {

HRESULT create_image_encoder(IWICImagingFactory* factory, const GUID& container, IWICBitmapEncoder** encoder);

#ifdef VLX_FAULT_INJECTION
using ImageEncoderFactory = HRESULT (*)(IWICImagingFactory* factory, const GUID& container,
                                        IWICBitmapEncoder** encoder);
// Null restores IWICImagingFactory::CreateEncoder.
void replace_image_encoder_factory(ImageEncoderFactory factory);
#endif

}  // namespace vlx
