#include "sharecam/share_observer.h"

#include "sharecam/share_table.h"

namespace vlx::sharecam {

namespace {

class ShareObserver final : public SlotObserver {
public:
    void connection_changed(int32_t slot) override { share_connection_changed(slot); }
    void releasing(int32_t slot) override { share_slot_released(slot); }
};

constinit ShareObserver g_observer;

}  // namespace

SlotObserver& share_observer() { return g_observer; }

void library_exiting() noexcept { share_library_exits(); }

}  // namespace vlx::sharecam
