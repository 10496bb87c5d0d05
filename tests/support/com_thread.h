// Runs a piece of a test on a thread of its own.
#pragma once

#include <functional>

namespace vlx_test {

// Runs `body` on a new thread and waits for it.
void run_on_thread(const std::function<void()>& body);

}  // namespace vlx_test
