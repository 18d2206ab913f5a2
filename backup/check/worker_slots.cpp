#include "backup/check/worker_slots.h"

#include <array>
#include <cstdint>
#include <utility>

#include "backup/check/check_state.h"
#include "backup/check/link_writer.h"
#include "base/owned.h"

namespace kavrel {

namespace {

template <int k>
DWORD WINAPI SlotEntry(LPVOID parameter) {
  BackupWorker(Slot(k).fileList, Slot(k).running, static_cast<int>(reinterpret_cast<intptr_t>(parameter)));
  return 0;
}

template <int... k>
constexpr std::array<WorkerThreadRoutine, sizeof...(k)> MakeSlotEntries(std::integer_sequence<int, k...>) {
  return {{&SlotEntry<k>...}};
}

constexpr std::array<WorkerThreadRoutine, kWorkerSlotCount> kSlotEntries =
    MakeSlotEntries(std::make_integer_sequence<int, kWorkerSlotCount>());

}  // namespace

WorkerThreadRoutine WorkerSlotEntry(int slot) { return kSlotEntries[slot]; }

int ChunkSize(int total, int threadCount) {
  if (threadCount == 1) return total;
  return static_cast<int>(static_cast<double>(total) / threadCount) + 1;
}

void AssignWorkChunk(std::vector<std::string>& slotList, int chunk, int total, int& cursor,
                     const std::vector<std::string>& fileList) {
  int count = chunk;
  if (cursor + chunk > total) count = total - cursor;
  std::vector<std::string> next;
  next.reserve(count > 0 ? count : 0);
  for (int j = 0; j < count; ++j) next.push_back(fileList[cursor++]);
  slotList.swap(next);
}

void StopWorkerSlot(HANDLE& thread, std::vector<std::string>& slotList) {
  if (thread) {
    const shell::OwnedHandle owned(thread);  // closed once the slot lets go of it
    // Waiting rather than terminating: a thread killed inside the heap or
    // the report lock would leave that lock held for the whole process.
    WaitWithMessages(owned.Get());
    thread = nullptr;
  }
  std::vector<std::string>().swap(slotList);
}

void EndWorkerSlots() {
  for (int i = 0; i < kWorkerSlotCount; ++i) {
    WorkerSlot& slot = Slot(i);
    StopWorkerSlot(slot.thread, slot.fileList);
    slot.running = 0;  // a worker the crash guard ended never lowered it
  }
}

}  // namespace kavrel
