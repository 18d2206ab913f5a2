// GBK byte-string helpers shared by both programs. A byte above 0x80 starts a
// double-byte character; its two bytes are never split or changed. The byte
// 0x80 itself is a character of its own (the euro sign of code page 936).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace gbk {

// True when text[i] is the lead byte of a double-byte character.
inline bool IsLeadByte(unsigned char c) { return c > 0x80; }

// Lower-cases A-Z only; double-byte characters stay as they are.
std::string ToLowerAscii(const std::string& text);
// A path with ToLowerAscii applied after its last "\" (to all of it when it
// has none): its file name lower-cased, its folders as they are.
std::string ToLowerFileName(const std::string& path);

// "%.13g" of a double: at most 13 significant digits, no trailing zeros.
std::string NumberText(double value);
std::string NumberText(int64_t value);

// The integer value of a text: leading blanks, an optional sign, then digits,
// where full-width digits (GBK A3B0-A3B9) and the full-width minus count too.
// Stops at the first other character; no digits give 0. Saturates at the
// int32 range.
int32_t IntegerValue(const std::string& text);

// Splits at a separator of one or more bytes. Keeps empty fields between two
// separators, drops an empty remainder after a final separator, and never
// matches a separator that starts on the second byte of a double-byte
// character. An empty text gives no fields.
std::vector<std::string> Split(const std::string& text, const std::string& separator);

// Byte offset of the last "\" that is a character of its own, not the second
// byte of a double-byte character; npos when none.
size_t FindLastBackslash(const std::string& text);
// True when the last character is "\", not the second byte of a double-byte
// character that happens to have that code.
bool EndsWithBackslash(const std::string& text);
// text with "\" appended unless its last character already is one.
std::string WithTrailingBackslash(const std::string& text);

// Byte offset of the first match of needle in text at or after `from` (a
// character boundary), never starting on a trail byte; npos when none. With ignoreAsciiCase only A-Z/a-z
// compare case-blind.
size_t Find(const std::string& text, const std::string& needle, size_t from = 0,
            bool ignoreAsciiCase = false);

// GBK text of a wide text. A character GBK cannot hold (a Korean name's, an
// emoji's half) becomes the byte 0x01 and four lower-case hex digits of its
// UTF-16 unit: 0x01 is no GBK byte and no character of a file name, so any
// name survives in the programs' texts and Widen gives it back.
std::string Narrow(const std::wstring& text);
// Wide text of a GBK text, the escapes of Narrow undone.
std::wstring Widen(const std::string& text);

}  // namespace gbk
