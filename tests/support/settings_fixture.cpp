#include "support/settings_fixture.h"

#include "base/settings_key.h"
#include "backup/settings/text_cipher.h"
#include "support/test_support.h"

namespace testing_support {

void WriteSettingsFile(const std::string& path, const std::string& plainText) {
  WriteFileBytes(path, kavrel::EncryptSettingsText(plainText, kavrel::SettingsKey));
}

std::string ReadSettingsFile(const std::string& path) {
  return kavrel::DecryptSettingsText(ReadFileBytes(path), kavrel::SettingsKey);
}

}  // namespace testing_support
