// A pointer-sized owner of one heap value: copies duplicate the value, a
// replaced value is freed. It keeps records that hold it standard-layout and
// their members four bytes wide on the 32-bit build. Below it, the owners
// of the platform's handles.
#pragma once
#include <windows.h>
#include <shtypes.h>

#include <utility>

namespace shell {

template <typename T>
class Owned {
 public:
  Owned() = default;
  Owned(const Owned& other) : value_(other.value_ ? new T(*other.value_) : nullptr) {}
  Owned& operator=(const Owned& other) {
    if (this != &other) Replace(other.value_ ? new T(*other.value_) : nullptr);
    return *this;
  }
  ~Owned() { delete value_; }

  void Set(T value) { Replace(new T(std::move(value))); }
  void Reset() { Replace(nullptr); }
  const T* get() const { return value_; }
  T* get() { return value_; }
  explicit operator bool() const { return value_ != nullptr; }

 private:
  void Replace(T* fresh) {
    T* previous = value_;
    value_ = fresh;
    delete previous;
  }

  T* value_ = nullptr;
};

// Owns one handle of the platform and gives it back with Release when it goes.
template <typename H, auto Release>
class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(H handle) : handle_(handle) {}
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  ~OwnedHandle() {
    if (handle_) Release(handle_);
  }
  H get() const { return handle_; }
  H* receive() { return &handle_; }  // for a call that fills in a handle; only while empty
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  H handle_ = nullptr;
};

using OwnedKernelHandle = OwnedHandle<HANDLE, CloseHandle>;
using OwnedItemList = OwnedHandle<PIDLIST_ABSOLUTE, CoTaskMemFree>;
using OwnedRegistryKey = OwnedHandle<HKEY, RegCloseKey>;

}  // namespace shell
