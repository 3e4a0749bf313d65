// particle.zvx: its strings and its setting.
#include "deliverable.h"

#include "particle.h"

extern const Deliverable deliverable = {
    "粒子",  // name
    "設定",  // configLabel
    {"Particle", "cnt", SettingKind::Count, 32, nullptr, &particleCount, nullptr},
};
