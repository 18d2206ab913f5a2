#include "backup/report_line.h"

#include <windows.h>

#include "backup/program_globals.h"

namespace kavrel {

namespace {
ReportListener g_listener = nullptr;
}  // namespace

void ReportLine(const std::string& line) {
  if (g_listener) g_listener(line);
}

void SetReportListener(ReportListener listener) { g_listener = listener; }

ReportLockGuard::ReportLockGuard() { EnterCriticalSection(ReportLock); }

ReportLockGuard::~ReportLockGuard() { LeaveCriticalSection(ReportLock); }

void ReportLineLocked(const std::string& line) {
  ReportLockGuard lock;
  ReportLine(line);
}

}  // namespace kavrel
