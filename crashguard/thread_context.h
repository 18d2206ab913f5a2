// Per-thread record of the thread's last fault report: its texts, attached
// key/value lines, and the report text the fault box shows.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace crashguard {

struct AttachedInfoItem {
  int32_t key;
  std::string value;
};

class ThreadContext;

// The class's table of operations, in table order.
struct ThreadContextOperations {
  void (ThreadContext::*destroyThreadContext)();
  ThreadContext* (ThreadContext::*copyThreadContext)() const;
  int32_t (ThreadContext::*hasThreadEnded)();
  void (ThreadContext::*setContextThreadId)(DWORD threadId);
  void (ThreadContext::*closeContextThreadHandle)();
  DWORD (ThreadContext::*getContextThreadId)() const;
  std::string (ThreadContext::*getCallStackText)() const;
  std::string (ThreadContext::*getReportMessage)() const;
  std::string (ThreadContext::*buildThreadReportText)() const;
  void (ThreadContext::*setAttachedInfo)(int32_t key, const std::string& value);
  std::string (ThreadContext::*getAttachedInfo)(int32_t key) const;
  void (ThreadContext::*setReportTexts)(const std::string& message, const std::string& callStack);
};

class ThreadContext {
 public:
  // Frees what the record owns; the thread handle stays open.
  void DestroyThreadContext();
  ThreadContext* CopyThreadContext() const;
  // 1 when the thread cannot be opened or queried, or has an exit time.
  int32_t HasThreadEnded();
  void SetContextThreadId(DWORD threadId);
  void CloseContextThreadHandle();
  DWORD GetContextThreadId() const;
  std::string GetCallStackText() const;
  std::string GetReportMessage() const;
  // The message, then the call stack when it is wanted, then the attached lines.
  std::string BuildThreadReportText() const;
  void SetAttachedInfo(int32_t key, const std::string& value);
  std::string GetAttachedInfo(int32_t key) const;  // "" for an unknown key
  void SetReportTexts(const std::string& message, const std::string& callStack);

  const ThreadContextOperations* operations;
  DWORD threadId;
  HANDLE threadHandle;
  std::string messageText;
  std::vector<AttachedInfoItem*> attachedInfo;
  std::string callStackText;
  std::vector<std::array<uint8_t, 24>*> extraBlocks;
};
static_assert(std::is_standard_layout_v<ThreadContext>);
static_assert(offsetof(ThreadContext, operations) == 0, "the operation table comes first");

const ThreadContextOperations& ThreadContextTable();
ThreadContext* NewThreadContext();
// Destroys the record and frees it.
void ReleaseThreadContext(ThreadContext* context);

}  // namespace crashguard
