#pragma once

#include <functional>
#include <string>

#include "link/serial_link.h"

namespace tavo::link {

// The five organizer commands. Each returns what it saw; which outcome counts
// as a failure is the caller's decision.

// A first reply line: complete and "found"/"ok" (compared lower-cased), complete
// but another word, or cut short by the time limit.
enum class Word { kExpected, kOther, kTimedOut };

// Most names a "dir" may announce. An organizer keeps every memo with its
// 43-character record header and a closing 0, so 2^20 memos would need 46 MB
// of memo memory, many times what such organizers have, and hours of line
// time to list; the client's rows for them still fit in about 40 MB. A larger
// count is a broken or hostile organizer, and reading it would never end.
inline constexpr long long kMaxDirNames = 1LL << 20;

struct DirResult {
  bool ok = false;        // the closing line was "ok"
  bool stopped = false;   // the line callback asked to stop
  bool answered = false;  // anything at all came back for the count line
  bool too_many = false;  // the count line announced more than kMaxDirNames
  long long announced = 0;
};
// "dir": on_line runs after the command is sent (with an empty name and
// is_name false), after the count line (likewise) and with each name line;
// returning false stops the exchange there. count_limit bounds the wait for
// the count line (seconds), so a check of a silent line can end sooner. A
// count above kMaxDirNames fails at once, before any name is read. A listing
// left part way (stopped, or too many) closes the port: the rest of it would
// be read as the next replies, and a line that never falls silent would keep
// a flush waiting out its limit.
DirResult DirExchange(SerialLink& link,
                      const std::function<bool(const std::string& name, bool is_name)>& on_line,
                      double count_limit = kReplyLimit);

struct GetResult {
  Word found = Word::kTimedOut;  // kOther: the memo does not exist
  std::string text;
  bool ok = false;  // closing "ok" arrived
};
GetResult GetExchange(SerialLink& link, const std::string& name);

struct GetxResult {
  bool ok = false;  // "found" and, for n > 0, both "ok"s arrived
  Word found = Word::kTimedOut;
  std::string block;  // n bytes when ok
};
// n is the count of characters wanted; for n == 0 nothing follows "found".
GetxResult GetxExchange(SerialLink& link, const std::string& name, std::size_t n);

// "put ": true when all three replies were "ok". after_command runs right after
// the command line is sent; returning false abandons the exchange (false result).
// A failed exchange leaves in *refusal the reply that was not "ok" (empty and
// incomplete for silence), so a refusal can be told from a dead line.
bool PutExchange(SerialLink& link, const std::string& name, const std::string& image,
                 const std::function<bool()>& after_command = {}, Reply* refusal = nullptr);

struct DelResult {
  Word found = Word::kTimedOut;  // kOther: the memo was not there
  bool ok = false;               // "found" then "ok"
};
DelResult DelExchange(SerialLink& link, const std::string& name);

}  // namespace tavo::link
