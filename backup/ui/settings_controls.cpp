#include "backup/ui/settings_controls.h"

#include <array>
#include <string>

namespace kavrel {

ScheduleFields NormaliseTimeFields() {
  ui::Form& window = MainWindow();
  std::array<std::string, kScheduleCount> texts;
  for (int k = 0; k < kScheduleCount; ++k) texts[k] = window.Text(kScheduleBoxes[k]);
  ScheduleFields fields(texts);
  fields.Normalise();
  for (int k = 0; k < kScheduleCount; ++k)
    if (fields.Text(k) != texts[k]) window.SetText(kScheduleBoxes[k], fields.Text(k));
  return fields;
}

}  // namespace kavrel
