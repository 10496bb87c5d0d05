#include "library/library_state.h"

#include "common/no_destroy.h"

namespace vlx {

namespace {
// Constant-initialised: no constructor runs at load, no destructor at unload,
// so slots still open when the host unloads the library are left alone.
constinit NoDestroy<LibraryState> g_library;
}  // namespace

LibraryState& library() { return g_library.value; }

}  // namespace vlx
