// Media Foundation headers in the order MinGW-w64 needs them (mfreadwrite.h
// uses mfidl.h's declarations without including it).
#pragma once

#include <windows.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <mferror.h>
