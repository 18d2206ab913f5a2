// Writes and reads Kavrel's CF.ini with the program's own cipher, so that a
// test can hand the real program any settings and see what it saved.
#pragma once
#include <string>

namespace testing_support {

void WriteSettingsFile(const std::string& path, const std::string& plainText);
// The deciphered content; empty when the file is missing.
std::string ReadSettingsFile(const std::string& path);

}  // namespace testing_support
