#include "library/fault_injection.h"

#include <map>
#include <mutex>
#include <string>

namespace vlx::fault {

namespace {

struct Armed {
    HRESULT status;
    int skip;
    int times;
};

struct Registry {
    std::mutex lock;  // the camera's streaming thread may reach platform calls too
    std::map<std::string, Armed> armed;
    std::map<std::string, int> attempts;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

}  // namespace

void arm(const char* key, HRESULT status, int skip, int times) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.armed[key] = Armed{status, skip, times};
}

void clear_all() {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.armed.clear();
    r.attempts.clear();
}

std::optional<HRESULT> take(const char* key) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    ++r.attempts[key];
    const auto it = r.armed.find(key);
    if (it == r.armed.end()) return std::nullopt;
    Armed& a = it->second;
    if (a.skip > 0) {
        --a.skip;
        return std::nullopt;
    }
    const HRESULT status = a.status;
    if (a.times > 0 && --a.times == 0) r.armed.erase(it);
    return status;
}

int attempts(const char* key) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    const auto it = r.attempts.find(key);
    return it == r.attempts.end() ? 0 : it->second;
}

}  // namespace vlx::fault
