#include "stills/stills.h"

#include "frames/current_frame.h"
#include "frames/image_file.h"
#include "library/library_state.h"
#include "library/message_wait.h"
#include "stills/still_codes.h"
#include "stills/still_notify.h"
#include "stills/still_slots.h"
#include "vidlox.h"

#include <climits>
#include <cstring>

namespace vlx {

namespace {

// The oldest still waiting in the active slot, lent for the length of one
// call and given back as taken or not.
class LentStill {
public:
    // kStillSlotNotOpen, kStillNoneWaiting or 0.
    int32_t lend() {
        if (!active_slot().is_open()) return kStillSlotNotOpen;
        listener_ = still_slot(library().active_slot).listener;
        if (!listener_ || !listener_->store().lend(still_)) return kStillNoneWaiting;
        lent_ = true;
        return 0;
    }
    void take() { taken_ = true; }
    ~LentStill() {
        if (lent_) listener_->store().give_back(taken_);
    }
    const StillStore::Lent& still() const { return still_; }

private:
    ComPtr<StillListener> listener_;
    StillStore::Lent still_;
    bool lent_ = false;
    bool taken_ = false;
};

}  // namespace

int32_t wait_still(int32_t timeout_ms) {
    if (!active_slot().is_open()) return kStillSlotNotOpen;
    const int32_t index = library().active_slot;
    if (const int32_t failed = ensure_still_listener(index, kStillTakeOutOfMemory)) return failed;
    // Held for the whole wait: a window procedure run from here may close
    // the slot, which detaches it.
    const ComPtr<StillListener> listener = still_slot(index).listener;
    const Slot& slot = library().slots[static_cast<size_t>(index)];
    const Deadline deadline(timeout_ms);
    while (true) {
        if (listener->detached()) return kStillWaitClosed;
        if (listener->store().holds_still()) return 0;
        // A stopped graph sends no still: the wait would only run out.
        if (!slot.is_running()) return kStillWaitNotRunning;
        const DWORD remaining = deadline.remaining_ms();
        if (remaining == 0) return 1;
        switch (wait_dispatching(listener->still_event(), remaining, "vlx_WaitStill.Thread.MsgWaitForMultipleObjectsEx")) {
        case Woken::failed:
            return kStillWaitFailed;
        case Woken::quit:
            return kStillWaitQuit;
        default:
            break;  // look again
        }
    }
}

int32_t take_still(void* pixels, int32_t* size, void* header, int64_t* info) {
    if (!active_slot().is_open()) return kStillSlotNotOpen;
    if (!size || !header) return kStillNullArgument;
    LentStill lent;
    if (const int32_t none = lent.lend()) return none;
    const StillStore::Lent& still = lent.still();
    // Stills come from grabbers whose sizes are 32-bit.
    const int32_t bytes = still.size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(still.size);
    FrameHeader frame_header;
    std::memset(&frame_header, 0, sizeof frame_header);
    frame_header.bmiHeader = still.header;
    std::memcpy(header, &frame_header, sizeof frame_header);
    const bool room = pixels && *size >= bytes;
    if (pixels && !room) {
        *size = bytes;
        return kStillTooSmall;
    }
    *size = bytes;
    if (!pixels) return 0;  // its size and header only: it waits on
    std::memcpy(pixels, still.bytes, still.size);
    lent.take();
    if (info) {
        info[VLX_STILL_NUMBER] = still.stamp.number;
        info[VLX_STILL_SAMPLE_TIME] = still.stamp.sample_time;
        info[VLX_STILL_ARRIVAL] = still.stamp.arrival;
        info[VLX_STILL_SOURCE] = still.stamp.source;
    }
    return 0;
}

int32_t save_still(const wchar_t* file_name, int32_t format, int32_t quality, int32_t width, int32_t height) {
    LentStill lent;
    if (const int32_t none = lent.lend()) return none;
    const StillStore::Lent& still = lent.still();
    const int32_t written = write_image_file({still.bytes, static_cast<int64_t>(still.size), still.header.biWidth,
                                              still.header.biHeight},
                                             {file_name, format, quality, width, height});
    // A still that could not be written waits on for another try.
    if (written == 0) lent.take();
    return written;
}

int32_t set_still_notify(HWND window, UINT message) {
    const int32_t index = library().active_slot;
    if (!window) {
        set_still_notify_target(index, nullptr, 0);
        return 0;
    }
    if (!active_slot().is_open()) return kStillSlotNotOpen;
    if (!IsWindow(window)) return kStillNotAWindow;
    set_still_notify_target(index, window, message);
    return 0;
}

}  // namespace vlx
