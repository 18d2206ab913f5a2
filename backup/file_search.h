// A directory search (FindFirstFileA/FindNextFileA) closed when it goes, and
// the path tests built on it.
#pragma once
#include <windows.h>

#include <string>

namespace kavrel {

class FileSearch {
 public:
  explicit FileSearch(const std::string& pattern) : handle_(FindFirstFileA(pattern.c_str(), &entry_)) {}
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;
  ~FileSearch() { if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_); }

  bool Found() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next() { return FindNextFileA(handle_, &entry_) != FALSE; }
  const WIN32_FIND_DATAA& Entry() const { return entry_; }
  bool IsDirectory() const { return (entry_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

 private:
  WIN32_FIND_DATAA entry_;
  HANDLE handle_;
};

// True when a search for path finds an entry.
inline bool PathExists(const std::string& path) { return FileSearch(path).Found(); }

}  // namespace kavrel
