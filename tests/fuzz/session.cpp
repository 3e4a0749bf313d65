#include "session.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "deliverable.h"
#include "platform.h"
#include "recorder.h"

void FuzzCheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "check failed: %s (%s:%d)\n", condition, file, line);
  std::abort();
}

namespace {

const char PROFILE[] = "fuzz.ini";
constexpr int MAX_CALLS = 48;  // host calls per input: keeps each run short

std::string Key() { return std::string(deliverable.setting.section) + "/" + deliverable.setting.key; }

bool IsText() { return deliverable.setting.kind == SettingKind::Text; }

// Sizes: mostly the ones where arithmetic turns, sometimes any 32-bit value.
int32_t Size(FuzzedDataProvider& in) {
  static const int32_t SIZES[] = {0, 1, 2, 3, -1, -640, 640, 480, 4095, 4096, 5000, 100000, INT32_MAX, INT32_MIN};
  if (in.ConsumeBool()) return in.ConsumeIntegral<int32_t>();
  return SIZES[in.ConsumeIntegralInRange<size_t>(0, sizeof(SIZES) / sizeof(SIZES[0]) - 1)];
}

// A value as a person or another program may leave it: a number or any bytes.
std::string Value(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return std::to_string(in.ConsumeIntegralInRange<int64_t>(-8, 5000));
    case 1:
      return std::to_string(in.ConsumeIntegral<int64_t>());
    default:
      return in.ConsumeRandomLengthString(320);
  }
}

ViewInfo View(FuzzedDataProvider& in) {
  const int32_t width = Size(in);
  const int32_t height = Size(in);
  const bool noPath = in.ConsumeIntegralInRange(0, 15) == 0;
  return ViewInfo{width, height, in.ConsumeIntegral<uint32_t>(), nullptr, 0, noPath ? nullptr : PROFILE, 0};
}

bool IsLead(char c) { return IsDBCSLeadByte(static_cast<BYTE>(c)) != 0; }

// The held text: a prefix of `source`, at most `limit` bytes, short of it by at most
// the first byte of a two-byte character, and never ending inside one.
void CheckHeldText(const std::string& source, size_t limit) {
  const std::string held(deliverable.setting.text);
  const std::string whole = source.substr(0, std::strlen(source.c_str()));  // up to a NUL
  FUZZ_CHECK(held.size() <= limit);
  FUZZ_CHECK(whole.compare(0, held.size(), held) == 0);
  const size_t cut = std::min(whole.size(), limit);
  FUZZ_CHECK(held.size() == cut || (held.size() + 1 == cut && IsLead(whole[held.size()])));
  for (size_t i = 0; i < held.size(); ++i) {
    if (IsLead(held[i])) FUZZ_CHECK(++i < held.size());
  }
}

// What the profile function returns for a count: the leading number, as unsigned.
int32_t StoredCount(const std::string* value) {
  if (value == nullptr) return deliverable.setting.defaultCount;
  return static_cast<int32_t>(static_cast<UINT>(std::strtoll(value->c_str(), nullptr, 10)));
}

void CheckLoaded(const ViewInfo& view) {
  const auto entry = recorder.profile.find(Key());
  const std::string* stored = view.profilePath != nullptr && entry != recorder.profile.end() ? &entry->second : nullptr;
  if (IsText()) {
    CheckHeldText(stored != nullptr ? *stored : std::string(deliverable.setting.defaultText), TEXT_SETTING_SIZE - 1);
  } else {
    const int32_t count = StoredCount(stored);
    FUZZ_CHECK(*deliverable.setting.count == (count > 4096 ? 4096 : count < 1 ? 1 : count));
  }
}

std::string HeldAsSaved() {
  return IsText() ? std::string(deliverable.setting.text) : std::to_string(*deliverable.setting.count);
}

void RunConfig(FuzzedDataProvider& in) {
  const ViewInfo view = View(in);
  recorder.dialogOpens = in.ConsumeIntegralInRange(0, 7) != 0;
  recorder.dialogButton = in.ConsumeBool() ? IDOK : IDCANCEL;
  recorder.dialogField = Value(in);
  const auto before = recorder.profile;
  const bool confirmed = Config(view);
  FUZZ_CHECK(std::memcmp(&recordedView, &view, sizeof(view)) == 0);
  FUZZ_CHECK(confirmed == (recorder.dialogOpens && recorder.dialogButton == IDOK));
  if (!recorder.dialogOpens) {
    FUZZ_CHECK(recorder.profile == before);
    return;
  }
  if (!confirmed) {
    CheckLoaded(view);  // opening the dialog reloads the setting
    FUZZ_CHECK(recorder.profile == before);
    return;
  }
  if (IsText()) {
    CheckHeldText(recorder.dialogField, 249);
  } else {
    FUZZ_CHECK(*deliverable.setting.count == static_cast<int32_t>(GetDlgItemInt(nullptr, 1000, nullptr, FALSE)));
  }
  // Saved as held, to the key of this plug-in only.
  auto expected = before;
  if (view.profilePath != nullptr) expected[Key()] = HeldAsSaved();
  FUZZ_CHECK(recorder.profile == expected);
}

}  // namespace

int RunSession(const uint8_t* data, size_t size, const EffectChecks& checks) {
  FuzzedDataProvider in(data, size);
  ResetRecorder();
  recorder.tick = in.ConsumeIntegral<uint32_t>();
  bool running = false;
  for (int call = 0; call < MAX_CALLS && in.remaining_bytes() > 0; ++call) {
    switch (in.ConsumeIntegralInRange(0, 5)) {
      case 0: {
        const ViewInfo view = View(in);
        const auto before = recorder.profile;
        Init(view);
        FUZZ_CHECK(std::memcmp(&recordedView, &view, sizeof(view)) == 0);
        FUZZ_CHECK(recorder.profile == before);
        CheckLoaded(view);
        checks.afterInit(view);
        running = true;
        break;
      }
      case 1:
        recorder.calls.clear();
        checks.beforeDraw();
        Draw(in.ConsumeIntegral<uint32_t>(), in.ConsumeIntegral<uint32_t>(), TestDc());
        FUZZ_CHECK(recorder.livePens == 0);
        FUZZ_CHECK(recorder.selectedPen == recorder.initialPen);
        checks.afterDraw(running);
        break;
      case 2:
        RunConfig(in);
        break;
      case 3:
        Quit();
        checks.afterQuit();
        running = false;
        break;
      case 4:  // the file changes behind the plug-in's back
        if (in.ConsumeIntegralInRange(0, 3) == 0) {
          recorder.profile.erase(Key());
        } else {
          recorder.profile[Key()] = Value(in);
        }
        break;
      default:
        recorder.tick = in.ConsumeIntegral<uint32_t>();
        break;
    }
  }
  // Every input ends stopped, so that each one's allocations are its own.
  Quit();
  checks.afterQuit();
  return 0;
}
