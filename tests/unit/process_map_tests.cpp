// The crash guard's string maps, stacks and the process and thread maps.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "crashguard/process_map.h"
#include "crashguard/record_stack.h"
#include "crashguard/string_map.h"

namespace {

using namespace crashguard;

std::string PublishedValue() {
  char buffer[64] = {};
  GetEnvironmentVariableA(ProcessMapVariableName().c_str(), buffer, sizeof buffer);
  return buffer;
}

TEST(StringMapTest, KeepsInsertionOrderAndTheFirstKeyWhenAValueIsReplaced) {
  StringMapHolder* holder = NewStringMap();
  StringMap& map = *holder->map;
  EXPECT_EQ(map.operations, &StringMapTable());
  EXPECT_EQ(holder->reserved, 0);
  map.SetMapValue("a", 1);
  map.SetMapValue("b", 2);
  map.SetMapValue("a", 3);
  ASSERT_EQ(map.items.size(), 2u);
  EXPECT_EQ(map.items[0]->key, "a");
  EXPECT_EQ(map.items[0]->value, 3);
  EXPECT_EQ(map.items[1]->key, "b");
  EXPECT_EQ(map.GetMapValue("b"), 2);
  EXPECT_EQ(map.GetMapValue("c"), 0);
  ReleaseStringMap(holder);
}

TEST(StringMapTest, KeysAreCaseSensitiveAndANullKeyIsTheEmptyOne) {
  StringMapHolder* holder = NewStringMap();
  StringMap& map = *holder->map;
  map.SetMapValue("Key", 1);
  EXPECT_EQ(map.GetMapValue("key"), 0);
  map.SetMapValue(nullptr, 9);
  EXPECT_EQ(map.GetMapValue(""), 9);
  ReleaseStringMap(holder);
}

TEST(StringMapTest, ACopyHasItsOwnItemsWithTheSameValues) {
  StringMapHolder* holder = NewStringMap();
  holder->map->SetMapValue("x", 5);
  StringMap* copy = holder->map->CopyStringMap();
  copy->SetMapValue("x", 6);
  copy->SetMapValue("y", 7);
  EXPECT_EQ(holder->map->GetMapValue("x"), 5);
  EXPECT_EQ(holder->map->items.size(), 1u);
  EXPECT_EQ(copy->GetMapValue("x"), 6);
  copy->DestroyStringMap();
  delete copy;
  ReleaseStringMap(holder);
}

TEST(LinkedStackTest, PopsInReverseOrderAndGivesZeroWhenEmpty) {
  LinkedStack* stack = NewLinkedStack();
  EXPECT_TRUE(stack->IsStackEmpty());
  EXPECT_EQ(stack->PeekNode(), 0);
  EXPECT_EQ(stack->PopNode(), 0);
  stack->PushNode(1);
  stack->PushNode(2);
  EXPECT_EQ(stack->PeekNode(), 2);
  EXPECT_EQ(stack->PopNode(), 2);
  EXPECT_EQ(stack->PopNode(), 1);
  EXPECT_TRUE(stack->IsStackEmpty());
  stack->PushNode(3);
  stack->ClearStack();
  EXPECT_TRUE(stack->IsStackEmpty());
  delete stack;
}

TEST(RecordStackTest, RecordsAreCopiedInAndOutAndAnEmptyStackGivesZeros) {
  RecordStack* stack = NewRecordStack();
  EXPECT_EQ(stack->PeekRecord(), StackRecord{});
  EXPECT_EQ(stack->PopRecord(), StackRecord{});
  StackRecord first{};
  first[0] = 1;
  first[23] = 0xFF;
  StackRecord second{};
  second[5] = 7;
  stack->PushRecord(first);
  first[0] = 9;  // the stack holds its own copy
  stack->PushRecord(second);
  EXPECT_EQ(stack->PeekRecord(), second);
  EXPECT_EQ(stack->PopRecord(), second);
  StackRecord expected{};
  expected[0] = 1;
  expected[23] = 0xFF;
  EXPECT_EQ(stack->PopRecord(), expected);
  EXPECT_TRUE(stack->inner->IsStackEmpty());
  stack->PushRecord(second);
  stack->ClearRecords();
  EXPECT_EQ(stack->PeekRecord(), StackRecord{});
  ReleaseRecordStack(stack);
}

TEST(RecordStackTest, ACopySharesTheNodes) {
  RecordStack* stack = NewRecordStack();
  StackRecord record{};
  record[2] = 4;
  stack->PushRecord(record);
  RecordStack* copy = stack->CopyRecordStack();
  EXPECT_NE(copy->inner, stack->inner);
  EXPECT_EQ(copy->inner->head, stack->inner->head);
  EXPECT_EQ(copy->PeekRecord(), record);
  delete copy->inner;
  delete copy;
  stack->ClearRecords();
  ReleaseRecordStack(stack);
}

TEST(ProcessMapTest, TheFirstCallPublishesTheMapAndLaterCallsFindIt) {
  StringMapHolder* map = GetProcessStringMap();
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(PublishedValue(), std::to_string(reinterpret_cast<int32_t>(map)));
  EXPECT_EQ(GetProcessStringMap(), map);
  StoreProcessStringMap("_SEH.test", 42);
  EXPECT_EQ(LookupProcessStringMap("_SEH.test"), 42);
  EXPECT_EQ(map->map->GetMapValue("_SEH.test"), 42);
}

TEST(ProcessMapTest, EachThreadHasItsOwnMapAndTryListInOneSharedSlot) {
  StoreThreadStringMap("k", 1);
  TryList* mine = GetThreadTryList();
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(GetThreadTryList(), mine);
  EXPECT_EQ(mine->snapshots->exceptionRecordCopy, nullptr);
  EXPECT_EQ(mine->snapshots->contextCopy, nullptr);
  EXPECT_TRUE(mine->records->inner->IsStackEmpty());
  const int32_t slot = LookupProcessStringMap("__threadStrMap");
  EXPECT_GT(slot, 0);

  int32_t otherValue = -1;
  TryList* other = nullptr;
  std::thread([&] {
    otherValue = LookupThreadStringMap("k");
    other = GetThreadTryList();
  }).join();
  EXPECT_EQ(otherValue, 0);
  EXPECT_NE(other, mine);
  EXPECT_EQ(LookupThreadStringMap("k"), 1);
  EXPECT_EQ(LookupProcessStringMap("__threadStrMap"), slot);
}

TEST(ProcessMapTest, ASlotOnceMadeIsFoundUnderItsKey) {
  const DWORD slot = ProcessTlsSlot("_test.slot");
  ASSERT_NE(slot, TLS_OUT_OF_INDEXES);
  EXPECT_NE(slot, 0u);
  EXPECT_EQ(ProcessTlsSlot("_test.slot"), slot);
  EXPECT_EQ(LookupProcessStringMap("_test.slot"), static_cast<int32_t>(slot));
}

}  // namespace
