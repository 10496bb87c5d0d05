// Points one of this program's own imports at a stand-in for the length of a
// test, to give a platform function the behaviour its documentation allows
// where Wine's is kinder.
#pragma once

#include <windows.h>

namespace vlx_test {

class ImportPatch {
public:
    // `dll` and `function` as the program imports them, e.g. "oleaut32.dll",
    // "VariantInit". ok() is false when the program has no such import.
    ImportPatch(const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool ok() const { return slot_ != nullptr; }
    // The function the import pointed at before.
    void* original() const { return original_; }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

}  // namespace vlx_test
