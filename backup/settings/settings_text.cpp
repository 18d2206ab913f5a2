#include "backup/settings/settings_text.h"

#include "base/gbk_text.h"

namespace kavrel {

namespace {

// A box's text without the field separator: one more field would make the
// next start apply nothing, and the close after it save an empty list.
std::string WithoutFieldSeparators(const std::string& box) {
  std::string field;
  for (const std::string& piece : gbk::Split(box, "|")) field += piece;
  return field;
}

}  // namespace

std::string BuildSettingsText(const SettingsValues& values) {
  std::string text;
  for (bool ticked : values.options) text += ticked ? "1|" : "2|";
  for (const std::string& box : values.schedule) text += WithoutFieldSeparators(box) + "|";
  text += std::to_string(values.threads) + "|";
  for (const ProjectSetting& project : values.projects)
    text += project.monitorDir + "*" + project.backupDir + "*" + (project.checked ? "1" : "0") + "\r\n";
  return text;
}

namespace {

// One trailing "\": added where it is missing, and a doubled one read as one
// (an earlier build doubled it after a name ending in the single byte 0x80).
// A part that names no directory stays empty.
std::string WithOneTrailingBackslash(std::string dir) {
  if (dir.empty()) return dir;
  dir = gbk::WithTrailingBackslash(dir);
  while (dir.size() > 1 && gbk::EndsWithBackslash(dir.substr(0, dir.size() - 1))) dir.pop_back();
  return dir;
}

void ParseProjectLines(const std::string& field, std::vector<ProjectLine>& projects) {
  for (const std::string& line : gbk::Split(field, "\r\n")) {
    const std::vector<std::string> parts = gbk::Split(line, "*");
    if (parts.size() != 3 || parts[0].empty()) continue;
    ProjectLine project;
    project.monitorDir = WithOneTrailingBackslash(parts[0]);
    // Without its backslash the backup root would be a prefix of names beside it.
    project.backupDir = WithOneTrailingBackslash(parts[1]);
    project.checked = gbk::IntegerValue(parts[2]) != 0;
    projects.push_back(project);
  }
}

}  // namespace

LoadedSettings ParseSettingsText(const std::string& plain) {
  LoadedSettings loaded;
  const std::vector<std::string> fields = gbk::Split(plain, "|");
  const size_t n = fields.size();
  if (n < 1 || n > kSettingsFieldCount) return loaded;
  for (size_t k = 0; k < kOptionCount && k < n; ++k) {
    const int32_t value = gbk::IntegerValue(fields[k]);
    if (value == 1 || value == 2) loaded.options[k] = fields[k] == "1";
  }
  for (size_t k = 0; k < kScheduleCount && kOptionCount + k < n; ++k) {
    const std::string& field = fields[kOptionCount + k];
    if (gbk::IntegerValue(field) >= 1) loaded.schedule[k] = field;
  }
  if (n >= 11) {
    const int32_t threads = gbk::IntegerValue(fields[10]);
    if (threads >= 1 && threads <= 100) loaded.threads = threads;
  }
  if (n == kSettingsFieldCount) {
    loaded.hasProjectField = true;
    ParseProjectLines(fields[11], loaded.projects);
  }
  return loaded;
}

}  // namespace kavrel
