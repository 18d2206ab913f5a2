// The 100 worker slots' thread entries and their chunk hand-out and teardown.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "base/utilities.h"

namespace kavrel {

// The thread entry of slot k (0..99): BackupWorker on slot k's list and flag,
// with the start parameter as prefix length.
WorkerThreadRoutine WorkerSlotEntry(int slot);

// Files per worker for a slider position n: all of them for one worker,
// otherwise trunc(total / n) + 1.
int ChunkSize(int total, int threadCount);

// Replaces slotList with the next chunk of fileList (trimmed at its end) and
// advances cursor past it.
void AssignWorkChunk(std::vector<std::string>& slotList, int chunk, int total, int& cursor,
                     const std::vector<std::string>& fileList);

// Ends the slot's worker, closes its handle (0 is left alone) and empties
// its list. Called once the worker's running flag reads 0, so the wait is
// only for its own return; the thread's messages flow while it lasts.
void StopWorkerSlot(HANDLE& thread, std::vector<std::string>& slotList);

// StopWorkerSlot on all 100 slots, and every running flag lowered. After a
// check thread that died with its workers running, this waits for them all.
void EndWorkerSlots();

}  // namespace kavrel
