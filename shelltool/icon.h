// Icons and image lists made from icon-file bytes held in the program.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstddef>

namespace ui {

// The first image of an .ico file in memory; nullptr when the bytes are not one.
HICON IconFromFileBytes(const unsigned char* data, size_t size);

// An image list of 32-bit images with mask, each given as icon-file bytes.
HIMAGELIST ImageListFromIconFiles(int width, int height, const unsigned char* const* files,
                                  const size_t* sizes, int count);

}  // namespace ui
