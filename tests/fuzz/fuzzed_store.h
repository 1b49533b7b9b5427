#pragma once

// Fuzzed organizer stores shared by the fuzz targets: a memo file system that
// is mostly well formed, sometimes damaged, and plain memos beside it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "commands/sim_rig.h"

namespace tavo::fuzzing {

constexpr std::size_t kMaxFileBytes = 9000;  // up to five parts

inline void Check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// Mostly names a user would type, sometimes any bytes.
inline std::string Name(FuzzedDataProvider& in) {
  static const char* const kNames[] = {"a",         "B",          "fs",          "fs0", "fs0_0",
                                       "r",         "a b",        "Sharp Memos", "..",  "notes.txt",
                                       "fs1",       " pad ",      "<x>",         "",    "f",
                                       "fs0 ideas", "notes..txt", "TODO",        "todo"};
  if (in.ConsumeIntegralInRange(0, 3) != 0) {
    return kNames[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kNames) - 1)];
  }
  return in.ConsumeRandomLengthString(12);
}

// A directory of the file system under `index`, `depth` levels deep: mostly
// well formed, sometimes raw text; parts sometimes missing or cut.
inline void SeedDirectory(sim::Organizer& organizer, FuzzedDataProvider& in,
                          const std::string& index, int depth) {
  if (in.ConsumeIntegralInRange(0, 15) == 0) {
    organizer.PutText(index, in.ConsumeRandomLengthString(64));
    return;
  }
  std::vector<memofs::DirectoryEntry> entries;
  const int count = in.ConsumeIntegralInRange(0, 4);
  for (int n = 0; n < count; ++n) {
    const int number = in.ConsumeIntegralInRange(0, 7) == 0 ? n + 1000 : n;
    const std::string name = Name(in);
    const std::string stem = memofs::ChildIndexName(index, number);
    if (depth < 3 && in.ConsumeBool()) {
      entries.push_back(testing::Dir(name, number));
      if (in.ConsumeIntegralInRange(0, 7) != 0) SeedDirectory(organizer, in, stem, depth + 1);
      continue;
    }
    const std::size_t size = in.ConsumeIntegralInRange<std::size_t>(0, kMaxFileBytes);
    const std::string bytes = testing::AllBytes(size);
    const int last = static_cast<int>(size / memofs::kPartSize);
    entries.push_back(
        testing::File(name, last, static_cast<int>(size - last * memofs::kPartSize), number));
    for (int k = 0; k <= last; ++k) {
      if (in.ConsumeIntegralInRange(0, 15) == 0) continue;  // a part missing
      organizer.PutText(
          memofs::PartName(stem, k, last),
          bytes.substr(static_cast<std::size_t>(k) * memofs::kPartSize, memofs::kPartSize));
    }
  }
  organizer.PutText(index, testing::IndexOf(entries));
}

// The file system (mostly) and a few plain memos.
inline void SeedOrganizer(sim::Organizer& organizer, FuzzedDataProvider& in) {
  if (in.ConsumeIntegralInRange(0, 7) != 0) SeedDirectory(organizer, in, "fs0", 0);
  const int memos = in.ConsumeIntegralInRange(0, 4);
  for (int m = 0; m < memos; ++m) {
    // A title as the organizer holds one: 1 to 20 characters, no line end or 0.
    std::string name = Name(in).substr(0, 20);
    for (char& c : name) {
      if (c == '\n' || c == '\r' || c == '\0') c = '_';
    }
    organizer.PutText(name.empty() ? "m" : name, in.ConsumeRandomLengthString(32));
  }
}

}  // namespace tavo::fuzzing
