// formats DEVICE: every capability of the device's capture pin, read with
// vlx_GetFormatList without opening the device.
#include "commands.h"
#include "lists.h"
#include "report.h"
#include "text.h"

#include <vidlox.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace tool {

namespace {

int32_t device_position(const std::string& device, const NameList& devices) {
    bool digits = !device.empty() && device.size() < 10;
    for (char c : device) digits = digits && c >= '0' && c <= '9';
    if (digits) return static_cast<int32_t>(std::atoi(device.c_str()));
    for (size_t i = 0; i < devices.names.size(); ++i) {
        if (devices.names[i] == device) return static_cast<int32_t>(i);
    }
    return -1;
}

int print_formats(const std::string& device) {
    const NameList devices = device_list(0);
    if (devices.failed_function) return library_failure(devices.failed_function, devices.result);
    const int32_t index = device_position(device, devices);
    if (index < 0)
        return tool_failure("no video capture device is named \"%s\" (vidlox devices lists them)", device.c_str());
    const int32_t size = vlx_GetFormatListSize(index);
    if (size < 0) return library_failure("vlx_GetFormatListSize", size);
    std::string text(static_cast<size_t>(size), '\0');
    const int32_t count = vlx_GetFormatList(text.data(), index);
    if (count < 0) return library_failure("vlx_GetFormatList", count);
    const std::string name = static_cast<size_t>(index) < devices.names.size() ? devices.names[static_cast<size_t>(index)]
                                                                              : device;
    std::printf("%s: %d formats\n", name.c_str(), static_cast<int>(count));
    for (const std::string& entry : split_name_list(text.c_str())) {
        // INDEX SUBTYPE WIDTH HEIGHT MIN_FPS MAX_FPS KIND
        std::istringstream fields(entry);
        std::string at, subtype, width, height, slowest, fastest, kind;
        fields >> at >> subtype >> width >> height >> slowest >> fastest >> kind;
        std::printf("%4s  %-6s %5s x %-5s %6s - %-6s fps  %s\n", at.c_str(), subtype.c_str(), width.c_str(),
                    height.c_str(), slowest.c_str(), fastest.c_str(), kind.c_str());
    }
    return exit_ok;
}

}  // namespace

int formats_command(const CommandLine& line) {
    const int32_t initialised = vlx_Init();
    const int result = initialised < 0 ? library_failure("vlx_Init", initialised) : print_formats(line.positional[0]);
    if (initialised != -1) vlx_Exit();  // a failed CoInitialize still leaves the library initialised
    flush_log();
    return result;
}

}  // namespace tool
