// Upper-case hexadecimal texts of the stack and fault reports.
#pragma once

#include <cstdint>
#include <string>

namespace crashguard {

// Width 2, 4 or 8 pads with zeros; any other width gives the bare digits.
std::string FormatHex(uint32_t value, int width);
std::string FormatHex8(uint32_t value);
// Width 2 below 256, 8 above 65535, else 4.
std::string FormatHexBySize(uint32_t value);

}  // namespace crashguard
