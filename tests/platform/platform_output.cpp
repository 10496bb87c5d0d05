#include "platform/platform_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace vlx_test {

std::wstring output_path(const char* file) {
    const char* folder = std::getenv("VLX_PLATFORM_OUT");
    std::string path = std::string(folder ? folder : ".") + "\\" + file;
    return std::wstring(path.begin(), path.end());
}

void add_to_manifest(const std::string& json_line) {
    const std::wstring manifest = output_path("manifest.jsonl");
    FILE* file = _wfopen(manifest.c_str(), L"a");
    ASSERT_TRUE(file) << "cannot append to the manifest";
    std::fprintf(file, "%s\n", json_line.c_str());
    std::fclose(file);
}

}  // namespace vlx_test
