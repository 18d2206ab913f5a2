// The sink of a check's report lines (" >> " + what happened). The lines are
// neither shown nor kept; a listener exists only so that tests can see them.
#pragma once
#include <windows.h>

#include <string>

namespace kavrel {

void ReportLine(const std::string& line);

using ReportListener = void (*)(const std::string& line);
// Test seam: null (the program's state) drops every line.
void SetReportListener(ReportListener listener);

extern CRITICAL_SECTION* ReportLock;  // serialises the workers' report lines

// Zeroed storage only, until InstallReportLock gives a live lock.
void AllocateReportLock();
// A new critical section owned by the caller.
CRITICAL_SECTION* CreateLock();
// Replaces the zeroed placeholder of ReportLock with a live lock.
void InstallReportLock(CRITICAL_SECTION* lock);
// Deletes the lock (a placeholder is only freed) and leaves none.
void FreeReportLock();

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
// The line of a file the check meant to back up and could not, under
// ReportLock, counted in `failed`.
void ReportUnsaved(const std::string& line);

}  // namespace kavrel
