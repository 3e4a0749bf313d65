#include "plugin.h"

// The settings dialog is not built yet: Config only takes note of the view.
bool PLUGIN_CALL Config(ViewInfo view) {
  RecordView(view);
  return false;
}
