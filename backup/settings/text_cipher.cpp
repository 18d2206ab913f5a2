#include "backup/settings/text_cipher.h"

#include <utility>

namespace kavrel {

namespace {
const char kHexDigits[] = "0123456789ABCDEF";
}  // namespace

std::string TextCipher::ApplyKeyStream(const std::string& bytes, const std::string& key) {
  // Indices run 1..256 and the sums below add 1 after each mod: stored files
  // depend on exactly this arithmetic.
  uint32_t s[257];
  uint32_t k[257];
  for (uint32_t i = 1; i <= 256; ++i) s[i] = i - 1;
  size_t p = 1;
  for (uint32_t i = 1; i <= 256; ++i) {
    if (p > key.size()) p = 1;
    // An empty key reads its terminating zero.
    k[i] = key.empty() ? 0 : static_cast<uint8_t>(key[p - 1]);
    ++p;
  }
  uint32_t j = 0;
  for (uint32_t i = 1; i <= 256; ++i) {
    j = ((j + s[i] + k[i]) % 256) + 1;
    std::swap(s[i], s[j]);
  }
  std::string out(bytes);
  uint32_t i = 0;
  j = 0;
  for (char& b : out) {
    i = ((i + 1) % 256) + 1;
    j = ((j + s[i]) % 256) + 1;
    std::swap(s[i], s[j]);
    const uint32_t t = ((s[i] + s[j]) % 256) + 1;
    b = static_cast<char>(static_cast<uint8_t>(b) ^ s[t]);
  }
  return out;
}

std::string TextCipher::EncryptToHex(const std::string& text, const std::string& key) const {
  const std::string cipher = ApplyKeyStream(text, key);
  std::string hex;
  hex.reserve(cipher.size() * 3);
  for (char b : cipher) {
    hex += ByteToHexPair(static_cast<uint8_t>(b));
    hex += ',';
  }
  return hex;
}

std::string TextCipher::DecryptFromHex(const std::string& hex, const std::string& key) const {
  std::string digits;
  digits.reserve(hex.size());
  for (char c : hex)
    if (c != ',') digits += c;
  std::string bytes;
  bytes.reserve(digits.size() / 2 + 1);
  for (size_t at = 0; at < digits.size(); at += 2)
    bytes += static_cast<char>(HexToNumber(digits.substr(at, 2)) & 0xFF);
  std::string plain = ApplyKeyStream(bytes, key);
  const size_t zero = plain.find('\0');
  if (zero != std::string::npos) plain.resize(zero);
  return plain;
}

std::string ByteToHexPair(uint8_t value) {
  return std::string{kHexDigits[value >> 4], kHexDigits[value & 15]};
}

int32_t HexToNumber(const std::string& text) {
  // Unsigned sums wrap instead of overflowing on long texts.
  uint32_t result = 0;
  for (char c : text) {
    const char upper = (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
    int32_t digit = -2;  // not found: position -1, minus 1
    for (int d = 0; d < 16; ++d)
      if (kHexDigits[d] == upper) digit = d;
    result = result * 16 + static_cast<uint32_t>(digit);
  }
  return static_cast<int32_t>(result);
}

std::string DecryptSettingsText(const std::string& cipherText, const std::string& key) {
  TextCipher cipher;
  std::string plain = cipher.DecryptFromHex(cipherText, key);
  cipher.DestroyTextCipher();
  return plain;
}

std::string EncryptSettingsText(const std::string& plainText, const std::string& key) {
  TextCipher cipher;
  std::string hex = cipher.EncryptToHex(plainText, key);
  cipher.DestroyTextCipher();
  return hex;
}

}  // namespace kavrel
