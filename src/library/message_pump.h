// The waits of the library's own (vlx_WaitFrame, vlx_WaitAudio) run on the
// host's thread, which owns windows (the preview's among them).
#pragma once

namespace vlx {

// Hands the thread's queued messages to their windows, as the host's own
// loop would: the preview window lives on this thread, and a renderer whose
// window gets no messages can hold up the stream. False on WM_QUIT, which is
// posted again for the host's loop to see.
bool dispatch_thread_messages();

}  // namespace vlx
