// vlx_Open's audio branch: the audio device the host chose for the slot,
// its format and buffers, an audio Sample Grabber whose callback hands the
// blocks to the library, into the AVI file's multiplexer (modes 300 and
// 301) or a Null Renderer of its own (other modes), and the sync calls.
#pragma once

#include "graph/graph_extension.h"
#include "sound/audio_slots.h"

namespace vlx::sound {

// The extension vlx_Init registers with graph/ (graph_extension.h).
GraphExtension& audio_branch_builder();

// Buffers of about 40 ms in the capture pin's current format, asked before
// the pin connects (IAMBufferNegotiation takes bytes); a pin without the
// interface keeps its driver's. Reported under the three contexts, never
// fatal.
void suggest_buffers(Slot& slot, AudioBranch& branch, const char* find_context, const char* format_context,
                     const char* suggest_context);

}  // namespace vlx::sound
