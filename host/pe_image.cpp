#include "pe_image.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

struct Reader {
  std::vector<uint8_t> bytes;
  std::vector<IMAGE_SECTION_HEADER> sections;

  template <typename T>
  bool Read(size_t offset, T* value) const {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
    std::memcpy(value, bytes.data() + offset, sizeof(T));
    return true;
  }

  // File offset of a relative virtual address, or 0 when no section holds it.
  size_t Offset(uint32_t rva) const {
    for (const IMAGE_SECTION_HEADER& s : sections) {
      uint32_t size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
      if (rva >= s.VirtualAddress && rva - s.VirtualAddress < size) {
        return s.PointerToRawData + (rva - s.VirtualAddress);
      }
    }
    return 0;
  }

  std::string String(uint32_t rva) const {
    size_t offset = Offset(rva);
    std::string text;
    while (offset != 0 && offset < bytes.size() && bytes[offset] != 0 && text.size() < 512) {
      text += static_cast<char>(bytes[offset++]);
    }
    return text;
  }
};

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; });
  return text;
}

}  // namespace

bool ReadPeImage(const std::string& path, PeImage* image, std::string* error) {
  *image = PeImage();
  Reader r;
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    *error = "no such file";
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot be read";
    return false;
  }
  r.bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());

  IMAGE_DOS_HEADER dos;
  IMAGE_NT_HEADERS32 nt;
  if (!r.Read(0, &dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || !r.Read(dos.e_lfanew, &nt) ||
      nt.Signature != IMAGE_NT_SIGNATURE) {
    *error = "not a Windows program or DLL (no PE header)";
    return false;
  }
  image->machine = nt.FileHeader.Machine;
  image->characteristics = nt.FileHeader.Characteristics;
  image->magic = nt.OptionalHeader.Magic;
  if (image->magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    *error = "not a 32-bit (PE32) image";
    return false;
  }
  image->osVersion[0] = nt.OptionalHeader.MajorOperatingSystemVersion;
  image->osVersion[1] = nt.OptionalHeader.MinorOperatingSystemVersion;
  image->subsystemVersion[0] = nt.OptionalHeader.MajorSubsystemVersion;
  image->subsystemVersion[1] = nt.OptionalHeader.MinorSubsystemVersion;

  size_t sectionTable = dos.e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
  for (int i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
    IMAGE_SECTION_HEADER section;
    if (!r.Read(sectionTable + i * sizeof(section), &section)) break;
    r.sections.push_back(section);
  }

  const IMAGE_DATA_DIRECTORY& exportDir = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  IMAGE_EXPORT_DIRECTORY exports;
  if (exportDir.VirtualAddress != 0 && r.Read(r.Offset(exportDir.VirtualAddress), &exports)) {
    for (DWORD i = 0; i < exports.NumberOfFunctions && i < 65536; ++i) {
      DWORD rva = 0;
      r.Read(r.Offset(exports.AddressOfFunctions) + 4 * i, &rva);
      image->exportedFunctions += rva != 0;
    }
    for (DWORD i = 0; i < exports.NumberOfNames && i < 4096; ++i) {
      DWORD nameRva = 0;
      WORD index = 0;
      r.Read(r.Offset(exports.AddressOfNames) + 4 * i, &nameRva);
      r.Read(r.Offset(exports.AddressOfNameOrdinals) + 2 * i, &index);
      image->exports.push_back({r.String(nameRva), exports.Base + index});
    }
  }

  const IMAGE_DATA_DIRECTORY& importDir = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (importDir.VirtualAddress != 0) {
    size_t at = r.Offset(importDir.VirtualAddress);
    IMAGE_IMPORT_DESCRIPTOR desc;
    for (int n = 0; at != 0 && n < 256 && r.Read(at, &desc) && desc.Name != 0; ++n, at += sizeof(desc)) {
      std::set<std::string>& functions = image->imports[Upper(r.String(desc.Name))];
      size_t thunk = r.Offset(desc.OriginalFirstThunk ? desc.OriginalFirstThunk : desc.FirstThunk);
      DWORD entry = 0;
      for (int k = 0; thunk != 0 && k < 4096 && r.Read(thunk, &entry) && entry != 0; ++k, thunk += 4) {
        if (entry & IMAGE_ORDINAL_FLAG32) {
          std::string byOrdinal = "#";
          byOrdinal += std::to_string(entry & 0xFFFF);
          functions.insert(byOrdinal);
        } else {
          functions.insert(r.String(entry + 2));  // past the hint
        }
      }
    }
  }
  return true;
}
