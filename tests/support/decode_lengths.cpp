// Reads lines of hex bytes on stdin and answers each with "=" and the lengths
// the hook engine's decoder gives the instructions from the line's start on,
// one after another, up to the first it does not take (shown as 0). The bytes
// end a readable page that an inaccessible one follows, so an instruction the
// line cuts short is measured from what can be read.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "crashguard/instruction_decoder.h"

int main() {
  constexpr size_t kPage = 4096;
  auto* pages = static_cast<uint8_t*>(VirtualAlloc(nullptr, 2 * kPage, MEM_COMMIT, PAGE_READWRITE));
  DWORD old;
  if (!pages || !VirtualProtect(pages + kPage, kPage, PAGE_NOACCESS, &old)) return 2;
  std::string line;
  while (std::getline(std::cin, line)) {
    const size_t count = line.size() / 2;
    if (count == 0 || count > kPage) return 3;
    uint8_t* start = pages + kPage - count;
    for (size_t i = 0; i < count; ++i) start[i] = static_cast<uint8_t>(std::stoi(line.substr(2 * i, 2), nullptr, 16));
    std::string answer = "=";
    for (size_t at = 0; at < count;) {
      const int32_t length = crashguard::GetInstructionLength(reinterpret_cast<crashguard::CodeAddress>(start + at));
      answer += ' ' + std::to_string(length);
      if (length <= 0) break;
      at += length;
    }
    std::puts(answer.c_str());
  }
  return 0;
}
