// Media subtypes as short words a script can print, split and send back:
// the FourCC of FourCC subtypes, names for the RGB ones, the GUID otherwise.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace vlx {

// "YUY2", "RGB24", or "{E06D8026-DB46-11CF-B4D1-00805F6CBBEA}".
std::string subtype_text(const GUID& subtype);

// The subtype that `text` names in the form subtype_text writes (a GUID's
// hex digits in either case); nothing for any other text.
std::optional<GUID> subtype_from_text(std::string_view text);

}  // namespace vlx
