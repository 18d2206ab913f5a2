#include "crashguard/record_stack.h"

#include <windows.h>

#include <cstring>

namespace crashguard {

const LinkedStackOperations& LinkedStackTable() {
  static const LinkedStackOperations table = {
      &LinkedStack::DestroyLinkedStack, &LinkedStack::CopyLinkedStack, &LinkedStack::PushNode,
      &LinkedStack::PeekNode,           &LinkedStack::PopNode,         &LinkedStack::IsStackEmpty,
      &LinkedStack::ClearStack,
  };
  return table;
}

LinkedStack* NewLinkedStack() { return new LinkedStack{&LinkedStackTable(), nullptr}; }

void LinkedStack::DestroyLinkedStack() {}

LinkedStack* LinkedStack::CopyLinkedStack() const { return new LinkedStack{operations, head}; }

void LinkedStack::PushNode(int32_t value) {
  auto* node = static_cast<StackNode*>(GlobalAlloc(GPTR, sizeof(StackNode)));
  if (!node) return;
  node->next = head;
  node->value = value;
  head = node;
}

int32_t LinkedStack::PeekNode() const { return head ? head->value : 0; }

int32_t LinkedStack::PopNode() {
  if (!head) return 0;
  StackNode* node = head;
  const int32_t value = node->value;
  head = node->next;
  GlobalFree(node);
  return value;
}

bool LinkedStack::IsStackEmpty() const { return head == nullptr; }

void LinkedStack::ClearStack() {
  while (!IsStackEmpty()) PopNode();
}

const RecordStackOperations& RecordStackTable() {
  static const RecordStackOperations table = {
      &RecordStack::DestroyRecordStack, &RecordStack::CopyRecordStack, &RecordStack::PushRecord,
      &RecordStack::PeekRecord,         &RecordStack::PopRecord,       &RecordStack::ClearRecords,
  };
  return table;
}

RecordStack* NewRecordStack() { return new RecordStack{&RecordStackTable(), NewLinkedStack()}; }

void ReleaseRecordStack(RecordStack* stack) {
  if (!stack) return;
  (stack->*(stack->operations->destroyRecordStack))();
  delete stack;
}

void RecordStack::DestroyRecordStack() {
  if (!inner) return;
  (inner->*(inner->operations->destroyLinkedStack))();
  delete inner;
  inner = nullptr;
}

RecordStack* RecordStack::CopyRecordStack() const {
  return new RecordStack{operations, inner ? inner->CopyLinkedStack() : nullptr};
}

void RecordStack::PushRecord(const StackRecord& record) {
  void* block = GlobalAlloc(GPTR, record.size());
  if (!block) return;
  std::memcpy(block, record.data(), record.size());
  inner->PushNode(reinterpret_cast<int32_t>(block));
}

StackRecord RecordStack::PeekRecord() const {
  StackRecord record{};
  if (const int32_t block = inner->PeekNode()) std::memcpy(record.data(), reinterpret_cast<void*>(block), record.size());
  return record;
}

StackRecord RecordStack::PopRecord() {
  StackRecord record = PeekRecord();
  if (const int32_t block = inner->PopNode()) GlobalFree(reinterpret_cast<void*>(block));
  return record;
}

void RecordStack::ClearRecords() {
  while (!inner->IsStackEmpty()) PopRecord();
}

TryList* NewTryList() {
  return new TryList{NewRecordStack(), new ExceptionSnapshotPair{nullptr, nullptr}};
}

}  // namespace crashguard
