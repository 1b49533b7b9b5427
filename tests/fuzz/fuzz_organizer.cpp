// Any bytes as what a client sends the simulated organizer, with any fault:
// it never crashes, answers each line with a bounded reply, does not depend on
// how the bytes are cut into pieces, and after a restart lists what it holds.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "organizer-sim/organizer.h"

namespace {

using tavo::sim::Organizer;

// The most one command can be answered with: a listing of every name, or a
// memo's text, and a few short lines.
std::size_t LongestReply(const Organizer& o) {
  std::size_t listing = 64;
  std::size_t longest_text = 0;
  for (const auto& [name, image] : o.Memos()) {
    listing += name.size() + 1;
    if (image.size() > longest_text) longest_text = image.size();
  }
  return listing + longest_text + 64;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
  Organizer whole;
  Organizer pieces;
  for (Organizer* o : {&whole, &pieces}) {
    o->SetCapacity(1 << 16);          // room for a few images, and "full" beyond
    o->PutText("fs0", "F 0 5 0 a ");  // something to get, getx and delete
    o->PutText("fs0_0_0", "abcde");
    if (data[0] % 9 < 8) {
      o->InjectFault({static_cast<tavo::sim::FaultKind>(data[0] % 9), data[1] % 16 + 1});
    }
  }

  whole.Feed(bytes);
  const std::string whole_out = whole.TakeOutput();
  std::string pieces_out;
  static constexpr std::size_t kCuts[] = {1, 3, 7, 64};
  for (std::size_t at = 0, i = 0; at < bytes.size(); at += kCuts[i++ % 4]) {
    const std::size_t before = LongestReply(pieces);
    const std::string piece = bytes.substr(at, kCuts[i % 4]);
    pieces.Feed(piece);
    const std::string out = pieces.TakeOutput();
    // One command per line feed, plus the one a piece may finish.
    std::size_t lines = 1;
    for (char c : piece) lines += c == '\n';
    if (out.size() > lines * std::max(before, LongestReply(pieces))) std::abort();
    pieces_out += out;
  }
  if (whole_out != pieces_out || whole.Memos() != pieces.Memos()) std::abort();

  // Started again, it answers and lists exactly what it holds.
  pieces.Restart();
  pieces.Feed("dir\n");
  std::string listing = std::to_string(pieces.Memos().size()) + "\n";
  for (const auto& [name, image] : pieces.Memos()) listing += name + "\n";
  if (pieces.TakeOutput() != listing + "ok\n") std::abort();
  return 0;
}
