#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/settings_key.h"
#include "backup/settings/text_cipher.h"

namespace {

using namespace kavrel;

// A second, 0-based writing of the stored format's key stream, kept apart
// from the program's so that a slip in either shows.
std::vector<uint8_t> ReferenceStream(const std::string& key, size_t length) {
  std::vector<int> table(256);
  for (int n = 0; n < 256; ++n) table[n] = n;  // table[n] is S[n + 1]
  int slot = 0;                                // slot is J - 1 once J >= 1
  bool first = true;
  for (int n = 0; n < 256; ++n) {
    const int j = first ? 0 : slot + 1;
    first = false;
    const int keyByte = static_cast<uint8_t>(key[n % key.size()]);
    slot = (j + table[n] + keyByte) % 256;  // J = that + 1, so slot = J - 1
    std::swap(table[n], table[slot]);
  }
  std::vector<uint8_t> stream;
  int i = 0, j = 0;  // 1-based as stored, mapped to table[x - 1]
  for (size_t n = 0; n < length; ++n) {
    i = (i + 1) % 256 + 1;
    j = (j + table[i - 1]) % 256 + 1;
    std::swap(table[i - 1], table[j - 1]);
    const int t = (table[i - 1] + table[j - 1]) % 256 + 1;
    stream.push_back(static_cast<uint8_t>(table[t - 1]));
  }
  return stream;
}

std::string RandomBytes(size_t length, unsigned seed, bool allowZero) {
  std::mt19937 random(seed);
  std::string bytes;
  for (size_t n = 0; n < length; ++n) {
    char b = static_cast<char>(random() & 0xFF);
    if (!allowZero && b == 0) b = 1;
    bytes += b;
  }
  return bytes;
}

TEST(TextCipher, KeyIsTenGbkBytes) {
  EXPECT_EQ(SettingsKey.size(), 10u);
  EXPECT_EQ(static_cast<uint8_t>(SettingsKey[0]), 0xCB);
  EXPECT_EQ(static_cast<uint8_t>(SettingsKey[9]), 0xC6);
}

TEST(TextCipher, KnownAnswerOfTheSampleSettings) {
  // Computed by an independent script of the stored format.
  const std::string plain = "1|1|2|1||30||1|||100|D:\\数据\\*D:\\数据_backupx\\*1\r\n";
  EXPECT_EQ(EncryptSettingsText(plain, SettingsKey),
            "7F,AC,9D,35,C1,4D,64,5B,72,73,E5,86,D8,A5,C8,E0,40,8F,76,75,BC,2C,5F,4E,DC,73,CC,BB,F2,10,43,"
            "E0,55,6F,48,75,85,6A,7F,25,FC,43,0C,A2,0D,1E,F9,98,E4,92,");
  // The key stream itself: the cipher of zero bytes.
  EXPECT_EQ(EncryptSettingsText(std::string(8, '\0'), SettingsKey), "4E,D0,AC,49,F3,31,55,27,");
}

TEST(TextCipher, MatchesTheReferenceOverSeveralKeyCycles) {
  for (const std::string& key : {SettingsKey, std::string("k"), std::string(300, 'x') + "y"}) {
    const std::string plain = RandomBytes(3000, 7, true);
    const std::vector<uint8_t> stream = ReferenceStream(key, plain.size());
    std::string expected;
    for (size_t n = 0; n < plain.size(); ++n)
      expected += ByteToHexPair(static_cast<uint8_t>(plain[n]) ^ stream[n]) + ",";
    EXPECT_EQ(TextCipher().EncryptToHex(plain, key), expected) << key.size();
  }
}

TEST(TextCipher, RoundTripsEveryLengthAndGivesThreeHexBytesPerByte) {
  for (size_t length : {0u, 1u, 255u, 256u, 257u, 5000u}) {
    const std::string plain = RandomBytes(length, static_cast<unsigned>(length), false);
    const std::string hex = EncryptSettingsText(plain, SettingsKey);
    ASSERT_EQ(hex.size(), 3 * length);
    for (size_t n = 0; n < hex.size(); ++n) {
      const char c = hex[n];
      if (n % 3 == 2)
        EXPECT_EQ(c, ',');
      else
        EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << n;
    }
    EXPECT_EQ(DecryptSettingsText(hex, SettingsKey), plain) << length;
  }
}

TEST(TextCipher, DecryptsLowerCaseAndHexWithoutCommas) {
  const std::string plain = "霜桥|1|2|abc\r\n";
  std::string hex = EncryptSettingsText(plain, SettingsKey);
  std::string lower, bare;
  for (char c : hex) {
    lower += (c >= 'A' && c <= 'F') ? static_cast<char>(c - 'A' + 'a') : c;
    if (c != ',') bare += c;
  }
  EXPECT_EQ(DecryptSettingsText(lower, SettingsKey), plain);
  EXPECT_EQ(DecryptSettingsText(bare, SettingsKey), plain);
}

TEST(TextCipher, PlainTextEndsAtTheFirstZeroByte) {
  const std::string plain = std::string("abc") + '\0' + "def";
  EXPECT_EQ(DecryptSettingsText(EncryptSettingsText(plain, SettingsKey), SettingsKey), "abc");
  EXPECT_EQ(DecryptSettingsText(EncryptSettingsText(std::string("\0x", 2), SettingsKey), SettingsKey), "");
}

TEST(TextCipher, OddLengthAndNonHexInputGiveBytesByTheDigitRule) {
  const std::vector<uint8_t> stream = ReferenceStream(SettingsKey, 3);
  // "7F,A" holds two pairs: "7F" and the lone "A" (10).
  std::string plain = DecryptSettingsText("7F,A", SettingsKey);
  ASSERT_EQ(plain.size(), 2u);
  EXPECT_EQ(static_cast<uint8_t>(plain[0]), 0x7F ^ stream[0]);
  EXPECT_EQ(static_cast<uint8_t>(plain[1]), 0x0A ^ stream[1]);
  // "G1": G counts as -2, so -2 * 16 + 1 = -31, of which the low 8 bits are 0xE1.
  plain = DecryptSettingsText("G1", SettingsKey);
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(static_cast<uint8_t>(plain[0]), 0xE1 ^ stream[0]);
}

TEST(TextCipher, HexDigitsAndPairs) {
  EXPECT_EQ(HexToNumber("Ff"), 255);
  EXPECT_EQ(HexToNumber("0a"), 10);
  EXPECT_EQ(HexToNumber("7"), 7);
  EXPECT_EQ(HexToNumber(""), 0);
  EXPECT_EQ(HexToNumber("G"), -2);
  EXPECT_EQ(HexToNumber("1z"), 14);
  EXPECT_EQ(HexToNumber("\xB0\xA1"), -34);
  EXPECT_EQ(HexToNumber("100"), 256);
  EXPECT_EQ(ByteToHexPair(0), "00");
  EXPECT_EQ(ByteToHexPair(0xA7), "A7");
  EXPECT_EQ(ByteToHexPair(255), "FF");
}

}  // namespace
