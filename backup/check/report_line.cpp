#include "backup/check/report_line.h"

#include <cstdlib>

#include "backup/check/check_state.h"

namespace kavrel {

CRITICAL_SECTION* ReportLock = nullptr;

namespace {
ReportListener g_listener = nullptr;
bool g_reportLockLive = false;  // false while ReportLock is the zeroed placeholder
}  // namespace

void AllocateReportLock() {
  ReportLock = static_cast<CRITICAL_SECTION*>(calloc(1, sizeof(CRITICAL_SECTION)));
}

CRITICAL_SECTION* CreateLock() {
  auto* lock = static_cast<CRITICAL_SECTION*>(calloc(1, sizeof(CRITICAL_SECTION)));
  InitializeCriticalSection(lock);
  return lock;
}

void InstallReportLock(CRITICAL_SECTION* lock) {
  free(ReportLock);
  ReportLock = lock;
  g_reportLockLive = true;
}

void FreeReportLock() {
  if (!ReportLock) return;
  if (g_reportLockLive) DeleteCriticalSection(ReportLock);
  free(ReportLock);
  g_reportLockLive = false;
  ReportLock = nullptr;
}

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

void ReportUnsaved(const std::string& line) {
  ReportLineLocked(line);
  InterlockedIncrement(&Counters().failed);
}

}  // namespace kavrel
