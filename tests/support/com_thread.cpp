#include "support/com_thread.h"

#include <thread>

namespace vlx_test {

void run_on_thread(const std::function<void()>& body) {
    std::thread worker(body);
    worker.join();
}

}  // namespace vlx_test
