// The open and save dialogs of the toolkit object: the object's dialog record
// in the platform's form, the file buffers and the selection text.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <cstdint>
#include <string>

#include "shelltool/dialog_helper.h"

namespace shell {

constexpr uint32_t kFileDialogRecordSize = 76;  // the platform record without its later members

// Flags of PickOpenFiles by style 0..11; any other style is style 0.
DWORD OpenFilesStyleFlags(int32_t style);

// Flags of the object's open (kind 0) or save (kind 1) dialog.
DWORD FileDialogFlags(const ShellDialogHelper& helper, int32_t kind, bool hookRequest);

// The platform record over the record's members; it points into the record's
// buffers, so the record must outlive it. A hook flag without a hook
// procedure is dropped: the platform would refuse the dialog.
OPENFILENAMEA PlatformFileDialog(FileDialogRecord& record);

// The initial file buffer: the name with each ";" a zero byte, or the kept
// earlier buffer when the name is empty, padded with zero bytes to
// (multiple selection ? 2048 : 256) + 1 bytes; always ending in a zero byte.
ByteArray InitialFileBuffer(const std::string& fileName, const ByteArray* lastDirectory, bool multipleSelection);

// One full path, or with multiple selection the Explorer layout (directory,
// then names) as full paths joined by ";". Pumps messages after each name
// when asked.
std::string SelectionText(const ByteArray& buffer, bool multipleSelection, bool pumpBetweenNames = false);

// The steps the open-and-save pickers share: title and owner into the
// object's record, the initial buffer, the flags and the dialog; on
// confirmation the selection text goes into fileName and the confirmed buffer
// stays in the record's lpstrFile. A kind other than 0 or 1 shows nothing.
bool ShowFileDialog(ShellDialogHelper& helper, HWND owner, int32_t kind, std::string& fileName,
                    const std::string& title, bool hookRequest);

}  // namespace shell
