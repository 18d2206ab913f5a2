// The countdown text of a number of seconds.
#pragma once
#include <cstdint>
#include <string>

namespace kavrel {

// "59秒", "1时2分5秒", "2时", "1天1时0分0秒": only the parts the table of
// units calls for, without blanks.
std::string FormatDuration(int32_t seconds);

}  // namespace kavrel
