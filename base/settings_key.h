#pragma once
#include <string>

namespace kavrel {

// Keys the settings cipher and names Kavrel's single-instance mutex (10 bytes in GBK).
inline const std::string SettingsKey = "霜桥远帆灯";

}  // namespace kavrel
