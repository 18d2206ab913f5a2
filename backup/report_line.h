// The sink of a check's report lines (" >> " + what happened). The lines are
// neither shown nor kept; a listener exists only so that tests can see them.
#pragma once
#include <string>

namespace kavrel {

void ReportLine(const std::string& line);

using ReportListener = void (*)(const std::string& line);
// Test seam: null (the program's state) drops every line.
void SetReportListener(ReportListener listener);

// Holds ReportLock while one report line is built and handed over.
class ReportLockGuard {
 public:
  ReportLockGuard();
  ReportLockGuard(const ReportLockGuard&) = delete;
  ReportLockGuard& operator=(const ReportLockGuard&) = delete;
  ~ReportLockGuard();
};

// ReportLine under ReportLock, as the workers send theirs.
void ReportLineLocked(const std::string& line);

}  // namespace kavrel
