#include "crashguard/hex_text.h"

#include <windows.h>

namespace crashguard {

std::string FormatHex(uint32_t value, int width) {
  const char* format = width == 2 ? "%02X" : width == 4 ? "%04X" : width == 8 ? "%08X" : "%X";
  char buffer[16];
  va_list args;
  // wvsprintfA takes its arguments as an array of 32-bit words.
  DWORD words[1] = {value};
  args = reinterpret_cast<va_list>(words);
  wvsprintfA(buffer, format, args);
  return buffer;
}

std::string FormatHex8(uint32_t value) { return FormatHex(value, 8); }

std::string FormatHexBySize(uint32_t value) { return FormatHex(value, value < 256 ? 2 : value > 65535 ? 8 : 4); }

}  // namespace crashguard
