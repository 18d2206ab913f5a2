// The plain settings text: eleven fields each followed by "|", then one line
// per project, "monitored*backup*1 or 0" followed by "\r\n".
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavrel {

constexpr int kOptionCount = 4;    // 排除系统目录, 排除隐藏目录, 排除空目录, 隐藏属性
constexpr int kScheduleCount = 6;  // 小时数1 .. 秒数2
constexpr int kSettingsFieldCount = 12;

struct ProjectSetting {
  std::string monitorDir;
  std::string backupDir;
  bool checked = false;
};

// What the window holds at close, in the order the text stores it.
struct SettingsValues {
  std::array<bool, kOptionCount> options{};
  std::array<std::string, kScheduleCount> schedule;
  int32_t threads = 0;
  std::vector<ProjectSetting> projects;
};

std::string BuildSettingsText(const SettingsValues& values);

// A project line with exactly three parts; the directories are not yet tested.
struct ProjectLine {
  std::string monitorDir;  // ending with one "\"
  std::string backupDir;   // ending with one "\"
  bool checked = false;
};

// What a loaded text may change: an empty entry leaves its control alone.
struct LoadedSettings {
  std::array<std::optional<bool>, kOptionCount> options;
  std::array<std::optional<std::string>, kScheduleCount> schedule;
  std::optional<int32_t> threads;
  bool hasProjectField = false;  // only a text of all twelve fields loads projects
  std::vector<ProjectLine> projects;
};

// Applies the load rules to the plain text; more than twelve fields give nothing.
LoadedSettings ParseSettingsText(const std::string& plain);

}  // namespace kavrel
