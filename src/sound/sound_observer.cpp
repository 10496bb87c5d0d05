#include "graph/graph_extension.h"
#include "graph/slot_observer.h"
#include "sound/audio_branch.h"
#include "sound/audio_slots.h"
#include "sound/sound.h"

namespace vlx::sound {

namespace {

// A slot's graph is going: its blocks stop (a host waiting for one wakes),
// and the library's references to the audio branch go before the graph's.
class SoundObserver final : public SlotObserver {
public:
    void releasing(int32_t slot) override {
        SlotSound& sound = slot_sound(slot);
        if (sound.branch && sound.branch->blocks) sound.branch->blocks->detach();
        sound.branch.reset();
    }
};

}  // namespace

void subscribe_sound() {
    static SoundObserver observer;
    add_slot_observer(observer);
    set_graph_extension(&audio_branch_builder());
}

}  // namespace vlx::sound
