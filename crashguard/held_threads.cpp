#include "crashguard/held_threads.h"

#include <tlhelp32.h>

#include <utility>

namespace crashguard {

namespace {

// Two writers never hold each other.
SRWLOCK g_writers = SRWLOCK_INIT;

std::vector<DWORD> OtherThreadsOfThisProcess() {
  std::vector<DWORD> ids;
  const shell::OwnedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) return ids;
  const DWORD process = GetCurrentProcessId();
  const DWORD self = GetCurrentThreadId();
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
    if (entry.th32OwnerProcessID == process && entry.th32ThreadID != self) ids.push_back(entry.th32ThreadID);
  }
  return ids;
}

void MoveThread(HANDLE thread, const std::vector<ThreadMove>& moves) {
  CONTEXT context{};
  context.ContextFlags = CONTEXT_CONTROL;
  // Reading the context also waits until the thread has really stopped.
  if (!GetThreadContext(thread, &context)) return;
  for (const ThreadMove& move : moves) {
    if (context.Eip != move.from) continue;
    if (move.pushedWords != 0) {
      const uint32_t returnAddress = *reinterpret_cast<const uint32_t*>(context.Esp);
      context.Esp += 4 * move.pushedWords;
      *reinterpret_cast<uint32_t*>(context.Esp) = returnAddress;
    }
    context.Eip = move.to;
    SetThreadContext(thread, &context);
    return;
  }
}

}  // namespace

HeldThreads::HeldThreads(const std::vector<ThreadMove>& moves) {
  AcquireSRWLockExclusive(&g_writers);
  const std::vector<DWORD> ids = OtherThreadsOfThisProcess();
  threads_.reserve(ids.size());
  for (const DWORD id : ids) Hold(id, moves);
}

HeldThreads::~HeldThreads() {
  for (const shell::OwnedHandle& thread : threads_) ResumeThread(thread.Get());
  ReleaseSRWLockExclusive(&g_writers);
}

void HeldThreads::Hold(DWORD threadId, const std::vector<ThreadMove>& moves) {
  shell::OwnedHandle thread(
      OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE,
                 threadId));
  // A thread that ended since the snapshot, or an id another process has taken since.
  if (!thread || GetProcessIdOfThread(thread.Get()) != GetCurrentProcessId()) return;
  if (SuspendThread(thread.Get()) == static_cast<DWORD>(-1)) return;
  MoveThread(thread.Get(), moves);
  threads_.push_back(std::move(thread));
}

}  // namespace crashguard
