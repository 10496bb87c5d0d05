// The AVI Mux that SetOutputFileName puts into the graph. Wine's own AVI
// Mux (CLSID_AviDest, full interleaving: the only mode it runs in) writes
// the file, behind pins that behave as the pins of Windows' AVI Mux:
//
// - there is always exactly one unconnected input pin; connecting it adds
//   the next one, and disconnecting a pin removes it again.
// - the mux stays a harmless candidate for intelligent connect. While a
//   later RenderStream looks for a path to another sink, the graph tries
//   the mux's spare input pin on every path it explores and disconnects it
//   again (the mux's output is taken, so no path goes through it); on
//   Windows that leaves no trace.
//
// Wine's mux cannot undo a connection: every connection adds an input pin
// that is never removed (127 pins after one preview RenderStream from a
// YUY2 camera), its interleaver then waits forever on the pins that were
// disconnected, the camera's samples stay queued and the pin disconnect at
// teardown faults. So the pins here take the graph's connections
// themselves and hand the ones still standing to Wine's mux when the graph
// leaves the stopped state, in their order: Wine's mux sees only the
// streams it writes. Its output goes through a private pin to the IStream
// of the writer connected to the output pin here.
//
// Wine's mux refuses audio (VFW_E_CANNOT_CONNECT for every WAVEFORMATEX),
// where Windows' takes it. A graph with an audio stream connected when it
// starts therefore has its file written by this mux itself
// (avi_interleaver.h, avi_writer.h): both streams interleaved by time, the
// master stream and interleaving modes of IConfigAviMux and
// IConfigInterleaving, OpenDML past 1 GiB. A graph with video alone is
// written by Wine's mux exactly as before: its files do not change.
//
// Samples reach Wine's mux only while this mux is running or paused, never
// during or after its Stop: Wine's mux would write them through the stream
// its Stop has released (a crash under load, as the camera's thread
// delivers its last frame), where Windows' answers VFW_E_WRONG_STATE.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace vlxtp {

HRESULT create_avi_mux(IBaseFilter** out);

}  // namespace vlxtp
