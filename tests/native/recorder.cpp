#include "recorder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

Recorder recorder;

void ResetRecorder() { recorder = Recorder(); }

HDC TestDc() { return reinterpret_cast<HDC>(0x2000); }

std::vector<GdiCall> CallsOf(Op op) {
  std::vector<GdiCall> found;
  for (const GdiCall& call : recorder.calls) {
    if (call.op == op) found.push_back(call);
  }
  return found;
}

static void Record(GdiCall call) { recorder.calls.push_back(std::move(call)); }

DWORD GetTickCount() { return recorder.tick; }

// Thread-local slots, as many as a small test needs.
static constexpr DWORD SLOT_COUNT = 8;
static DWORD slotsTaken = 0;
static thread_local void* slots[SLOT_COUNT];

DWORD TlsAlloc() { return slotsTaken < SLOT_COUNT ? slotsTaken++ : TLS_OUT_OF_INDEXES; }
LPVOID TlsGetValue(DWORD index) { return slots[index]; }
BOOL TlsSetValue(DWORD index, LPVOID value) {
  slots[index] = value;
  return TRUE;
}
BOOL TlsFree(DWORD) { return TRUE; }

static const std::string* ProfileEntry(LPCSTR section, LPCSTR key, LPCSTR path) {
  recorder.profilePathsUsed.push_back(path);
  auto found = recorder.profile.find(std::string(section) + "/" + key);
  return found == recorder.profile.end() ? nullptr : &found->second;
}

// Like the system: the leading decimal number of the value, as unsigned.
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR path) {
  const std::string* value = ProfileEntry(section, key, path);
  if (value == nullptr) return static_cast<UINT>(defaultValue);
  return static_cast<UINT>(std::strtoll(value->c_str(), nullptr, 10));
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer,
                               DWORD size, LPCSTR path) {
  const std::string* value = ProfileEntry(section, key, path);
  std::string text = value != nullptr ? *value : std::string(defaultText);
  if (text.size() > size - 1) text.resize(size - 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR text, LPCSTR path) {
  recorder.profilePathsUsed.push_back(path);
  recorder.profile[std::string(section) + "/" + key] = text;
  return TRUE;
}

COLORREF SetPixel(HDC, int x, int y, COLORREF colour) {
  Record({Op::SetPixel, x, y, colour, nullptr, {}});
  return colour;
}

HPEN CreatePen(int, int, COLORREF colour) {
  ++recorder.livePens;
  HPEN pen = reinterpret_cast<HPEN>(static_cast<uintptr_t>(0x3000 + recorder.calls.size()));
  Record({Op::CreatePen, 0, 0, colour, pen, {}});
  return pen;
}

HGDIOBJ SelectObject(HDC, HGDIOBJ object) {
  Record({Op::SelectObject, 0, 0, 0, object, {}});
  HGDIOBJ previous = recorder.selectedPen;
  recorder.selectedPen = object;
  return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
  --recorder.livePens;
  Record({Op::DeleteObject, 0, 0, 0, object, {}});
  return TRUE;
}

BOOL MoveToEx(HDC, int x, int y, LPPOINT) {
  Record({Op::MoveTo, x, y, 0, nullptr, {}});
  return TRUE;
}

BOOL LineTo(HDC, int x, int y) {
  Record({Op::LineTo, x, y, 0, nullptr, {}});
  return TRUE;
}

BOOL TextOutA(HDC, int x, int y, LPCSTR text, int length) {
  Record({Op::TextOut, x, y, 0, nullptr, std::string(text, static_cast<size_t>(length))});
  return TRUE;
}

// The dialog runs its procedure for the opening and for the one button pressed.
static INT_PTR dialogResult;

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR, HWND, DLGPROC proc, LPARAM initValue) {
  if (!recorder.dialogOpens) return -1;
  HWND window = reinterpret_cast<HWND>(0x4000);
  dialogResult = 0;
  proc(window, WM_INITDIALOG, 0, initValue);
  proc(window, WM_COMMAND, static_cast<WPARAM>(recorder.dialogButton), 0);
  return dialogResult;
}

BOOL EndDialog(HWND, INT_PTR result) {
  dialogResult = result;
  return TRUE;
}

HWND GetDlgItem(HWND, int) { return nullptr; }
HWND SetFocus(HWND) { return nullptr; }

BOOL SetDlgItemInt(HWND, int, UINT value, BOOL) {
  recorder.dialogShown = std::to_string(value);
  return TRUE;
}

// Like the system: an unsigned decimal number filling the field, 0 otherwise.
UINT GetDlgItemInt(HWND, int, BOOL*, BOOL) {
  const std::string& field = recorder.dialogField;
  if (field.empty() || field.size() > 10 || field.find_first_not_of("0123456789") != std::string::npos) return 0;
  const unsigned long long value = std::strtoull(field.c_str(), nullptr, 10);
  return value > 0xFFFFFFFFull ? 0 : static_cast<UINT>(value);
}

BOOL SetDlgItemTextA(HWND, int, LPCSTR text) {
  recorder.dialogShown = text;
  return TRUE;
}

// Cut to the buffer byte by byte, as the system may do.
UINT GetDlgItemTextA(HWND, int, LPSTR text, int size) {
  if (size <= 0) return 0;
  const size_t length = std::min(recorder.dialogField.size(), static_cast<size_t>(size - 1));
  std::memcpy(text, recorder.dialogField.data(), length);
  text[length] = '\0';
  return static_cast<UINT>(length);
}
