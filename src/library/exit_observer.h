// vlx_Exit tells the features that keep threads or platform objects of
// their own (the health watcher, sharing) that the library is ending, while
// COM is still there. They subscribe from above; library/ knows none of them.
#pragma once

namespace vlx {

using ExitObserver = void (*)() noexcept;

// Subscribes `observer` once (again: no change). False when the table is full.
bool add_exit_observer(ExitObserver observer);

// vlx_Exit's own step: every observer, in the order they subscribed.
void announce_library_exit();

}  // namespace vlx
