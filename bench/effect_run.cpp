#include "effect_run.h"

#include "deliverable.h"
#include "null_win32.h"
#include "plugin.h"

void StartEffect(int32_t count) {
  profileCount = count;
  // Without a profile path the setting keeps its default.
  Init(ViewInfo{800, 600, 0, nullptr, 0, count > 0 ? "bench.ini" : nullptr, 0});
}

int32_t ElementsPerFrame() {
  const Setting& setting = deliverable.setting;
  return setting.kind == SettingKind::Count ? *setting.count : 1;
}
