// Call stacks as report text: a walk over the saved frame pointers, each code
// address named by its module and nearest export; and tracked frames, whose
// return slot leads through the return-hook thunk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace crashguard {

struct CallStackEntry {
  uint32_t returnAddress;  // the real one, replaced in the frame by the thunk's
  uint32_t framePointer;   // the frame whose return slot holds the thunk
  std::string name;
};

struct CallStackList {
  std::vector<CallStackEntry*> entries;  // oldest first
  int32_t reserved;
};

struct StackFrameRecord {
  uint32_t framePointer;
  uint32_t codeAddress;
};

struct StackLine {
  uint32_t codeAddress;
  uint32_t framePointer;
  std::string text;
};

// The one 17-byte thunk per process, made on first use and published.
uint32_t GetPopReturnCallback();
// The current thread's list, made on first use.
CallStackList* GetThreadCallStackSlot();
// The current thread's list is no longer found; freeing it is the caller's
// part (a thread's teardown).
void ForgetThreadCallStackList();
// Removes the newest entry and gives its return address; 0 when empty.
uint32_t PopCallStackRecord();
// The thunk's call target.
uint32_t __stdcall TrackedReturnEntry();
CallStackList* SnapshotCallStackList();
void ReleaseCallStackList(CallStackList* list);

// The frame reached from the caller's frame by following n + 1 saved links,
// and the caller's own return address.
uint32_t GetFrameAbove(int n);
uint32_t GetOwnReturnAddress();

std::vector<StackFrameRecord> CollectFrames(uint32_t framePointer, uint32_t codeAddress);
void WalkCallStack(uint32_t framePointer, uint32_t codeAddress, std::vector<StackLine>& output);
// One line per frame, each indented one blank deeper; "" for an empty walk.
std::string FormatCallStack(uint32_t framePointer, uint32_t codeAddress);

}  // namespace crashguard
