// One monitoring pass of the real Kavrel.exe, for scripts that build trees from Linux:
//   kavrel_pass FOLDER\ MONITOR\ BACKUP\ [MONITOR\ BACKUP\ ...]
// prints "text=" and the end text (GBK), then "image=" and each row's image.
// KAVREL_OPTIONS, when set, replaces the options' part of the settings text.
// KAVREL_INTERVAL_MINUTES, when set, is the interval: "text=" is then the
// first text of its countdown, and the run is stopped there.
#include <cstdio>
#include <cstdlib>

#include "apps/kavrel/main_window.h"  // control ids only
#include "e2e/kavrel_driver.h"

int main(int argc, char** argv) {
  using namespace testing_support;
  if (argc < 4 || argc % 2 != 0) return 2;
  kavrel_testing::UserSettings settings;
  settings.threads = 1;  // one worker takes the files in list order
  if (const char* options = std::getenv("KAVREL_OPTIONS")) settings.options = options;
  for (int i = 2; i < argc; i += 2) settings.projects.push_back({argv[i], argv[i + 1], true});
  const char* minutes = std::getenv("KAVREL_INTERVAL_MINUTES");
  const bool interval = minutes && *minutes;
  if (interval) settings.schedule[4] = minutes;
  kavrel_testing::KavrelDriver kavrel(argv[1]);
  if (!kavrel.Start(settings)) return 3;
  const std::string text = interval ? kavrel.CountdownAfterPass() : kavrel.RunOnePass() ? kavrel.Progress() : "";
  if (text.empty()) return 4;
  std::printf("text=%s\n", text.c_str());
  for (size_t row = 0; row < settings.projects.size(); ++row)
    std::printf("image=%d\n", RemoteListImage(kavrel.Control(kavrel::kProjectList), int(row)));
  kavrel.Close();
  return kavrel.WaitForExit(kHangBoundMs) == 0 ? 0 : 5;
}
