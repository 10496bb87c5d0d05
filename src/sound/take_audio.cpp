#include "vidlox.h"

#include "library/library_state.h"
#include "library/message_wait.h"
#include "library/platform_call.h"
#include "sound/audio_levels.h"
#include "sound/audio_slots.h"
#include "sound/sound.h"
#include "sound/sound_codes.h"

#include <cstring>

namespace vlx::sound {

static_assert(VLX_AUDIO_INFO_COUNT == VLX_AUDIO_PEAK + 2 * VLX_AUDIO_LEVEL_CHANNELS, "the header's count of info[]");

namespace {

// The slot's blocks, or the code that says why there are none.
int32_t blocks_of_active_slot(ComPtr<AudioBlocks>& blocks) {
    if (!library_initialised() || !active_slot().is_open()) return kBlocksNotOpen;
    const SlotSound& sound = active_sound();
    if (!sound.branch || !sound.branch->blocks) return kBlocksNoAudio;
    blocks = sound.branch->blocks;
    return 0;
}

}  // namespace

int32_t wait_audio(int32_t timeout_ms) {
    ComPtr<AudioBlocks> blocks;  // held for the whole wait: a window procedure may close the slot
    if (const int32_t refused = blocks_of_active_slot(blocks)) return refused;
    const Slot& slot = active_slot();
    const Deadline deadline(timeout_ms);
    while (true) {
        if (blocks->detached()) return kBlocksClosed;
        if (blocks->holds_block()) return 0;
        if (!slot.is_running()) return kBlocksNotRunning;
        const DWORD remaining = deadline.remaining_ms();
        if (remaining == 0) return 1;
        switch (wait_dispatching(blocks->event(), remaining, "vlx_WaitAudio.Thread.MsgWaitForMultipleObjectsEx")) {
        case Woken::failed:
            return kBlocksWaitFailed;
        case Woken::quit:
            return kBlocksQuit;
        default:
            break;  // look again
        }
    }
}

int32_t take_audio(void* pcm, int32_t* size, int64_t* info) {
    ComPtr<AudioBlocks> blocks;
    if (const int32_t refused = blocks_of_active_slot(blocks)) return refused;
    if (!size) return kBlocksNullArgument;
    const size_t next = blocks->next_size();
    if (next == 0) return kBlocksNone;
    if (!pcm || *size < 0 || static_cast<size_t>(*size) < next) {
        *size = static_cast<int32_t>(next);
        return pcm ? kBlocksSizeTooSmall : 0;
    }
    // The host's thread takes blocks one at a time: the oldest is still the
    // one just measured.
    Block block;
    int64_t missed = 0;
    if (!blocks->take(block, missed)) return kBlocksNone;
    std::memcpy(pcm, block.bytes.data(), block.bytes.size());
    *size = static_cast<int32_t>(block.bytes.size());
    if (info) {
        info[VLX_AUDIO_NUMBER] = block.number;
        info[VLX_AUDIO_SAMPLE_TIME] = block.sample_time;
        info[VLX_AUDIO_ARRIVAL] = block.arrival;
        info[VLX_AUDIO_MISSED] = missed;
        ChannelLevel levels[VLX_AUDIO_LEVEL_CHANNELS];
        measure_levels(block.bytes.data(), block.bytes.size(), active_sound().branch->format, levels,
                       VLX_AUDIO_LEVEL_CHANNELS);
        for (int32_t c = 0; c < VLX_AUDIO_LEVEL_CHANNELS; ++c) {
            info[VLX_AUDIO_PEAK + 2 * c] = levels[c].peak;
            info[VLX_AUDIO_RMS + 2 * c] = levels[c].rms;
        }
    }
    return 0;
}

int32_t set_audio_notify(HWND window, uint32_t message) {
    ComPtr<AudioBlocks> blocks;
    if (const int32_t refused = blocks_of_active_slot(blocks)) return refused;
    if (window && !IsWindow(window)) return kBlocksNotAWindow;
    blocks->set_notify(window, message);
    return 0;
}

}  // namespace vlx::sound
