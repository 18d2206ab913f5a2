#include "crashguard/thread_context.h"

#include "crashguard/guard_options.h"

namespace crashguard {

const ThreadContextOperations& ThreadContextTable() {
  static const ThreadContextOperations table = {
      &ThreadContext::DestroyThreadContext,  &ThreadContext::CopyThreadContext,
      &ThreadContext::HasThreadEnded,        &ThreadContext::SetContextThreadId,
      &ThreadContext::CloseContextThreadHandle, &ThreadContext::GetContextThreadId,
      &ThreadContext::GetCallStackText,      &ThreadContext::GetReportMessage,
      &ThreadContext::BuildThreadReportText, &ThreadContext::SetAttachedInfo,
      &ThreadContext::GetAttachedInfo,       &ThreadContext::SetReportTexts,
  };
  return table;
}

ThreadContext* NewThreadContext() { return new ThreadContext{&ThreadContextTable(), 0, nullptr, {}, {}, {}, {}}; }

void ReleaseThreadContext(ThreadContext* context) {
  if (!context) return;
  (context->*(context->operations->destroyThreadContext))();
  delete context;
}

void ThreadContext::DestroyThreadContext() {
  std::string().swap(messageText);
  for (AttachedInfoItem* item : attachedInfo) delete item;
  std::vector<AttachedInfoItem*>().swap(attachedInfo);
  std::string().swap(callStackText);
  for (auto* block : extraBlocks) delete block;
  std::vector<std::array<uint8_t, 24>*>().swap(extraBlocks);
}

ThreadContext* ThreadContext::CopyThreadContext() const {
  auto* copy = new ThreadContext{operations, threadId, threadHandle, messageText, {}, callStackText, {}};
  for (const AttachedInfoItem* item : attachedInfo) copy->attachedInfo.push_back(new AttachedInfoItem(*item));
  for (const auto* block : extraBlocks) copy->extraBlocks.push_back(new std::array<uint8_t, 24>(*block));
  return copy;
}

int32_t ThreadContext::HasThreadEnded() {
  if (!threadHandle) threadHandle = OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId);
  if (!threadHandle) return 1;
  FILETIME creation, exit, kernel, user;
  if (!GetThreadTimes(threadHandle, &creation, &exit, &kernel, &user)) return 1;
  return (exit.dwLowDateTime || exit.dwHighDateTime) ? 1 : 0;
}

void ThreadContext::SetContextThreadId(DWORD id) {
  threadId = id;
  threadHandle = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
}

void ThreadContext::CloseContextThreadHandle() {
  if (!threadHandle) return;
  CloseHandle(threadHandle);
  threadHandle = nullptr;
}

DWORD ThreadContext::GetContextThreadId() const { return threadId; }
std::string ThreadContext::GetCallStackText() const { return callStackText; }
std::string ThreadContext::GetReportMessage() const { return messageText; }

std::string ThreadContext::BuildThreadReportText() const {
  std::string text = messageText;
  if (GetIncludeCallStack() && !callStackText.empty()) text += "CallStack:\r\n" + callStackText;
  if (attachedInfo.empty()) return text;
  text += "\r\n附属信息：";
  if (attachedInfo.size() == 1) return text + attachedInfo[0]->value + "\r\n";
  text += "\r\n";
  for (const AttachedInfoItem* item : attachedInfo)
    text += "[" + std::to_string(item->key) + "] = " + item->value + "\r\n";
  return text;
}

void ThreadContext::SetAttachedInfo(int32_t key, const std::string& value) {
  for (AttachedInfoItem* item : attachedInfo)
    if (item->key == key) {
      item->value = value;
      return;
    }
  attachedInfo.push_back(new AttachedInfoItem{key, value});
}

std::string ThreadContext::GetAttachedInfo(int32_t key) const {
  for (const AttachedInfoItem* item : attachedInfo)
    if (item->key == key) return item->value;
  return "";
}

void ThreadContext::SetReportTexts(const std::string& message, const std::string& callStack) {
  callStackText = callStack;
  messageText = message;
}

}  // namespace crashguard
