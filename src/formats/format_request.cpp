#include "formats/format_request.h"

#include "formats/capabilities.h"
#include "formats/format_codes.h"
#include "formats/subtype_text.h"
#include "vidlox.h"

namespace vlx {

int32_t request_subtype(const char* subtype) {
    if (!subtype || !*subtype) {
        active_slot().requested_subtype = GUID_NULL;
        return kRequestStored;
    }
    const auto named = subtype_from_text(subtype);
    if (!named) return kRequestRefused;
    active_slot().requested_subtype = *named;
    return kRequestStored;
}

int32_t request_format_choice(int32_t choice) {
    if (choice != VLX_FORMAT_CHOICE_ALL && choice != VLX_FORMAT_CHOICE_EXACT && choice != VLX_FORMAT_CHOICE_NEAREST)
        return kRequestRefused;
    active_slot().format_choice = choice;
    return kRequestStored;
}

bool chooses_one_format(const Slot& slot) { return slot.format_choice != VLX_FORMAT_CHOICE_ALL; }

bool subtype_requested(const Slot& slot) { return !IsEqualGUID(slot.requested_subtype, GUID_NULL); }

FormatRequest format_request_of(const Slot& slot) {
    return {slot.requested_subtype, slot.requested_width, slot.requested_height,
            time_per_frame_for(slot.requested_frame_rate)};
}

}  // namespace vlx
