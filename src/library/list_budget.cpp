#include "library/list_budget.h"

#include "common/no_destroy.h"

#include <array>
#include <vector>

namespace vlx {

namespace {

struct Answer {
    int32_t argument = 0;
    int32_t bytes = 0;
};

// The answers of one list, one per argument that was sized: a budget is
// found only by its own argument (two device indices never share one).
// Arguments the hosts size are few (slots, devices present).
using AnswerRow = std::vector<Answer>;
constinit NoDestroy<std::array<AnswerRow, static_cast<size_t>(SizedList::count)>> g_answers;

AnswerRow& row_of(ListKey key) { return g_answers.value[static_cast<size_t>(key.list)]; }

Answer* find(AnswerRow& row, int32_t argument) {
    for (Answer& answer : row) {
        if (answer.argument == argument) return &answer;
    }
    return nullptr;
}

}  // namespace

void remember_size_answer(ListKey key, int32_t answer) {
    AnswerRow& row = row_of(key);
    Answer* place = find(row, key.argument);
    if (answer < 1) {
        if (place) row.erase(row.begin() + (place - row.data()));
        return;
    }
    if (place) {
        place->bytes = answer;
    } else {
        row.push_back({key.argument, answer});  // std::bad_alloc: the query fails, the host gets no size
    }
}

std::optional<int32_t> size_answer(ListKey key) {
    const Answer* place = find(row_of(key), key.argument);
    if (!place) return std::nullopt;
    return place->bytes;
}

}  // namespace vlx
