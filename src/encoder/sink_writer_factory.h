// Creation of the sink writer, the one call the test build can replace with
// a recording writer of its own (Wine cannot create a sink writer for a
// file). Everything else the encoder touches is the platform's.
#pragma once

#include "common/media_foundation.h"

namespace vlx {

HRESULT create_sink_writer(const wchar_t* url, IMFAttributes* attributes, IMFSinkWriter** writer);

#ifdef VLX_FAULT_INJECTION
using SinkWriterFactory = HRESULT (*)(const wchar_t* url, IMFAttributes* attributes, IMFSinkWriter** writer);
// Null restores the platform's MFCreateSinkWriterFromURL.
void replace_sink_writer_factory(SinkWriterFactory factory);
#endif

}  // namespace vlx
