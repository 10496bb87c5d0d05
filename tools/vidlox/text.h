// Text as the library takes it: UTF-8 name lists, UTF-16 and ANSI file names.
#pragma once

#include <string>
#include <vector>

namespace tool {

std::wstring utf16(const std::string& utf8);
std::string utf8(const std::wstring& utf16);

// The name in the process's ANSI code page, or false when a character has no
// ANSI form (vlx_SaveBMP takes ANSI names).
bool ansi(const std::string& utf8, std::string& out);

// The entries of a name list: each is followed by CR LF.
std::vector<std::string> split_name_list(const std::string& list);

// The command line as UTF-8 arguments, whatever the ANSI code page.
std::vector<std::string> command_line_arguments();

}  // namespace tool
