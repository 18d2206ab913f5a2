// Decoding without a window: each format, broken files, and the size text.
#include <gtest/gtest.h>
#include <windows.h>

#include <zlib.h>

#include "shelltool/dialog_helper_module.h"
#include "shelltool/picture_decoding.h"
#include "shelltool/picture_preview.h"
#include "support/test_support.h"

namespace {

using namespace shell;

std::string Picture(const std::string& name) {
  return testing_support::ReadFileBytes(testing_support::TestProgramDirectory() + "pictures\\" + name);
}

// Left half red, right half blue; JPEG is lossy.
void ExpectRedThenBlue(const DecodedPicture& picture, int tolerance) {
  ASSERT_EQ(picture.width, 40);
  ASSERT_EQ(picture.height, 30);
  ASSERT_EQ(picture.pixels.size(), 1200u);
  auto similar = [&](uint32_t pixel, uint32_t want) {
    for (int shift = 0; shift < 32; shift += 8)
      if (std::abs(int((pixel >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > tolerance) return false;
    return true;
  };
  EXPECT_TRUE(similar(picture.pixels[15 * 40 + 5], 0xFFFF0000)) << std::hex << picture.pixels[15 * 40 + 5];
  EXPECT_TRUE(similar(picture.pixels[15 * 40 + 34], 0xFF0000FF)) << std::hex << picture.pixels[15 * 40 + 34];
}

class PictureDecoding : public testing::Test {
 protected:
  static void SetUpTestSuite() { InitDialogHelperModule(); }  // starts GDI+, as each program does
};

TEST_F(PictureDecoding, EachFormatGoesToItsDecoder) {
  const struct { const char* name; PictureFormat format; int tolerance; } kCases[] = {
      {"pic.png", PictureFormat::Png, 0}, {"pic.jpg", PictureFormat::Jpeg, 16}, {"pic.gif", PictureFormat::Gif, 0},
      {"pic.bmp", PictureFormat::Bmp, 0}, {"pic.ico", PictureFormat::Icon, 0}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string bytes = Picture(c.name);
    EXPECT_EQ(SniffPictureFormat(bytes), c.format);
    std::optional<DecodedPicture> picture = DecodePicture(bytes);
    ASSERT_TRUE(picture);
    ExpectRedThenBlue(*picture, c.tolerance);
  }
  // PNG and JPEG through the libraries themselves.
  std::optional<DecodedPicture> png = DecodePng(Picture("pic.png"));
  ASSERT_TRUE(png);
  ExpectRedThenBlue(*png, 0);
  std::optional<DecodedPicture> jpeg = DecodeJpeg(Picture("pic.jpg"));
  ASSERT_TRUE(jpeg);
  ExpectRedThenBlue(*jpeg, 16);
}

// The PNG with its header's width and height replaced, CRC made to match.
std::string PngWithSize(uint32_t width, uint32_t height) {
  std::string png = Picture("pic.png");
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + i] = static_cast<char>(v >> (24 - 8 * i));
  };
  put(16, width);
  put(20, height);
  put(29, crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17));
  return png;
}

TEST_F(PictureDecoding, BrokenPicturesGiveNothing) {
  const std::string png = Picture("pic.png"), jpeg = Picture("pic.jpg");
  EXPECT_TRUE(DecodePicture(PngWithSize(40, 30)));  // the patch itself keeps a good file good
  const struct { const char* what; std::string bytes; } kCases[] = {
      {"truncated png", png.substr(0, png.size() / 2)},
      {"truncated jpeg", jpeg.substr(0, jpeg.size() - 60)},  // headers whole, the scan cut short
      {"corrupt jpeg body", jpeg.substr(0, 200) + std::string(jpeg.size() - 200, '\x55')},
      {"text named .png", "just some text, not a picture\r\n"},
      {"huge png", PngWithSize(100000, 100000)},
      {"png signature only", png.substr(0, 8)},
      {"empty", ""},
  };
  for (const auto& c : kCases) EXPECT_FALSE(DecodePicture(c.bytes)) << c.what;
}

TEST(PreviewSizeText, UnitsAndRounding) {
  EXPECT_EQ(PreviewSizeText(0), "0字节");
  EXPECT_EQ(PreviewSizeText(1023), "1023字节");
  EXPECT_EQ(PreviewSizeText(1024), "1KB");
  EXPECT_EQ(PreviewSizeText(1536), "1.5KB");
  EXPECT_EQ(PreviewSizeText(1048575), "1024KB");
  EXPECT_EQ(PreviewSizeText(1048576), "1MB");
  EXPECT_EQ(PreviewSizeText(1073741824), "1GB");
  // Past the signed 32-bit range.
  EXPECT_EQ(PreviewSizeText(2147483648LL), "2GB");
  EXPECT_EQ(PreviewSizeText(5LL * 1073741824 + 536870912), "5.5GB");
}

}  // namespace
