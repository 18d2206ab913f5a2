// String-keyed map of 32-bit values: the crash guard keeps its shared state
// in such maps, published by address, so that every module of a process
// finds the same state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace crashguard {

struct StringMapItem {
  std::string key;
  int32_t value;
};

class StringMap;

// The class's table of operations, in table order.
struct StringMapOperations {
  void (StringMap::*destroyStringMap)();
  StringMap* (StringMap::*copyStringMap)() const;
  int32_t (StringMap::*getMapValue)(const char* key) const;
  void (StringMap::*setMapValue)(const char* key, int32_t value);
};

// Items in insertion order; none is ever removed. A value of 0 cannot be told
// from a missing key, so callers treat a stored 0 as missing.
class StringMap {
 public:
  void DestroyStringMap();
  StringMap* CopyStringMap() const;
  // The first item whose key equals the given one byte for byte; null counts as "".
  int32_t GetMapValue(const char* key) const;
  void SetMapValue(const char* key, int32_t value);

  const StringMapOperations* operations;
  std::vector<StringMapItem*> items;
};
static_assert(std::is_standard_layout_v<StringMap>);
static_assert(offsetof(StringMap, operations) == 0, "the operation table comes first");

// What the maps are published and stored by.
struct StringMapHolder {
  StringMap* map;
  int32_t reserved;  // always 0
};
static_assert(std::is_standard_layout_v<StringMapHolder>);
static_assert(sizeof(StringMapHolder) == 8);

const StringMapOperations& StringMapTable();

// A new holder with an empty map.
StringMapHolder* NewStringMap();
// Destroys the map, frees it and the holder.
void ReleaseStringMap(StringMapHolder* holder);

}  // namespace crashguard
