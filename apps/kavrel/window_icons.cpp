#include "backup/ui/window_icons.h"

#include "apps/common/pictures.h"
#include "shelltool/icon.h"

namespace kavrel {

HICON IdleIcon() {
  static HICON icon = ui::IconFromFileBytes(kIdleIconFile, sizeof kIdleIconFile);
  return icon;
}

HICON BusyIcon() {
  static HICON icon = ui::IconFromFileBytes(kBusyIconFile, sizeof kBusyIconFile);
  return icon;
}

HIMAGELIST ProjectRowImages() {
  static const unsigned char* const kFiles[] = {kRowImageRunningFile, kRowImageRestingFile, kRowImageSkippedFile};
  static const size_t kSizes[] = {sizeof kRowImageRunningFile, sizeof kRowImageRestingFile,
                                  sizeof kRowImageSkippedFile};
  static HIMAGELIST images = ui::ImageListFromIconFiles(16, 15, kFiles, kSizes, 3);
  return images;
}

}  // namespace kavrel
