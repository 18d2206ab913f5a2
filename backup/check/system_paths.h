// What the system says about a path: its volume's file system, the system
// directory, the system attribute of a folder.
#pragma once
#include <string>

namespace kavrel {

// File-system name of the volume at root ("NTFS", "FAT32"); blanks when unreadable.
std::string GetFileSystemName(const std::string& root);
// The system directory, ending with "\".
std::string GetSystemDirectoryPath();
// False for an empty text, else whether the shell treats the folder as a system folder.
bool IsSystemFolder(const std::string& path);

}  // namespace kavrel
