#include <gtest/gtest.h>

#include "base/gbk_text.h"

namespace {

using Fields = std::vector<std::string>;

TEST(GbkText, LowerCasingTouchesOnlyAsciiLettersOutsideDoubleByteCharacters) {
  EXPECT_EQ(gbk::ToLowerAscii("Report.DOC"), "report.doc");
  // "琛" is 0xE8 0xA1; the second byte of "獈" (0xAB 0x41) is 'A' and must stay.
  const std::string trailIsA = "\xAB\x41Z";
  EXPECT_EQ(gbk::ToLowerAscii(trailIsA), "\xAB\x41z");
  EXPECT_EQ(gbk::ToLowerAscii("监控ABC目录"), "监控abc目录");
  // Only the file name of a path; 0x81 0x5C is one character, not a separator.
  for (const auto& [path, lowered] : std::vector<std::pair<std::string, std::string>>{
           {"D:\\Data\\Sub\\Report.DOC", "D:\\Data\\Sub\\report.doc"},
           {"IMG_0001.JPG", "img_0001.jpg"},
           {"Dir\\AB\x81\x5C.TXT", "Dir\\ab\x81\x5c.txt"},
           {"Dir\x81\x5C\\Name.TXT", "Dir\x81\x5C\\name.txt"},
           {"D:\\Dir\\", "D:\\Dir\\"}})
    EXPECT_EQ(gbk::ToLowerFileName(path), lowered) << path;
}

TEST(GbkText, NumberTextWritesThirteenSignificantDigitsWithoutTrailingZeros) {
  EXPECT_EQ(gbk::NumberText(1.50), "1.5");
  EXPECT_EQ(gbk::NumberText(2.00), "2");
  EXPECT_EQ(gbk::NumberText(-4096.0), "-4096");
  EXPECT_EQ(gbk::NumberText(1234567890123.0), "1234567890123");
  EXPECT_EQ(gbk::NumberText(12345678901234.0), "1.234567890123e+13");
  EXPECT_EQ(gbk::NumberText(int64_t(-7)), "-7");
  EXPECT_EQ(gbk::NumberText(int64_t(1) << 40), "1099511627776");
}

TEST(GbkText, IntegerValueReadsBlanksSignAndFullWidthDigits) {
  EXPECT_EQ(gbk::IntegerValue("  42"), 42);
  EXPECT_EQ(gbk::IntegerValue("-5"), -5);
  EXPECT_EQ(gbk::IntegerValue("+7x"), 7);
  EXPECT_EQ(gbk::IntegerValue("12ab34"), 12);
  EXPECT_EQ(gbk::IntegerValue(""), 0);
  EXPECT_EQ(gbk::IntegerValue("abc"), 0);
  EXPECT_EQ(gbk::IntegerValue("１２３"), 123);      // full-width digits
  EXPECT_EQ(gbk::IntegerValue("　－９"), -9);        // full-width blank and minus
  EXPECT_EQ(gbk::IntegerValue("99999999999"), INT32_MAX);
  EXPECT_EQ(gbk::IntegerValue("-99999999999"), INT32_MIN);
}

TEST(GbkText, SplitKeepsInnerEmptyFieldsAndDropsAnEmptyRemainder) {
  EXPECT_EQ(gbk::Split("a|b|c", "|"), (Fields{"a", "b", "c"}));
  EXPECT_EQ(gbk::Split("a||c|", "|"), (Fields{"a", "", "c"}));
  EXPECT_EQ(gbk::Split("|", "|"), (Fields{""}));
  EXPECT_EQ(gbk::Split("", "|"), Fields{});
  EXPECT_EQ(gbk::Split("abc", "|"), (Fields{"abc"}));
  EXPECT_EQ(gbk::Split("x\r\ny\r\n", "\r\n"), (Fields{"x", "y"}));
  EXPECT_EQ(gbk::Split("D:\\a\\*D:\\b\\*1", "*"), (Fields{"D:\\a\\", "D:\\b\\", "1"}));
}

TEST(GbkText, SplitNeverMatchesTheSecondByteOfADoubleByteCharacter) {
  // 0x81 0x7C is one character whose second byte is the code of "|".
  const std::string name = "D:\\\x81\x7C\\";
  EXPECT_EQ(gbk::Split(name + "|1", "|"), (Fields{name, "1"}));
  // 0x81 0x2A: second byte '*'.
  const std::string star = "\x81\x2A";
  EXPECT_EQ(gbk::Split("a" + star + "b*c", "*"), (Fields{"a" + star + "b", "c"}));
  // A lone lead byte at the end is kept whole.
  EXPECT_EQ(gbk::Split("a|\x81", "|"), (Fields{"a", "\x81"}));
}

TEST(GbkText, FindIsCaseBlindForAsciiOnlyAndSkipsTrailBytes) {
  EXPECT_EQ(gbk::Find("C:\\Windows\\", "windows", 0, true), 3u);
  EXPECT_EQ(gbk::Find("C:\\Windows\\", "windows", 0, false), std::string::npos);
  // The 'A' inside 0xAB 0x41 is no match, the real one after it is.
  EXPECT_EQ(gbk::Find("\xAB\x41" "A", "a", 0, true), 2u);
  EXPECT_EQ(gbk::Find("\xAB\x41", "A"), std::string::npos);
  EXPECT_EQ(gbk::Find("abc", "c", 1), 2u);
  EXPECT_EQ(gbk::Find("abc", "", 1), 1u);
}

TEST(GbkText, TheEuroByteIsASingleByteCharacter) {
  const std::string euro = "\x80";
  EXPECT_TRUE(gbk::EndsWithBackslash("D:\\" + euro + "\\"));
  EXPECT_EQ(gbk::WithTrailingBackslash("D:\\" + euro), "D:\\" + euro + "\\");
  EXPECT_EQ(gbk::Split(euro + "|1|" + euro + "|", "|"), (Fields{euro, "1", euro}));
  EXPECT_EQ(gbk::Find(euro + "$", "$"), 1u);
  EXPECT_EQ(gbk::Find(euro + "%", "%"), 1u);
  EXPECT_EQ(gbk::ToLowerAscii(euro + "AB"), euro + "ab");
  // 0x81 still leads: its '|' is no separator.
  EXPECT_EQ(gbk::Split("\x81|" + euro + "|x", "|"), (Fields{"\x81|" + euro, "x"}));
}

// Every name survives a GBK text: what GBK holds stays GBK (trail bytes 0x5C
// and 0x7C, the euro byte 0x80), the rest is escaped; a stray 0x01 stays.
TEST(GbkText, NarrowAndWidenCarryNamesGbkCannotHold) {
  const std::pair<std::wstring, std::string> kCases[] = {
      {L"\x5f00\x20ac|\x4e57\x4e85", "\xBF\xAA\x80|\x81\x5C\x81\x7C"},
      {L"K\x00f6ln\\\xc11c\xd83d\xde00\x0001", "K\x01" "00f6ln\\\x01" "c11c\x01" "d83d\x01" "de00\x01" "0001"},
  };
  for (const auto& [wide, text] : kCases) EXPECT_TRUE(gbk::Narrow(wide) == text && gbk::Widen(text) == wide) << text;
  EXPECT_EQ(gbk::Widen("a\x01" "12g4"), L"a\x0001" L"12g4");
}

}  // namespace
