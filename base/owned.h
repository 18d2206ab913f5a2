// The owners of every handle the programs hold: kernel handles (files,
// threads, snapshots, timers), directory searches, GDI objects, COM pointers
// and the COM apartment. Owned: a pointer-sized owner of one
// heap value; copies duplicate the value, a replaced value is freed. It keeps
// records that hold it standard-layout and their members four bytes wide on
// the 32-bit build.
#pragma once
#include <windows.h>
#include <shtypes.h>

#include <memory>
#include <string>
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

// A file, thread, snapshot or other kernel handle, closed when the owner goes; both
// null and INVALID_HANDLE_VALUE mean none. Moves, never copies.
class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.handle_;
      other.handle_ = nullptr;
    }
    return *this;
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  ~OwnedHandle() { Close(); }
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  explicit operator bool() const { return Valid(); }
  HANDLE Get() const { return handle_; }
  void Close() {
    if (Valid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

}  // namespace shell

namespace shell {

// The owner of one GDI object (a bitmap, brush or font): deleted when replaced
// or when the owner goes. Moves, never copies.
template <typename H>
class OwnedGdi {
 public:
  OwnedGdi() = default;
  explicit OwnedGdi(H handle) : handle_(handle) {}
  OwnedGdi(OwnedGdi&& other) noexcept : handle_(other.Release()) {}
  OwnedGdi& operator=(OwnedGdi&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  OwnedGdi(const OwnedGdi&) = delete;
  OwnedGdi& operator=(const OwnedGdi&) = delete;
  ~OwnedGdi() { Reset(); }

  H get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  H Release() {
    H handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void Reset(H handle = nullptr) {
    if (handle_) DeleteObject(handle_);
    handle_ = handle;
  }

 private:
  H handle_ = nullptr;
};

}  // namespace shell

namespace shell {

// A unique owner of a pointer that Free releases (a COM interface, a GDI+
// image): OwnedPtr<IStream, ReleaseInterface>.
template <auto Free>
struct FreeWith {
  template <typename T>
  void operator()(T* p) const { Free(p); }
};
template <typename T, auto Free>
using OwnedPtr = std::unique_ptr<T, FreeWith<Free>>;

inline void ReleaseInterface(IUnknown* p) { p->Release(); }
using OwnedDispatch = OwnedPtr<IDispatch, ReleaseInterface>;
using OwnedItemList = OwnedPtr<ITEMIDLIST, CoTaskMemFree>;
using OwnedRegistryKey = OwnedPtr<HKEY__, RegCloseKey>;

}  // namespace shell

namespace shell {

// A directory search (FindFirstFileW/FindNextFileW), closed when it goes;
// Entry is the entry found last. Wide, so that every name is seen as it is.
class FileSearch {
 public:
  explicit FileSearch(const std::wstring& pattern)
      : handle_(FindFirstFileW(pattern.c_str(), &entry_)), error_(Found() ? ERROR_SUCCESS : GetLastError()) {}
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;
  ~FileSearch() { if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_); }

  bool Found() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next() {
    if (FindNextFileW(handle_, &entry_)) return true;
    error_ = GetLastError();
    return false;
  }
  const WIN32_FIND_DATAW& Entry() const { return entry_; }
  bool IsDirectory() const { return (entry_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  // True when there was no folder to search in.
  bool FolderMissing() const { return error_ == ERROR_PATH_NOT_FOUND; }
  // True when the search ended on an error, not because nothing (more) was there.
  bool Failed() const {
    return error_ != ERROR_SUCCESS && error_ != ERROR_NO_MORE_FILES && error_ != ERROR_FILE_NOT_FOUND &&
           error_ != ERROR_PATH_NOT_FOUND;
  }

 private:
  WIN32_FIND_DATAW entry_;
  HANDLE handle_;
  DWORD error_;
};

// The calling thread's COM apartment, entered for the owner's life.
class ComApartment {
 public:
  ComApartment() : entered_(SUCCEEDED(CoInitialize(nullptr))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  // Only an apartment this owner entered is left.
  ~ComApartment() {
    if (entered_) CoUninitialize();
  }

 private:
  bool entered_;
};

}  // namespace shell
