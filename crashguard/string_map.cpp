#include "crashguard/string_map.h"

#include <cstring>

namespace crashguard {

namespace {

const char* OrEmpty(const char* text) { return text ? text : ""; }

}  // namespace

const StringMapOperations& StringMapTable() {
  static const StringMapOperations table = {
      &StringMap::DestroyStringMap,
      &StringMap::CopyStringMap,
      &StringMap::GetMapValue,
      &StringMap::SetMapValue,
  };
  return table;
}

StringMapHolder* NewStringMap() {
  auto* map = new StringMap{&StringMapTable(), {}};
  return new StringMapHolder{map, 0};
}

void ReleaseStringMap(StringMapHolder* holder) {
  if (!holder) return;
  if (holder->map) {
    (holder->map->*(holder->map->operations->destroyStringMap))();
    delete holder->map;
  }
  delete holder;
}

void StringMap::DestroyStringMap() {
  for (StringMapItem* item : items) delete item;
  std::vector<StringMapItem*>().swap(items);
}

StringMap* StringMap::CopyStringMap() const {
  auto* copy = new StringMap{operations, {}};
  copy->items.reserve(items.size());
  for (const StringMapItem* item : items) copy->items.push_back(new StringMapItem{item->key, item->value});
  return copy;
}

int32_t StringMap::GetMapValue(const char* key) const {
  key = OrEmpty(key);
  for (const StringMapItem* item : items)
    if (item->key == key) return item->value;
  return 0;
}

void StringMap::SetMapValue(const char* key, int32_t value) {
  key = OrEmpty(key);
  for (StringMapItem* item : items)
    if (item->key == key) {
      item->value = value;
      return;
    }
  items.push_back(new StringMapItem{key, value});
}

}  // namespace crashguard
