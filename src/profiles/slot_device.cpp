#include "profiles/slot_device.h"

#include "devices/health_table.h"
#include "enum/name_list.h"

namespace vlx::profiles {

std::string device_path_of(int32_t slot) { return utf8_of(health::slot_health(slot).request.device_path.c_str()); }

}  // namespace vlx::profiles
