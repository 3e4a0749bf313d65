// vectrel.zvx: its strings and its setting.
#include "deliverable.h"

#include "vectrel.h"

extern const Deliverable deliverable = {
    "文字と線",  // name
    "設定",      // configLabel
    {"BG01", "string", SettingKind::Text, 0, "Velmora", nullptr, text},
};
