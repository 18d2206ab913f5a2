// A pointer-sized owner of one heap value: copies duplicate the value, a
// replaced value is freed. It keeps records that hold it standard-layout and
// their members four bytes wide on the 32-bit build.
#pragma once
#include <windows.h>

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

// A file, thread or other kernel handle, closed when the owner goes; both
// null and INVALID_HANDLE_VALUE mean none.
class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  ~OwnedHandle() { Close(); }
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  void Close() {
    if (Valid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

}  // namespace shell
