// The test programs' common headers: GoogleTest, parsed once per build as
// the Windows headers are (windows_headers.h).
#include "windows_headers.h"

#include <gtest/gtest.h>
