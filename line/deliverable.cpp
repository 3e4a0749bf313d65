// line.zvx: its strings and its setting.
#include "deliverable.h"

#include "line.h"

extern const Deliverable deliverable = {
    "水",    // name
    "設定",  // configLabel
    {"Test", "line", SettingKind::Count, 1024, nullptr, &lineCount, nullptr},
};
