#include "frames/image_encoder_factory.h"

namespace vlx {

#ifdef VLX_FAULT_INJECTION
namespace {
ImageEncoderFactory g_factory = nullptr;
}

void replace_image_encoder_factory(ImageEncoderFactory factory) { g_factory = factory; }
#endif

HRESULT create_image_encoder(IWICImagingFactory* factory, const GUID& container, IWICBitmapEncoder** encoder) {
#ifdef VLX_FAULT_INJECTION
    if (g_factory) return g_factory(factory, container, encoder);
#endif
    return factory->CreateEncoder(container, nullptr, encoder);
}

}  // namespace vlx
