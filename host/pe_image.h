// What a loader sees of a PE file: header facts, exports and imports, read from the
// file itself without loading it.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

struct PeExport {
  std::string name;
  uint32_t ordinal;
};

struct PeImage {
  uint16_t machine = 0;          // 0x14C for i386
  uint16_t characteristics = 0;  // IMAGE_FILE_DLL and others
  uint16_t magic = 0;            // 0x10B for PE32
  uint16_t osVersion[2] = {};
  uint16_t subsystemVersion[2] = {};
  std::vector<PeExport> exports;  // the exports by name
  uint32_t exportedFunctions = 0;  // all exports, those by ordinal only included
  std::map<std::string, std::set<std::string>> imports;  // DLL name (upper case) -> functions
};

// On failure `error` says why ("no such file", "not a PE file", ...), without the path.
bool ReadPeImage(const std::string& path, PeImage* image, std::string* error);
