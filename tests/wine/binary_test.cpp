// What the host's loader and the host see of each shipped plug-in file.
#include <gtest/gtest.h>

#include <cstring>

#include "pe_image.h"
#include "stack_check.h"
#include "support.h"

namespace {

struct Shipped {
  const char* file;
  const char* name;  // code page 932, as the host reads it
};

const Shipped SHIPPED[] = {
    {"particle.zvx", "粒子"},
    {"vectrel.zvx", "文字と線"},
    {"line.zvx", "水"},
};

// Everything a plug-in may import: system DLLs only, and functions Windows XP has.
// A new import fails here until it is checked against XP and added.
const std::map<std::string, std::set<std::string>> ALLOWED_IMPORTS = {
    {"GDI32.DLL", {"SetPixel", "CreatePen", "SelectObject", "DeleteObject", "MoveToEx", "LineTo", "TextOutA"}},
    {"USER32.DLL",
     {"DialogBoxParamA", "EndDialog", "GetDlgItem", "SetFocus", "SetDlgItemInt", "GetDlgItemInt",
      "SetDlgItemTextA", "GetDlgItemTextA"}},
    {"KERNEL32.DLL",
     {"DeleteCriticalSection", "EnterCriticalSection", "FreeLibrary", "GetLastError", "GetModuleHandleA",
      "GetPrivateProfileIntA", "GetPrivateProfileStringA", "GetProcAddress", "GetTickCount",
      "InitializeCriticalSection", "LeaveCriticalSection", "LoadLibraryA", "Sleep", "TlsAlloc", "TlsFree",
      "TlsGetValue", "TlsSetValue", "VirtualProtect", "VirtualQuery", "WritePrivateProfileStringA"}},
    {"MSVCRT.DLL",
     {"__setusermatherr", "_amsg_exit", "_errno", "_initterm", "_iob", "_lock", "_unlock", "abort", "calloc",
      "free", "fwrite", "malloc", "realloc", "strlen", "strncmp", "vfprintf", "sin"}},
};

TEST(StackCheck, TellsTheCallingConventionsApart) {
  // Sleep removes its argument itself (stdcall); labs leaves it to the caller (C).
  const uint32_t zero[] = {0};
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  HMODULE crt = LoadLibraryA("msvcrt.dll");
  EXPECT_EQ(CallMeasured(reinterpret_cast<const void*>(GetProcAddress(kernel, "Sleep")), zero, 1).stackMoved, 0);
  EXPECT_EQ(CallMeasured(reinterpret_cast<const void*>(GetProcAddress(crt, "labs")), zero, 1).stackMoved, -4);
}

class ShippedPlugin : public testing::TestWithParam<Shipped> {};

TEST_P(ShippedPlugin, IsAnXpLoadable32BitDll) {
  PeImage image;
  std::string error;
  ASSERT_TRUE(ReadPeImage(ShippedPath(GetParam().file), &image, &error)) << error;
  EXPECT_EQ(image.machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_TRUE(image.characteristics & IMAGE_FILE_DLL);
  EXPECT_EQ(image.magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
  EXPECT_EQ(image.osVersion[0], 5);
  EXPECT_EQ(image.osVersion[1], 1);
  EXPECT_EQ(image.subsystemVersion[0], 5);
  EXPECT_EQ(image.subsystemVersion[1], 1);
}

TEST_P(ShippedPlugin, ExportsOnlyDecoratedStatAtOrdinalOne) {
  PeImage image;
  std::string error;
  ASSERT_TRUE(ReadPeImage(ShippedPath(GetParam().file), &image, &error)) << error;
  ASSERT_EQ(image.exports.size(), 1u);
  EXPECT_EQ(image.exports[0].name, "_Stat@4");
  EXPECT_EQ(image.exports[0].ordinal, 1u);

  HMODULE module = LoadLibraryA(ShippedPath(GetParam().file).c_str());
  ASSERT_NE(module, nullptr);
  FARPROC stat = GetProcAddress(module, "_Stat@4");
  EXPECT_NE(stat, nullptr);
  EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(1)), stat);
  for (const char* alias : {"Stat", "Stat@4", "_Stat"}) EXPECT_EQ(GetProcAddress(module, alias), nullptr) << alias;
  FreeLibrary(module);
}

TEST_P(ShippedPlugin, ImportsOnlySystemFunctionsThatXpHas) {
  PeImage image;
  std::string error;
  ASSERT_TRUE(ReadPeImage(ShippedPath(GetParam().file), &image, &error)) << error;
  for (const auto& [dll, functions] : image.imports) {
    auto allowed = ALLOWED_IMPORTS.find(dll);
    ASSERT_NE(allowed, ALLOWED_IMPORTS.end()) << "imports from " << dll;
    for (const std::string& function : functions) {
      EXPECT_TRUE(allowed->second.count(function)) << "imports " << dll << "!" << function;
    }
  }
}

TEST_P(ShippedPlugin, StatFillsNineWordsAndLeavesTheRest) {
  LoadedPlugin plugin = LoadShipped(GetParam().file);
  ASSERT_NE(plugin.module, nullptr);
  auto stat = reinterpret_cast<const void*>(GetProcAddress(plugin.module, "_Stat@4"));

  uint32_t first[16];
  uint32_t second[16];
  for (uint32_t* record : {first, second}) {
    std::memset(record, 0xA5, sizeof(first));
    const uint32_t args[] = {reinterpret_cast<uint32_t>(record)};
    MeasuredCall call = CallMeasured(stat, args, 1);
    EXPECT_EQ(call.result, 0u);
    EXPECT_EQ(call.stackMoved, 0) << "Stat must remove its own argument";
    EXPECT_TRUE(call.preserved);
  }
  EXPECT_EQ(std::memcmp(first, second, sizeof(first)), 0) << "a second call writes the same";
  EXPECT_EQ(first[0], 0x00010001u);
  EXPECT_EQ(first[1], 0xA5A5A5A5u);
  EXPECT_EQ(first[2], 0xA5A5A5A5u);
  for (int word = 9; word < 16; ++word) EXPECT_EQ(first[word], 0xA5A5A5A5u) << "word " << word;
  EXPECT_STREQ(reinterpret_cast<const char*>(first[3]), GetParam().name);
  EXPECT_STREQ(reinterpret_cast<const char*>(first[4]), "設定");
  for (int word = 5; word < 9; ++word) {
    MEMORY_BASIC_INFORMATION where;
    VirtualQuery(reinterpret_cast<void*>(first[word]), &where, sizeof(where));
    EXPECT_EQ(where.AllocationBase, plugin.module) << "entry point " << word - 5 << " lies in the plug-in";
  }
  ClosePlugin(&plugin);
}

TEST_P(ShippedPlugin, EntryPointsUseTheCCallingConvention) {
  LoadedPlugin plugin = LoadShipped(GetParam().file);
  ASSERT_NE(plugin.module, nullptr);
  TempProfile profile("");
  const std::vector<uint32_t> view = ViewWords(MakeView(320, 240, nullptr, profile.path.c_str()));
  HDC dc = CreateCompatibleDC(nullptr);
  const uint32_t drawArgs[] = {0x11111111, 0x22222222, reinterpret_cast<uint32_t>(dc)};

  struct Call {
    const char* name;
    const void* function;
    const uint32_t* args;
    int count;
  };
  const Call calls[] = {
      {"Init", reinterpret_cast<const void*>(plugin.info.Init), view.data(), 7},
      {"Draw", reinterpret_cast<const void*>(plugin.info.Draw), drawArgs, 3},
      {"Quit", reinterpret_cast<const void*>(plugin.info.Quit), nullptr, 0},
  };
  for (const Call& c : calls) {
    MeasuredCall call = CallMeasured(c.function, c.args, c.count);
    EXPECT_EQ(call.stackMoved, -4 * c.count) << c.name << " must leave its arguments to the caller";
    EXPECT_TRUE(call.preserved) << c.name;
  }
  // Config opens the settings dialog; cancel it.
  MeasuredCall config;
  WithDialog(
      [&] {
        config = CallMeasured(reinterpret_cast<const void*>(plugin.info.Config), view.data(), 7);
        return config.result;
      },
      [](HWND dialog) { ClickButton(dialog, IDCANCEL); });
  EXPECT_EQ(config.stackMoved, -28) << "Config must leave its arguments to the caller";
  EXPECT_TRUE(config.preserved);
  EXPECT_EQ(config.result & 0xFF, 0u) << "cancelled";
  DeleteDC(dc);
  ClosePlugin(&plugin);
}

INSTANTIATE_TEST_SUITE_P(Deliverables, ShippedPlugin, testing::ValuesIn(SHIPPED),
                         [](const testing::TestParamInfo<Shipped>& info) {
                           std::string name = info.param.file;
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
