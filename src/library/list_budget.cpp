#include "library/list_budget.h"

#include "common/no_destroy.h"
#include "library/slot_vocabulary.h"

#include <array>

namespace vlx {

namespace {

struct Answer {
    bool known = false;
    int32_t argument = 0;
    int32_t bytes = 0;
};

// One row of answers per list. A slot's list has a place per slot; a list
// keyed by a device index shares places by the index's low bits, and a
// place remembers whose answer it holds.
using AnswerRow = std::array<Answer, kSlotCount>;
constinit NoDestroy<std::array<AnswerRow, static_cast<size_t>(SizedList::count)>> g_answers;

Answer& place_of(ListKey key) {
    const auto list = static_cast<size_t>(key.list);
    const auto place = static_cast<size_t>(static_cast<uint32_t>(key.argument) % kSlotCount);
    return g_answers.value[list][place];
}

}  // namespace

void remember_size_answer(ListKey key, int32_t answer) {
    Answer& place = place_of(key);
    if (answer < 1) {
        if (place.argument == key.argument) place.known = false;
        return;
    }
    place = {true, key.argument, answer};
}

std::optional<int32_t> size_answer(ListKey key) {
    const Answer& place = place_of(key);
    if (!place.known || place.argument != key.argument) return std::nullopt;
    return place.bytes;
}

}  // namespace vlx
