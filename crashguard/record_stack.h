// The per-thread try list: a stack of 24-byte records over a linked stack of
// GlobalAlloc nodes, and the saved copies of the thread's last fault.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace crashguard {

struct StackNode {
  StackNode* next;
  int32_t value;
};
static_assert(sizeof(StackNode) == 8);

class LinkedStack;

struct LinkedStackOperations {
  void (LinkedStack::*destroyLinkedStack)();
  LinkedStack* (LinkedStack::*copyLinkedStack)() const;
  void (LinkedStack::*pushNode)(int32_t value);
  int32_t (LinkedStack::*peekNode)() const;
  int32_t (LinkedStack::*popNode)();
  bool (LinkedStack::*isStackEmpty)() const;
  void (LinkedStack::*clearStack)();
};

class LinkedStack {
 public:
  // Frees nothing: the nodes may be shared with a copy.
  void DestroyLinkedStack();
  // A new object with the same head: both name the same nodes.
  LinkedStack* CopyLinkedStack() const;
  void PushNode(int32_t value);
  int32_t PeekNode() const;  // 0 when empty
  int32_t PopNode();         // 0 when empty, and nothing changes
  bool IsStackEmpty() const;
  void ClearStack();

  const LinkedStackOperations* operations;
  StackNode* head;  // null when empty
};
static_assert(std::is_standard_layout_v<LinkedStack>);
static_assert(sizeof(LinkedStack) == 8);

LinkedStack* NewLinkedStack();

using StackRecord = std::array<uint8_t, 24>;

class RecordStack;

struct RecordStackOperations {
  void (RecordStack::*destroyRecordStack)();
  RecordStack* (RecordStack::*copyRecordStack)() const;
  void (RecordStack::*pushRecord)(const StackRecord& record);
  StackRecord (RecordStack::*peekRecord)() const;
  StackRecord (RecordStack::*popRecord)();
  void (RecordStack::*clearRecords)();
};

class RecordStack {
 public:
  void DestroyRecordStack();
  RecordStack* CopyRecordStack() const;
  void PushRecord(const StackRecord& record);
  StackRecord PeekRecord() const;  // 24 zero bytes when empty
  StackRecord PopRecord();         // the same, and the top block is freed
  void ClearRecords();

  const RecordStackOperations* operations;
  LinkedStack* inner;
};
static_assert(std::is_standard_layout_v<RecordStack>);
static_assert(sizeof(RecordStack) == 8);

RecordStack* NewRecordStack();
// Destroys the stack and frees the object.
void ReleaseRecordStack(RecordStack* stack);

// Copies of the thread's last fault: the 80-byte exception record and the
// 716-byte processor context, made on the first save and reused after.
struct ExceptionSnapshotPair {
  void* exceptionRecordCopy;
  void* contextCopy;
};
static_assert(sizeof(ExceptionSnapshotPair) == 8);

struct TryList {
  RecordStack* records;
  ExceptionSnapshotPair* snapshots;
};
static_assert(std::is_standard_layout_v<TryList>);
static_assert(sizeof(TryList) == 8);

// An empty record stack and a pair of two zeros.
TryList* NewTryList();

}  // namespace crashguard
