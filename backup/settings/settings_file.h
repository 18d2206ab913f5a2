// CF.ini beside the program: read with full sharing, written whole.
#pragma once
#include <string>
#include <utility>

namespace kavrel {

class SettingsFile {
 public:
  // The run directory's CF.ini.
  static SettingsFile BesideProgram();
  explicit SettingsFile(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

  // The content up to its first zero byte or 0x1A, a lead byte
  // taken with the next one; empty when the file is missing or unreadable.
  std::string Read() const;

  // Replaces the file's content, keeping its attributes. The new bytes go to a
  // temporary file beside it that then replaces CF.ini in one step, so a
  // crash leaves the old or the new settings, never an empty file. When no
  // temporary file can be made, or the replace is refused, CF.ini is written
  // in place: grown to the new length first, then written over and cut, so
  // that a full disk leaves it as it was. A read-only CF.ini is left alone.
  // False when CF.ini does not hold the new content; the temporary file then
  // keeps it, if it was made.
  bool Write(const std::string& content) const;
  std::string TemporaryPath() const { return path_ + ".new"; }

 private:
  std::string path_;
};

// Cuts raw file bytes at the end marker, as Read does.
std::string TextBeforeEndMarker(const std::string& bytes);

}  // namespace kavrel
