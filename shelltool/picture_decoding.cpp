#include "shelltool/picture_decoding.h"

#include <objidl.h>
#include <shlwapi.h>
#include <gdiplus.h>

#include <csetjmp>
#include <cstdio>
#include <new>

#include <png.h>
#include <jpeglib.h>
#include <jerror.h>

namespace shell {

namespace {

bool StartsWith(const std::string& bytes, const char* prefix, size_t n) {
  return bytes.size() >= n && bytes.compare(0, n, prefix, n) == 0;
}

bool FitsLimit(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width * height <= kMaxPicturePixels;
}

// libjpeg reports errors through error_exit, which must not return: it jumps
// back to the decoder. A stream that ends early only warns; it counts as broken.
struct JpegReader {
  jpeg_decompress_struct info = {};
  jpeg_error_mgr errors = {};
  std::jmp_buf failed;
  bool truncated = false;
};

[[noreturn]] void JpegFailed(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegReader*>(info->client_data)->failed, 1);
}

void JpegMessage(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
    reinterpret_cast<JpegReader*>(info->client_data)->truncated = true;
}

// Fills picture; false when libjpeg gave up. Only the reader and the picture,
// both outside this frame, change between setjmp and longjmp.
bool RunJpeg(JpegReader& reader, const std::string& bytes, DecodedPicture& picture) {
  if (setjmp(reader.failed)) return false;
  jpeg_mem_src(&reader.info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&reader.info, TRUE);
  if (!FitsLimit(reader.info.image_width, reader.info.image_height)) return false;
  reader.info.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&reader.info);
  picture.width = static_cast<int32_t>(reader.info.output_width);
  picture.height = static_cast<int32_t>(reader.info.output_height);
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  while (reader.info.output_scanline < reader.info.output_height) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(&picture.pixels[reader.info.output_scanline * picture.width]);
    jpeg_read_scanlines(&reader.info, &row, 1);
  }
  jpeg_finish_decompress(&reader.info);
  return !reader.truncated;
}

}  // namespace

PictureFormat SniffPictureFormat(const std::string& bytes) {
  if (StartsWith(bytes, "\x89PNG\r\n\x1a\n", 8)) return PictureFormat::Png;
  if (StartsWith(bytes, "\xFF\xD8\xFF", 3)) return PictureFormat::Jpeg;
  if (StartsWith(bytes, "GIF87a", 6) || StartsWith(bytes, "GIF89a", 6)) return PictureFormat::Gif;
  if (StartsWith(bytes, "BM", 2)) return PictureFormat::Bmp;
  if (StartsWith(bytes, "\0\0\1\0", 4)) return PictureFormat::Icon;
  return PictureFormat::Unknown;
}

std::optional<DecodedPicture> DecodePng(const std::string& bytes) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return std::nullopt;
  DecodedPicture picture;
  bool done = false;
  if (FitsLimit(image.width, image.height)) {
    image.format = PNG_FORMAT_BGRA;
    picture.width = static_cast<int32_t>(image.width);
    picture.height = static_cast<int32_t>(image.height);
    try {
      picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
      done = png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr) != 0;
    } catch (const std::bad_alloc&) {
    }
  }
  png_image_free(&image);
  if (!done) return std::nullopt;
  return picture;
}

std::optional<DecodedPicture> DecodeJpeg(const std::string& bytes) {
  JpegReader reader;
  reader.info.err = jpeg_std_error(&reader.errors);
  reader.errors.error_exit = JpegFailed;
  reader.errors.emit_message = JpegMessage;
  jpeg_create_decompress(&reader.info);
  reader.info.client_data = &reader;
  DecodedPicture picture;
  bool done = false;
  try {
    done = RunJpeg(reader, bytes, picture);
  } catch (const std::bad_alloc&) {
  }
  jpeg_destroy_decompress(&reader.info);
  if (!done) return std::nullopt;
  return picture;
}

std::optional<DecodedPicture> DecodeWithPlatform(const std::string& bytes) {
  using namespace Gdiplus::DllExports;
  OwnedPtr<IStream, ReleaseInterface> stream(
      SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size())));
  if (!stream) return std::nullopt;
  Gdiplus::GpBitmap* raw = nullptr;
  if (GdipCreateBitmapFromStream(stream.get(), &raw) != Gdiplus::Ok || !raw) return std::nullopt;
  OwnedPtr<Gdiplus::GpImage, GdipDisposeImage> bitmap(raw);
  UINT width = 0, height = 0;
  GdipGetImageWidth(bitmap.get(), &width);
  GdipGetImageHeight(bitmap.get(), &height);
  if (!FitsLimit(width, height)) return std::nullopt;
  DecodedPicture picture;
  picture.width = static_cast<int32_t>(width);
  picture.height = static_cast<int32_t>(height);
  try {
    picture.pixels.resize(static_cast<size_t>(width) * height);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  // Locked straight into the picture's own rows.
  Gdiplus::BitmapData data = {};
  data.Width = width;
  data.Height = height;
  data.Stride = static_cast<INT>(width * 4);
  data.PixelFormat = PixelFormat32bppARGB;
  data.Scan0 = picture.pixels.data();
  const Gdiplus::GpRect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  if (GdipBitmapLockBits(raw, &all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                         PixelFormat32bppARGB, &data) != Gdiplus::Ok)
    return std::nullopt;
  GdipBitmapUnlockBits(raw, &data);
  return picture;
}

std::optional<DecodedPicture> DecodePicture(const std::string& bytes) {
  switch (SniffPictureFormat(bytes)) {
    case PictureFormat::Png: return DecodePng(bytes);
    case PictureFormat::Jpeg: return DecodeJpeg(bytes);
    case PictureFormat::Bmp:
    case PictureFormat::Icon:
    case PictureFormat::Gif: return DecodeWithPlatform(bytes);
    default: return std::nullopt;
  }
}

OwnedGdi<HBITMAP> MakePictureBitmap(const DecodedPicture& picture) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;  // top-down, as the rows are
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  OwnedGdi<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return bitmap;
  auto* out = static_cast<uint32_t*>(bits);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const uint32_t p = picture.pixels[i];
    const uint32_t a = p >> 24;
    uint32_t mixed = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const uint32_t c = (p >> shift) & 0xFF;
      mixed |= ((c * a + 255 * (255 - a) + 127) / 255) << shift;
    }
    out[i] = mixed;
  }
  return bitmap;
}

}  // namespace shell
