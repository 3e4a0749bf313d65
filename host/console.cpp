#include "console.h"

#include <windows.h>

namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode;
  return GetConsoleMode(handle, &mode) != 0;
}

void Write(DWORD which, const std::string& text) {
  HANDLE handle = GetStdHandle(which);
  DWORD written;
  if (IsConsole(handle)) {
    std::wstring wide = Utf8ToWide(text);
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

std::wstring ToWide(UINT codePage, const char* text, int length) {
  int size = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
  std::wstring wide(size, L'\0');
  MultiByteToWideChar(codePage, 0, text, length, wide.data(), size);
  return wide;
}

DWORD progressStart;
DWORD progressDrawn;
bool progressShown;

}  // namespace

void Print(const std::string& text) { Write(STD_OUTPUT_HANDLE, text); }
void PrintError(const std::string& text) { Write(STD_ERROR_HANDLE, text); }

std::wstring Utf8ToWide(const std::string& text) { return ToWide(CP_UTF8, text.data(), static_cast<int>(text.size())); }

std::string Cp932ToUtf8(const char* text) {
  std::wstring wide = ToWide(932, text, lstrlenA(text));
  int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

void ShowProgress(const std::string& label, long done, long total) {
  if (!IsConsole(GetStdHandle(STD_ERROR_HANDLE)) || total <= 0) return;
  DWORD now = GetTickCount();
  if (done == 0 || progressStart == 0) progressStart = now;
  // Short work gets no bar; long work gets one, redrawn at most ten times a second.
  if (now - progressStart < 700 || (done < total && now - progressDrawn < 100)) return;
  progressDrawn = now;
  const int width = 30;
  int filled = static_cast<int>(static_cast<long long>(done) * width / total);
  std::string bar = "\r" + label + " [" + std::string(filled, '#') + std::string(width - filled, '-') + "] " +
                    std::to_string(done) + "/" + std::to_string(total);
  PrintError(bar);
  progressShown = true;
}

void EndProgress() {
  if (progressShown) PrintError("\r" + std::string(79, ' ') + "\r");
  progressShown = false;
  progressStart = 0;
}
