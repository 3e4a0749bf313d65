#include "null_win32.h"

#include <cstring>

int32_t profileCount = 1;

HDC BenchDc() { return reinterpret_cast<HDC>(0x2000); }

DWORD GetTickCount() { return 20261211; }

// The random source keeps its state in a slot; it must work, and it is the effect's
// own cost, so these are as cheap as Windows makes them, not nothing.
static constexpr DWORD SLOT_COUNT = 4;
static DWORD slotsTaken = 0;
static thread_local void* slots[SLOT_COUNT];

DWORD TlsAlloc() { return slotsTaken < SLOT_COUNT ? slotsTaken++ : TLS_OUT_OF_INDEXES; }
LPVOID TlsGetValue(DWORD index) { return slots[index]; }
BOOL TlsSetValue(DWORD index, LPVOID value) {
  slots[index] = value;
  return TRUE;
}
BOOL TlsFree(DWORD) { return TRUE; }

UINT GetPrivateProfileIntA(LPCSTR, LPCSTR, int, LPCSTR) { return static_cast<UINT>(profileCount); }

DWORD GetPrivateProfileStringA(LPCSTR, LPCSTR, LPCSTR defaultText, LPSTR buffer, DWORD size, LPCSTR) {
  size_t length = std::strlen(defaultText);
  if (length > size - 1) length = size - 1;
  std::memcpy(buffer, defaultText, length);
  buffer[length] = '\0';
  return static_cast<DWORD>(length);
}

BOOL WritePrivateProfileStringA(LPCSTR, LPCSTR, LPCSTR, LPCSTR) { return TRUE; }

// The drawing calls: nothing but a plausible result.
COLORREF SetPixel(HDC, int, int, COLORREF colour) { return colour; }
HPEN CreatePen(int, int, COLORREF) { return reinterpret_cast<HPEN>(0x3000); }
HGDIOBJ SelectObject(HDC, HGDIOBJ) { return reinterpret_cast<HGDIOBJ>(0x1000); }
BOOL DeleteObject(HGDIOBJ) { return TRUE; }
BOOL MoveToEx(HDC, int, int, LPPOINT) { return TRUE; }
BOOL LineTo(HDC, int, int) { return TRUE; }
BOOL TextOutA(HDC, int, int, LPCSTR, int) { return TRUE; }

// The dialog is never opened here.
INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM) { return -1; }
BOOL EndDialog(HWND, INT_PTR) { return TRUE; }
HWND GetDlgItem(HWND, int) { return nullptr; }
HWND SetFocus(HWND) { return nullptr; }
BOOL SetDlgItemInt(HWND, int, UINT, BOOL) { return TRUE; }
UINT GetDlgItemInt(HWND, int, BOOL*, BOOL) { return 0; }
BOOL SetDlgItemTextA(HWND, int, LPCSTR) { return TRUE; }
UINT GetDlgItemTextA(HWND, int, LPSTR text, int size) {
  if (size > 0) text[0] = '\0';
  return 0;
}
