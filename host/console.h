// Text output of zvxhost. All its text is UTF-8 inside; it goes out as UTF-8 to files
// and pipes and as UTF-16 to a console, so that plug-in names show on any system.
// Writes are unbuffered: a line is out before the next call into a plug-in.
#pragma once

#include <string>

void Print(const std::string& text);       // standard output
void PrintError(const std::string& text);  // standard error

// A plug-in's strings are in code page 932 whatever the system's code page is.
std::string Cp932ToUtf8(const char* text);
std::wstring Utf8ToWide(const std::string& text);

// A progress bar on standard error, only when it is a console and only once the work
// has taken a moment; EndProgress clears it away.
void ShowProgress(const std::string& label, long done, long total);
void EndProgress();
