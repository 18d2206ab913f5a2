// CF.ini beside the program: read with full sharing, written whole.
#pragma once
#include <string>
#include <utility>
#include <vector>

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

  // Replaces the file's content, keeping its attributes; through a symbolic
  // link, the content of the file it names. Content equal to the file's is not
  // written. The new bytes go to a temporary file beside it that then
  // replaces CF.ini in one step, so a crash leaves the old or the new
  // settings, never an empty file. When no temporary file can be made or
  // filled, or the replace is refused, CF.ini is written in place by
  // InPlaceSaveSteps, which also keeps it old or new. A read-only CF.ini is
  // left alone. False when CF.ini does not hold the new content; the
  // temporary file then keeps it, if it was made.
  bool Write(const std::string& content) const;
  std::string TemporaryPath() const { return path_ + ".new"; }

 private:
  std::string path_;
};

// One step of an in-place save: bytes written at an offset, or the file cut there.
struct InPlaceStep {
  unsigned long long offset;
  std::string bytes;
  bool cut;
};
// The steps that turn a file of oldLength bytes into content.
std::vector<InPlaceStep> InPlaceSaveSteps(unsigned long long oldLength, const std::string& content);

// Cuts raw file bytes at the end marker, as Read does.
std::string TextBeforeEndMarker(const std::string& bytes);

}  // namespace kavrel
