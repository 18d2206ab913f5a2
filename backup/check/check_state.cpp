#include "backup/check/check_state.h"

namespace kavrel {

namespace {
CheckCounters g_counters;
WorkerSlot g_slots[kWorkerSlotCount];
}  // namespace

CheckCounters& Counters() { return g_counters; }

WorkerSlot& Slot(int index) { return g_slots[index]; }

}  // namespace kavrel
