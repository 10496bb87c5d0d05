// Fault injection, compiled into the test build only.
//
// A test arms a fault under a call's context string (or the step name of a
// call that is not reported); the next matching calls then return the armed
// HRESULT without being made.
#pragma once

#include <windows.h>

#include <optional>

namespace vlx::fault {

// Arms `status` for the call named `key`: the first `skip` matching calls
// still run, then `times` calls fail (-1: every later call).
void arm(const char* key, HRESULT status, int skip = 0, int times = -1);
void clear_all();

// Consumes one armed fault for `key`, if any.
std::optional<HRESULT> take(const char* key);

// How many times a call named `key` was attempted since clear_all().
int attempts(const char* key);

}  // namespace vlx::fault
