#include "tests/plugin/dialog_stand_in.h"

#include <cstring>

std::int32_t* find_power_field(HMODULE library, const std::vector<unsigned char>& settings_file) {
  constexpr std::size_t prefix = 264;
  constexpr std::size_t power_offset = 268;
  if (library == nullptr || settings_file.size() < prefix) return nullptr;
  auto* image = reinterpret_cast<unsigned char*>(library);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  std::int32_t* found = nullptr;
  for (unsigned s = 0; s < nt->FileHeader.NumberOfSections; ++s, ++section) {
    if ((section->Characteristics & IMAGE_SCN_MEM_WRITE) == 0) continue;
    unsigned char* begin = image + section->VirtualAddress;
    const std::size_t size = section->Misc.VirtualSize;
    // The record is 4-byte aligned.
    for (std::size_t at = 0; at + 272 <= size; at += 4) {
      if (std::memcmp(begin + at, settings_file.data(), prefix) != 0) continue;
      if (found != nullptr) return nullptr;  // not unique: refuse to guess
      found = reinterpret_cast<std::int32_t*>(begin + at + power_offset);
    }
  }
  return found;
}
