#pragma once

#include <exception>
#include <optional>
#include <utility>

#include "core/computer_files.h"
#include "core/session.h"
#include "link/serial_link.h"

namespace tavo::core {

// Unwinds an operation after its item was ended kLinkFailed.
class LinkUnwound {};

// Why a "put " failed: a refusal (a whole line, such as "full") or a dead line.
std::string RefusedOrSilent(const link::Reply& reply);
// Whether a "put " was refused for want of memory ("full"): the organizer still
// answers then, so the parts already sent of that file can be taken back.
bool RefusedAsFull(const link::Reply& reply);
// Added to the refusal's reason once they were.
inline constexpr const char* kNothingKept =
    "; nothing of it was kept (the parts sent were deleted)";
// Exactly `count` bytes of a computer file; nothing on a read error or an early end.
std::optional<std::string> ReadPiece(InputFile& in, std::size_t count);

template <typename F>
Result Session::Run(F&& body) {
  worst_ = {};
  if (!LinkUp()) {
    return {Outcome::kLinkFailed, link_failed_ ? link_reason_ : "the link is not open"};
  }
  try {
    std::forward<F>(body)();
  } catch (const LinkUnwound&) {
  } catch (const link::LinkClosed&) {
  } catch (const Abandoned&) {
  } catch (const std::exception& e) {
    // Anything else (out of memory) leaves the organizer picture doubtful.
    FailLink(e.what());
  }
  // A put the user cancelled half way closes the link too, but stays a Cancel.
  if (link_failed_ && worst_.outcome != Outcome::kCancelled)
    worst_ = Heavier(worst_, {Outcome::kLinkFailed, link_reason_});
  return worst_;
}

template <typename F>
void Session::Guard(F&& step) {
  try {
    std::forward<F>(step)();
  } catch (const LinkUnwound&) {
  } catch (const link::LinkClosed&) {
  } catch (const Abandoned&) {
  }
}

}  // namespace tavo::core
