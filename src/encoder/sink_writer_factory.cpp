#include "encoder/sink_writer_factory.h"

namespace vlx {

#ifdef VLX_FAULT_INJECTION
namespace {
SinkWriterFactory g_factory = nullptr;
}

void replace_sink_writer_factory(SinkWriterFactory factory) { g_factory = factory; }
#endif

HRESULT create_sink_writer(const wchar_t* url, IMFAttributes* attributes, IMFSinkWriter** writer) {
#ifdef VLX_FAULT_INJECTION
    if (g_factory) return g_factory(url, attributes, writer);
#endif
    return MFCreateSinkWriterFromURL(url, nullptr, attributes, writer);
}

}  // namespace vlx
