// What the toolkit's dialog tests share: a fresh toolkit object with an owner
// window per case, and the folder a folder dialog's tree has selected.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "shelltool/dialog_helper.h"
#include "shelltool/dialog_helper_module.h"
#include "support/test_support.h"

namespace kavrel_testing {

class DialogHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shell::InitDialogHelperGlobals();
    helper_ = shell::AllocateShellDialogHelper();
    shell::ConstructShellDialogHelper(*helper_);
    owner_ = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  void TearDown() override {
    DestroyWindow(owner_);
    shell::ReleaseShellDialogHelper(helper_);
    shell::FreeDialogHelperGlobals();
  }
  shell::ShellDialogHelper* helper_ = nullptr;
  HWND owner_ = nullptr;
};

// The text of the folder the dialog's tree has selected.
inline std::string SelectedFolderName(HWND dialog) {
  HWND tree = testing_support::FindChild(dialog, WC_TREEVIEWA, "");
  char text[MAX_PATH] = {};
  TVITEMA item = {};
  item.mask = TVIF_TEXT;
  item.hItem = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return text;
}

}  // namespace kavrel_testing
