// Where the platform recorder leaves its files: the folder check_files.py
// gives (a Windows path), with the manifest of what each file must hold.
#pragma once

#include <string>

namespace vlx_test {

std::wstring output_path(const char* file);
// Appends one JSON object (one line) to the manifest.
void add_to_manifest(const std::string& json_line);

}  // namespace vlx_test
