#pragma once

#include <exception>
#include <string>
#include <utility>

#include "commands/client.h"
#include "memofs/names.h"

namespace tavo::commands {

inline constexpr const char* kUnsynchronizedRow = "unsynchronized ...";
inline constexpr const char* kSmallSize = "< 2Kb";

using memofs::Percent;
using memofs::StartsWith;
using memofs::StorableName;
using memofs::Trim;
// "File " + name + " exists! Overwrite?"
std::string OverwriteQuestion(const std::string& name);

// Marks the client busy for the lifetime of a command that talks to the organizer.
class BusyScope {
 public:
  explicit BusyScope(bool& busy) : busy_(busy), was_(busy) { busy_ = true; }
  ~BusyScope() { busy_ = was_; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
  bool was_;
};

template <typename MemoView, typename DirectoryView>
void Client::RunInView(MemoView&& memo_view, DirectoryView&& directory_view) {
  BusyScope busy(busy_);
  Guarded([&] {
    ClearStop();
    link_lost_ = false;
    if (state_.MemoViewActive == 1) {
      std::forward<MemoView>(memo_view)();
    } else {
      std::forward<DirectoryView>(directory_view)();
    }
  });
}

template <typename F>
void Client::Guarded(F&& body) {
  try {
    std::forward<F>(body)();
  } catch (const link::LinkClosed&) {
    // Only SetUnsynchronized closes the link during a command, so the
    // window is already in its unsynchronized state.
  } catch (const std::exception&) {
    // Anything else (out of memory) leaves the organizer picture doubtful.
    SetUnsynchronized();
  }
}

}  // namespace tavo::commands
