#include "shelltool/icon.h"

#include <cstdint>
#include <cstring>

namespace ui {

HICON IconFromFileBytes(const unsigned char* data, size_t size) {
  // ICONDIR (6 bytes) then one ICONDIRENTRY (16 bytes) per image.
  if (!data || size < 22) return nullptr;
  uint16_t reserved, type, count;
  std::memcpy(&reserved, data, 2);
  std::memcpy(&type, data + 2, 2);
  std::memcpy(&count, data + 4, 2);
  if (reserved != 0 || type != 1 || count == 0) return nullptr;
  const unsigned char* entry = data + 6;
  uint32_t bytes, offset;
  std::memcpy(&bytes, entry + 8, 4);
  std::memcpy(&offset, entry + 12, 4);
  if (offset > size || bytes > size - offset) return nullptr;
  int width = entry[0] ? entry[0] : 256;
  int height = entry[1] ? entry[1] : 256;
  return CreateIconFromResourceEx(const_cast<PBYTE>(data + offset), bytes, TRUE, 0x00030000, width,
                                  height, LR_DEFAULTCOLOR);
}

HIMAGELIST ImageListFromIconFiles(int width, int height, const unsigned char* const* files,
                                  const size_t* sizes, int count) {
  HIMAGELIST list = ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, count, 0);
  for (int i = 0; i < count; ++i) {
    HICON icon = IconFromFileBytes(files[i], sizes[i]);
    ImageList_AddIcon(list, icon);
    if (icon) DestroyIcon(icon);
  }
  return list;
}

}  // namespace ui
