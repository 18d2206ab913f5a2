// The settings file's cipher: an RC4-like key stream over a 1-based state
// table, stored as upper-case hex pairs each followed by ",".
#pragma once
#include <cstdint>
#include <string>

namespace kavrel {

class TextCipher {
 public:
  void DestroyTextCipher() {}  // holds nothing
  TextCipher CopyTextCipher() const { return TextCipher(); }

  // Two hex digits and "," per byte of text: exactly 3 bytes per input byte.
  std::string EncryptToHex(const std::string& text, const std::string& key) const;
  // Ignores ","; reads the digits two at a time (a last odd one alone); the
  // plain text ends at its first zero byte.
  std::string DecryptFromHex(const std::string& hex, const std::string& key) const;

 private:
  // Encryption and decryption share this: each call starts a fresh stream.
  static std::string ApplyKeyStream(const std::string& bytes, const std::string& key);
};

// "00" .. "FF" for 0..255.
std::string ByteToHexPair(uint8_t value);
// Sum of digit x 16^place; digits are case-blind and any other character
// counts as -2, which the stored format relies on.
int32_t HexToNumber(const std::string& text);

std::string DecryptSettingsText(const std::string& cipherText, const std::string& key);
std::string EncryptSettingsText(const std::string& plainText, const std::string& key);

}  // namespace kavrel
