// The settings dialog: resource 101 with one edit field for the deliverable's setting.
#include "deliverable.h"
#include "platform.h"
#include "plugin.h"
#include "settings.h"

constexpr int SETTINGS_DIALOG = 101;
constexpr int SETTING_FIELD = 1000;
// The text read back from the field, NUL included; shorter than the held buffer.
constexpr int FIELD_TEXT_SIZE = 250;

static void ShowSetting(HWND window) {
  const Setting& setting = deliverable.setting;
  if (setting.kind == SettingKind::Count) {
    SetDlgItemInt(window, SETTING_FIELD, static_cast<UINT>(*setting.count), FALSE);
  } else {
    SetDlgItemTextA(window, SETTING_FIELD, setting.text);
  }
}

// No range check here: an out-of-range count is held and saved as entered, and a
// number from 2^31 up becomes negative. Loading clamps it later.
static void TakeSetting(HWND window) {
  const Setting& setting = deliverable.setting;
  if (setting.kind == SettingKind::Count) {
    *setting.count = static_cast<int32_t>(GetDlgItemInt(window, SETTING_FIELD, nullptr, FALSE));
  } else {
    GetDlgItemTextA(window, SETTING_FIELD, setting.text, FIELD_TEXT_SIZE);
    DropSplitCharacter(setting.text);
  }
}

static INT_PTR CALLBACK SettingsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    // The file may have changed since Init: show what it holds now.
    LoadSetting();
    ShowSetting(window);
    SetFocus(GetDlgItem(window, SETTING_FIELD));
  } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    TakeSetting(window);
    SaveSetting();
    EndDialog(window, IDOK);
  } else if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    EndDialog(window, IDCANCEL);
  }
  // FALSE after WM_INITDIALOG too: the focus is set already.
  return FALSE;
}

bool PLUGIN_CALL Config(ViewInfo view) {
  RecordView(view);
  INT_PTR result = DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(SETTINGS_DIALOG), view.ownerWindow,
                                   SettingsDialogProc, 0);
  return result == IDOK;
}
