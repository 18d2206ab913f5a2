// Runs the two single-instance guards as a program start does and reports
// how far it got; with "wait" it then stays up until it is killed.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/utilities.h"

int main(int argc, char** argv) {
  const char* mutexName = argc > 1 ? argv[1] : "kavrel_guard_probe";
  GuardSingleInstanceByProcess(std::string(), 1, true, nullptr);
  std::printf("process guard passed\n");
  std::fflush(stdout);
  GuardSingleInstanceByMutex(mutexName, true, nullptr);
  std::printf("mutex guard passed\n");
  std::fflush(stdout);
  if (argc > 2 && std::strcmp(argv[2], "wait") == 0) Sleep(INFINITE);
  return 3;
}
