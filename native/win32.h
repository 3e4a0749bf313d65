// Declarations of the few Win32 types and functions the plug-in code calls, for the
// native (Linux) build. Whoever links the native code supplies the functions: the
// unit tests record the calls, the benchmarks do nothing with them.
#pragma once

#include <cstdint>

#define WINAPI
#define CALLBACK
#define TRUE 1
#define FALSE 0

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef intptr_t INT_PTR;
typedef intptr_t LPARAM;
typedef uintptr_t WPARAM;
typedef DWORD COLORREF;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;

typedef struct HDC__* HDC;
typedef struct HGDIOBJ__* HGDIOBJ;
typedef HGDIOBJ HPEN;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;

struct POINT {
  int32_t x;
  int32_t y;
};
typedef POINT* LPPOINT;

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define PS_SOLID 0
#define TLS_OUT_OF_INDEXES ((DWORD)0xFFFFFFFF)
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define IDOK 1
#define IDCANCEL 2
#define LOWORD(l) ((WORD)(((uintptr_t)(l)) & 0xffff))
#define MAKEINTRESOURCEA(i) ((LPSTR)((uintptr_t)((WORD)(i))))

// Kernel
DWORD GetTickCount();
DWORD TlsAlloc();
LPVOID TlsGetValue(DWORD index);
BOOL TlsSetValue(DWORD index, LPVOID value);
BOOL TlsFree(DWORD index);
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR path);
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer,
                               DWORD size, LPCSTR path);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR text, LPCSTR path);
// Code page 932, the plug-ins' code page: defined here, so that every native build has it.
inline BOOL IsDBCSLeadByte(BYTE value) { return (value >= 0x81 && value <= 0x9F) || (value >= 0xE0 && value <= 0xFC); }

// GDI
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
HPEN CreatePen(int style, int width, COLORREF colour);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous);
BOOL LineTo(HDC dc, int x, int y);
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);

// User
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR resource, HWND owner, DLGPROC proc,
                        LPARAM initValue);
BOOL EndDialog(HWND window, INT_PTR result);
HWND GetDlgItem(HWND window, int id);
HWND SetFocus(HWND window);
BOOL SetDlgItemInt(HWND window, int id, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND window, int id, BOOL* translated, BOOL isSigned);
BOOL SetDlgItemTextA(HWND window, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND window, int id, LPSTR text, int size);
