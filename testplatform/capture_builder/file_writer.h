// The file writer that SetOutputFileName puts behind the AVI Mux. Wine's
// AVI Mux writes its file through IStream, asked of the writer's input pin
// (Write and Seek: it goes back to fill in headers and indexes when it
// stops); Wine's own File Writer pin has no IStream, so the graph would not
// run with it.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace vlxtp {

// A new writer (IBaseFilter, IFileSinkFilter) for `file_name`. The file is
// created when the graph leaves the stopped state and closed when the
// writer is released: the graph stops the writer before the mux, and the
// mux writes its index while it stops.
HRESULT create_file_writer(const wchar_t* file_name, IBaseFilter** out);

}  // namespace vlxtp
