#pragma once

#include <set>
#include <string>

#include "core/feedback.h"
#include "link/serial_link.h"

namespace tavo::core::mirror {

// Thrown when an exchange failed: the link is closed, the operation ends.
struct LineDown {
  std::string reason;
};
// Thrown between exchanges after a Cancel.
struct Stopped {};

// Every memo name, from one "dir"; a Cancel ends it after the line under way
// (Stopped).
std::set<std::string> ListNames(link::SerialLink& link, const CancelToken& cancel);
// A listed memo's text ("get"); one that is not found any more ends the line
// as well, since a garbled "found" cannot be told from it.
std::string ReadText(link::SerialLink& link, const std::string& name);
// Closes the link after a failure and gives the result to end with.
Result Fail(link::SerialLink& link, const LineDown& down);

// Runs a whole backup or restore: a failed line, a closed link or a Cancel
// that unwinds it becomes its result.
template <typename F>
Result Unwinding(link::SerialLink& link, F&& body) {
  try {
    body();
  } catch (const LineDown& down) {
    return Fail(link, down);
  } catch (const link::LinkClosed&) {
    return {Outcome::kLinkFailed, "the link is closed"};
  } catch (const Stopped&) {
    return {Outcome::kCancelled, "cancelled"};
  }
  return {};
}

}  // namespace tavo::core::mirror
