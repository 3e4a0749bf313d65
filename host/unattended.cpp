#include "unattended.h"

namespace {

bool dialogSeen;

BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
  char className[16];
  // "#32770" is the class of every dialog box, message boxes included.
  if (GetClassNameA(window, className, sizeof className) > 0 && lstrcmpA(className, "#32770") == 0 &&
      IsWindowEnabled(window)) {
    dialogSeen = true;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDCANCEL)));
  }
  return TRUE;
}

// Runs inside the dialog's modal loop, which dispatches this thread's timer messages.
void CALLBACK CancelTimer(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0); }

}  // namespace

UnattendedConfig CallConfigUnattended(const LoadedPlugin& plugin, const ViewInfo& view) {
  dialogSeen = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, CancelTimer);
  UnattendedConfig outcome;
  outcome.call = CallConfig(plugin, view);
  KillTimer(nullptr, timer);
  MSG pending;
  while (PeekMessageA(&pending, reinterpret_cast<HWND>(-1), WM_TIMER, WM_TIMER, PM_REMOVE)) {
  }
  outcome.dialogSeen = dialogSeen;
  return outcome;
}
