// Calling Config with nobody at the keyboard: whatever dialog it opens on this thread
// is cancelled as a person would (IDCANCEL), and a Config that opens none returns at
// once as before.
#pragma once

#include "plugin_host.h"

struct UnattendedConfig {
  MeasuredCall call;
  bool dialogSeen;  // a dialog opened and was sent IDCANCEL
};

UnattendedConfig CallConfigUnattended(const LoadedPlugin& plugin, const ViewInfo& view);
