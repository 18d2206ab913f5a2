// A second process for the file tests. "directory" prints the directory the
// program finds itself in; "hold PATH" keeps PATH open without delete sharing,
// says "held" and stays up until it is ended.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/utilities.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "directory") == 0) {
    std::printf("%s", OwnExecutableDirectory().c_str());
    return 0;
  }
  if (argc > 2 && std::strcmp(argv[1], "hold") == 0) {
    HANDLE file = CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(INFINITE);
  }
  return 1;
}
