#include "base/gbk_text.h"

#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace gbk {

namespace {
constexpr char kEscape = '\x01';
constexpr size_t kEscapeLength = 5;  // 0x01 and four hex digits

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool MatchesAt(const std::string& text, size_t pos, const std::string& needle, bool ignoreCase) {
  if (pos + needle.size() > text.size()) return false;
  for (size_t k = 0; k < needle.size(); ++k) {
    char a = text[pos + k], b = needle[k];
    if (ignoreCase) { a = LowerAscii(a); b = LowerAscii(b); }
    if (a != b) return false;
  }
  return true;
}
}  // namespace

std::string ToLowerAscii(const std::string& text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(out[i]))) { ++i; continue; }
    out[i] = LowerAscii(out[i]);
  }
  return out;
}

std::string ToLowerFileName(const std::string& path) {
  const size_t slash = FindLastBackslash(path);
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, name) + ToLowerAscii(path.substr(name));
}

std::string NumberText(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.13g", value);
  return buf;
}

std::string NumberText(int64_t value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
  return buf;
}

int32_t IntegerValue(const std::string& text) {
  size_t i = 0;
  const size_t n = text.size();
  auto fullWidth = [&](size_t at, unsigned char second) {
    return at + 1 < n && static_cast<unsigned char>(text[at]) == 0xA3 &&
           static_cast<unsigned char>(text[at + 1]) == second;
  };
  while (i < n) {
    if (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n') { ++i; continue; }
    if (fullWidth(i, 0xA0) || (static_cast<unsigned char>(text[i]) == 0xA1 &&
                               i + 1 < n && static_cast<unsigned char>(text[i + 1]) == 0xA1)) {
      i += 2;  // full-width blank
      continue;
    }
    break;
  }
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  } else if (fullWidth(i, 0xAD) || fullWidth(i, 0xAB)) {
    negative = static_cast<unsigned char>(text[i + 1]) == 0xAD;
    i += 2;
  }
  int64_t value = 0;
  while (i < n) {
    int digit;
    if (text[i] >= '0' && text[i] <= '9') {
      digit = text[i] - '0';
      ++i;
    } else if (i + 1 < n && static_cast<unsigned char>(text[i]) == 0xA3 &&
               static_cast<unsigned char>(text[i + 1]) >= 0xB0 &&
               static_cast<unsigned char>(text[i + 1]) <= 0xB9) {
      digit = static_cast<unsigned char>(text[i + 1]) - 0xB0;
      i += 2;
    } else {
      break;
    }
    if (value < INT64_C(1) << 40) value = value * 10 + digit;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

size_t FindLastBackslash(const std::string& text) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(text[i]))) ++i;
    else if (text[i] == '\\') last = i;
  }
  return last;
}

bool EndsWithBackslash(const std::string& text) {
  return !text.empty() && FindLastBackslash(text) == text.size() - 1;
}

std::string WithTrailingBackslash(const std::string& text) {
  return EndsWithBackslash(text) ? text : text + '\\';
}

size_t Find(const std::string& text, const std::string& needle, size_t from, bool ignoreAsciiCase) {
  if (needle.empty()) return from <= text.size() ? from : std::string::npos;
  for (size_t i = from; i < text.size();) {
    if (MatchesAt(text, i, needle, ignoreAsciiCase)) return i;
    i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return std::string::npos;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> fields;
  if (text.empty()) return fields;
  if (separator.empty()) { fields.push_back(text); return fields; }
  size_t start = 0;
  for (;;) {
    size_t at = Find(text, separator, start);
    if (at == std::string::npos) {
      if (start < text.size()) fields.push_back(text.substr(start));
      return fields;
    }
    fields.push_back(text.substr(start, at - start));
    start = at + separator.size();
  }
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  if (text.empty()) return out;
  BOOL lost = FALSE;
  out.resize(text.size() * 2);
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), &out[0],
                                    int(out.size()), nullptr, &lost);
  if (n > 0 && !lost && text.find(wchar_t(kEscape)) == std::wstring::npos) {
    out.resize(n);
    return out;
  }
  out.clear();
  for (wchar_t c : text) {
    char bytes[2];
    lost = FALSE;
    const int k = c == wchar_t(kEscape) ? 0 : WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &c, 1, bytes,
                                                                  sizeof bytes, nullptr, &lost);
    if (k > 0 && !lost) {
      out.append(bytes, k);
    } else {
      char escape[kEscapeLength + 1];
      std::snprintf(escape, sizeof escape, "%c%04x", kEscape, unsigned(c));
      out.append(escape, kEscapeLength);
    }
  }
  return out;
}

std::wstring Widen(const std::string& text) {
  std::wstring out;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find(kEscape, at);
    if (end == std::string::npos) end = text.size();
    if (end > at) {
      const int n = MultiByteToWideChar(CP_ACP, 0, text.data() + at, int(end - at), nullptr, 0);
      const size_t start = out.size();
      out.resize(start + n);
      MultiByteToWideChar(CP_ACP, 0, text.data() + at, int(end - at), &out[start], n);
    }
    if (end == text.size()) break;
    const std::string digits = text.substr(end + 1, kEscapeLength - 1);
    // Only Narrow writes the byte, so a short escape is a damaged text: kept as it stands.
    const bool whole =
        digits.size() == kEscapeLength - 1 && digits.find_first_not_of("0123456789abcdef") == std::string::npos;
    out += whole ? wchar_t(std::strtoul(digits.c_str(), nullptr, 16)) : wchar_t(kEscape);
    at = end + (whole ? kEscapeLength : 1);
  }
  return out;
}

}  // namespace gbk
