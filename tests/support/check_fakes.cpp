#include "support/check_fakes.h"

#include <algorithm>

#include "backup/check/report_line.h"

namespace testing_support {

namespace {
std::mutex g_linesLock;
std::vector<std::string> g_lines;
}  // namespace

ReportRecorder::ReportRecorder() {
  std::lock_guard<std::mutex> lock(g_linesLock);
  g_lines.clear();
  kavrel::SetReportListener(&ReportRecorder::Record);
}

ReportRecorder::~ReportRecorder() { kavrel::SetReportListener(nullptr); }

void ReportRecorder::Record(const std::string& line) {
  std::lock_guard<std::mutex> lock(g_linesLock);
  g_lines.push_back(line);
}

std::vector<std::string> ReportRecorder::Lines() const {
  std::lock_guard<std::mutex> lock(g_linesLock);
  return g_lines;
}

bool ReportRecorder::Has(const std::string& line) const {
  const auto lines = Lines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void EnsureReportLock() {
  static bool installed = false;
  if (!installed) kavrel::InstallReportLock(kavrel::CreateLock());
  installed = true;
}

}  // namespace testing_support
