// Pictures decoded into 32-bit pixels: PNG through libpng, JPEG through
// libjpeg, BMP, ICO and GIF through the platform (GDI+, started by the
// toolkit's module initialiser).
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/owned.h"

namespace shell {

enum class PictureFormat { Unknown, Png, Jpeg, Bmp, Icon, Gif };

struct DecodedPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;  // top-down rows of 0xAARRGGBB, alpha not premultiplied
};

// Larger pictures are refused rather than allocated: the process has 2 GB.
constexpr int64_t kMaxPicturePixels = 25'000'000;

// By the file's leading bytes, not its name.
PictureFormat SniffPictureFormat(const std::string& bytes);

// Each gives nothing for bytes it cannot decode completely.
std::optional<DecodedPicture> DecodePng(const std::string& bytes);
std::optional<DecodedPicture> DecodeJpeg(const std::string& bytes);
std::optional<DecodedPicture> DecodeWithPlatform(const std::string& bytes);
std::optional<DecodedPicture> DecodePicture(const std::string& bytes);

// A device-independent bitmap of the picture, transparent parts on white.
OwnedGdi<HBITMAP> MakePictureBitmap(const DecodedPicture& picture);

}  // namespace shell
