// Puts the samples of the mux's input pins into the AVI file by their time,
// as Windows' AVI Mux does (its IConfigInterleaving modes, its master stream):
//
// - Each stream keeps the graph's timeline from stream time 0: a video frame
//   goes into the frame slot its start time names (slots left empty before
//   it, frames the camera could not send, become dropped frames), and audio
//   that starts later than the bytes written so far reach is preceded by
//   silence. A file's streams therefore start together and stay together
//   wherever a source lost samples.
// - INTERLEAVE_CAPTURE, INTERLEAVE_NONE and INTERLEAVE_NONE_BUFFERED write
//   each sample as it arrives (two live sources deliver in time order to
//   within one audio buffer); INTERLEAVE_FULL holds samples until every
//   stream has one and writes the earliest first, never holding more than
//   the interleaving period's worth (a stream that stops delivering does not
//   stop the others).
// - With a master stream (IConfigAviMux::SetMasterStream), the other
//   streams' rates in the headers follow the master's clock: where the
//   master's samples (audio bytes at its nominal rate) span another length
//   of time than their time stamps do, the video frame duration is scaled by
//   the same ratio, so the picture stays with the sound over any length.
#pragma once

#include "avi_writer.h"

#include <dshow.h>

#include <deque>
#include <mutex>
#include <vector>

namespace vlxtp {

struct InterleaveSettings {
    InterleavingMode mode = INTERLEAVE_FULL;
    REFERENCE_TIME period = 10000000;  // IConfigInterleaving's interleave: 1 s
    LONG master_stream = -1;
    bool old_index = true;  // IConfigAviMux's compatibility index ('idx1')
};

class AviInterleaver {
public:
    AviInterleaver(IStream* file, std::vector<AviStreamFormat> streams, const InterleaveSettings& settings);

    // From the streaming threads of the pins, one at a time per stream.
    HRESULT receive(size_t stream, IMediaSample* sample);
    void end_of_stream(size_t stream);
    // Every sample held is written, the master stream's timing applied and
    // the file closed. After the pins stopped delivering.
    HRESULT finish();

private:
    struct Held {
        bool timed = false;
        REFERENCE_TIME start = 0;
        REFERENCE_TIME stop = 0;
        bool key = true;
        std::vector<BYTE> data;
    };
    struct Timeline {
        AviStreamFormat format;
        std::deque<Held> held;  // INTERLEAVE_FULL only
        size_t held_bytes = 0;
        bool ended = false;
        uint64_t next_slot = 0;     // video: the next frame's slot
        uint64_t bytes = 0;         // audio: bytes written, silence included
        REFERENCE_TIME first_start = -1, last_stop = -1;  // the stamps seen
        REFERENCE_TIME next_order = 0;  // FULL: the last timed start, for untimed samples
    };

    // Writes one sample (`size` bytes at `data`; the times and key flag of
    // `sample`) after the dropped frames or silence its time calls for.
    HRESULT place(size_t stream, const Held& sample, const BYTE* data, DWORD size);
    HRESULT write_full(bool draining);
    static REFERENCE_TIME order_time(const Held& sample);
    void apply_master();

    std::mutex lock_;
    AviWriter writer_;
    std::vector<Timeline> streams_;
    InterleaveSettings settings_;
    HRESULT failure_ = S_OK;
};

}  // namespace vlxtp
