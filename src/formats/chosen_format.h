// vlx_SetDevCapConfig when the slot asks for one capability: the choice is
// made on the pin's list and only the chosen capability is offered.
#pragma once

#include "common/directshow.h"
#include "formats/format_codes.h"
#include "formats/capabilities.h"
#include "formats/tee_reconnect.h"

#include <cstdint>
#include <optional>

namespace vlx {


// Chooses among the pin's capabilities (`caps` as GetNumberOfCapabilities
// counted them) and offers the chosen one: 0 in force, 1 refused by the
// device, or a refusal above (nothing offered). `taken` is set to the
// format when SetFormat answered S_OK.
int32_t offer_chosen_capability(IAMStreamConfig* config, const CapabilityCount& caps, const char* stream_caps_call,
                                const char* set_format_call, std::optional<TakenFormat>& taken);

// vlx_Open's code for a failed format step that returned `result`.
int32_t open_code_for_format_failure(int32_t result);

}  // namespace vlx
