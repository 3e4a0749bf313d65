#include "supervise.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Shared between parent and worker. The worker writes, the parent reads; each field
// is a single aligned word or a text written before the call it describes.
struct WorkerStatus {
  volatile LONG entry;
  volatile LONG serial;  // changes at every MarkCall: a call that runs long keeps it
  volatile LONG timed;
  volatile LONG finished;
  volatile DWORD exceptionCode;
  volatile DWORD exceptionAddress;
  volatile DWORD imageBase;
  volatile DWORD imageSize;
  volatile LONG itemCount;
  volatile LONG passed;
  volatile LONG failed;
  char item[32];
  char step[64];
};

WorkerStatus* status;  // the worker's view; null outside a worker

const char* const ENTRY_NAMES[] = {"zvxhost", "DllMain on load", "Stat", "Init",
                                   "Draw",    "Config",          "Quit", "DllMain on unload"};

struct ExceptionName {
  DWORD code;
  const char* name;
};

const ExceptionName EXCEPTION_NAMES[] = {
    {0xC0000005, "access violation"},
    {0xC000001D, "illegal instruction"},
    {0xC0000094, "integer division by zero"},
    {0xC0000095, "integer overflow"},
    {0xC00000FD, "stack overflow"},
    {0xC0000096, "privileged instruction"},
    {0x80000003, "breakpoint"},
    {0xC0000374, "heap corruption"},
    {0xC0000409, "stack buffer overrun"},
    {0xC000008C, "array bounds exceeded"},
    {0xC000008E, "floating-point division by zero"},
    {0xC0000090, "invalid floating-point operation"},
    {0x80000002, "misaligned data"},
    {0xE06D7363, "C++ exception"},
    {0x20474343, "C++ exception"},
};

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
  return text;
}

std::string DescribeException(DWORD code, DWORD address, DWORD imageBase, DWORD imageSize,
                              const std::string& pluginFile) {
  std::string text = "exception " + Hex(code);
  for (const ExceptionName& known : EXCEPTION_NAMES) {
    if (known.code == code) text = std::string(known.name) + " (" + Hex(code) + ")";
  }
  if (address != 0) {
    char where[64];
    if (address - imageBase < imageSize) {
      std::snprintf(where, sizeof where, "+0x%lX", static_cast<unsigned long>(address - imageBase));
      text += " at " + pluginFile + where;
    } else {
      text += " at " + Hex(address);
    }
  }
  return text;
}

LONG WINAPI WorkerCrashFilter(EXCEPTION_POINTERS* pointers) {
  // Say what and where for the parent, and end here: Wine would otherwise start its
  // debugger, and Windows its error report.
  status->exceptionCode = pointers->ExceptionRecord->ExceptionCode;
  status->exceptionAddress = reinterpret_cast<DWORD>(pointers->ExceptionRecord->ExceptionAddress);
  TerminateProcess(GetCurrentProcess(), pointers->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

void CopyText(char* to, size_t size, const char* from) {
  size_t n = std::strlen(from);
  if (n >= size) n = size - 1;
  std::memcpy(to, from, n);
  to[n] = '\0';
}

HANDLE Inheritable(HANDLE handle) {
  HANDLE copy = nullptr;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS);
  return copy;
}

std::string ProblemOf(const WorkerStatus& seen, DWORD exitCode, const std::string& pluginFile) {
  Entry entry = static_cast<Entry>(seen.entry);
  std::string who = EntryName(entry);
  std::string step = seen.step[0] != '\0' ? std::string(" ") + seen.step : std::string();
  DWORD code = seen.exceptionCode;
  // Without the filter (a smashed exception chain) the system ends the process with
  // the exception's code as its exit code.
  if (code == 0 && exitCode >= 0xC0000000) code = exitCode;
  if (code != 0) {
    std::string what = DescribeException(code, seen.exceptionAddress, seen.imageBase, seen.imageSize, pluginFile);
    if (entry == Entry::None) return "crashed outside the plug-in's entry points" + step + ": " + what;
    return who + " crashed" + step + ": " + what;
  }
  if (entry == Entry::None) return "the worker process ended unexpectedly (exit code " + std::to_string(exitCode) + ")";
  return who + " ended the process" + step + " (exit code " + std::to_string(exitCode) + ")";
}

}  // namespace

const char* EntryName(Entry entry) {
  LONG index = static_cast<LONG>(entry);
  return index >= 0 && index < LONG(sizeof ENTRY_NAMES / sizeof ENTRY_NAMES[0]) ? ENTRY_NAMES[index] : "?";
}

bool BecomeWorker(const char* statusHandle) {
  char* end = nullptr;
  unsigned long value = std::strtoul(statusHandle, &end, 10);
  if (end == statusHandle || *end != '\0') return false;
  void* view = MapViewOfFile(reinterpret_cast<HANDLE>(value), FILE_MAP_WRITE, 0, 0, sizeof(WorkerStatus));
  if (view == nullptr) return false;
  status = static_cast<WorkerStatus*>(view);
  SetUnhandledExceptionFilter(WorkerCrashFilter);
  // No system message box for a plug-in's page faults or missing DLLs: we report them.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  return true;
}

void MarkCall(Entry entry, bool timed) {
  if (status == nullptr) return;
  status->timed = timed;
  status->entry = static_cast<LONG>(entry);
  InterlockedIncrement(&status->serial);
}

void MarkStep(const char* item, const std::string& step) {
  if (status == nullptr) return;
  CopyText(status->item, sizeof status->item, item);
  CopyText(status->step, sizeof status->step, step.c_str());
}

void NotePluginImage(HMODULE module) {
  if (status == nullptr || module == nullptr) return;
  auto base = reinterpret_cast<const BYTE*>(module);
  auto nt =
      reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  status->imageBase = reinterpret_cast<DWORD>(module);
  status->imageSize = nt->OptionalHeader.SizeOfImage;
}

void SetItemCount(int total) {
  if (status != nullptr) status->itemCount = total;
}

void CountItem(bool passed) {
  if (status == nullptr) return;
  if (passed) {
    InterlockedIncrement(&status->passed);
  } else {
    InterlockedIncrement(&status->failed);
  }
}

void FinishWorker() {
  if (status != nullptr) status->finished = 1;
}

bool RunWorker(const std::string& arguments, const std::string& pluginFile, DWORD timeLimitMs, WorkerEnd* end,
               std::string* error) {
  *end = WorkerEnd();
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, &inherit, PAGE_READWRITE, 0, sizeof(WorkerStatus), nullptr);
  if (mapping == nullptr) {
    *error = "cannot create the worker's status block (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  auto seen = static_cast<WorkerStatus*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(WorkerStatus)));

  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string commandLine = std::string("\"") + self + "\" --worker " +
                            std::to_string(reinterpret_cast<uintptr_t>(mapping)) + " " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = Inheritable(GetStdHandle(STD_INPUT_HANDLE));
  startup.hStdOutput = Inheritable(GetStdHandle(STD_OUTPUT_HANDLE));
  startup.hStdError = Inheritable(GetStdHandle(STD_ERROR_HANDLE));
  PROCESS_INFORMATION process = {};
  BOOL started =
      CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  DWORD startError = GetLastError();
  for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
    if (h != nullptr) CloseHandle(h);
  }
  if (!started) {
    UnmapViewOfFile(seen);
    CloseHandle(mapping);
    *error = "cannot start a worker process (error " + std::to_string(startError) + ")";
    return false;
  }
  // If zvxhost itself is stopped, the worker goes with it.
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  if (job != nullptr) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    AssignProcessToJobObject(job, process.hProcess);
  }
  CloseHandle(process.hThread);

  LONG watchedSerial = -1;
  DWORD since = GetTickCount();
  bool hung = false;
  while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
    LONG serial = seen->serial;
    DWORD now = GetTickCount();
    if (serial != watchedSerial) {
      watchedSerial = serial;
      since = now;
    } else if (seen->entry != LONG(Entry::None) && seen->timed && now - since > timeLimitMs) {
      hung = true;
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, INFINITE);
      break;
    }
  }
  GetExitCodeProcess(process.hProcess, &end->exitCode);
  CloseHandle(process.hProcess);
  if (job != nullptr) CloseHandle(job);

  WorkerStatus last = *seen;
  end->finished = last.finished != 0;
  end->item = std::string(last.item, strnlen(last.item, sizeof last.item));
  end->itemCount = last.itemCount;
  end->passed = last.passed;
  end->failed = last.failed;
  last.step[sizeof last.step - 1] = '\0';
  if (hung) {
    char limit[32];
    std::snprintf(limit, sizeof limit, "%.3g s", timeLimitMs / 1000.0);
    std::string step = last.step[0] != '\0' ? std::string(" ") + last.step : std::string();
    end->problem = std::string(EntryName(static_cast<Entry>(last.entry))) + " did not return within " + limit + step +
                   "; stopped it";
  } else if (!end->finished) {
    end->problem = ProblemOf(last, end->exitCode, pluginFile);
  }
  UnmapViewOfFile(seen);
  CloseHandle(mapping);
  return true;
}
