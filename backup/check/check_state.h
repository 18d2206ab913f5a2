// State shared by the scheduler, the check run, the tree scanner and the
// workers. Only one check runs at a time, so one set serves every check.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace kavrel {

struct CheckCounters {
  volatile LONG stop = 0;         // a stop was requested
  HANDLE checkThread = nullptr;   // the running check thread
  volatile LONG finished = 0;     // the running check has ended
  volatile LONG linked = 0;       // hard links made by the current check
  std::string backupDir;          // the current check's backup directory, with "\"
  volatile LONG checked = 0;      // files taken up by the current check's workers
  volatile LONG failed = 0;       // files the current check meant to back up and could not
  volatile LONG settled = 0;      // files the current check's workers saw through
  LONG linkPauseMs = 0;           // pause before each hard link
};

CheckCounters& Counters();

constexpr int kWorkerSlotCount = 100;

struct WorkerSlot {
  std::vector<std::string> fileList;  // this worker's chunk of full file paths
  volatile LONG running = 0;          // 1 while the slot's worker runs
  HANDLE thread = nullptr;            // 0 while the slot is free
};

WorkerSlot& Slot(int index);

}  // namespace kavrel
