#include "link/exchanges.h"

namespace tavo::link {

namespace {

Word ReadWord(SerialLink& link, const char* expected) {
  const Reply reply = link.ReceiveLine();
  if (!reply.complete) return Word::kTimedOut;
  return ToLower(reply.text) == expected ? Word::kExpected : Word::kOther;
}

bool ReadOk(SerialLink& link) { return ReadWord(link, "ok") == Word::kExpected; }

std::string NumberLine(std::size_t n) { return std::to_string(n) + "\n"; }

}  // namespace

DirResult DirExchange(SerialLink& link,
                      const std::function<bool(const std::string& name, bool is_name)>& on_line,
                      double count_limit) {
  DirResult result;
  const auto abandon = [&] {
    link.ClosePort();
    return result;
  };
  link.SendCommand("dir\n");
  if (!on_line("", false)) {
    result.stopped = true;
    return abandon();
  }
  const Reply count_line = link.ReceiveReply(0, count_limit);
  result.answered = count_line.complete || !count_line.text.empty();
  // Without a whole count line the names cannot be told from the closing word.
  if (!count_line.complete) return result;
  if (!on_line("", false)) {
    result.stopped = true;
    return abandon();
  }
  const long long count = LeadingNumber(count_line.text);
  result.announced = count;
  if (count > kMaxDirNames) {
    result.too_many = true;
    return abandon();
  }
  for (long long i = 0; i < count; ++i) {
    const Reply name = link.ReceiveLine();
    if (!name.complete) return result;
    if (!on_line(name.text, true)) {
      result.stopped = true;
      return abandon();
    }
  }
  result.ok = ReadOk(link);
  return result;
}

GetResult GetExchange(SerialLink& link, const std::string& name) {
  GetResult result;
  link.SendCommand("get " + name + "\n");
  result.found = ReadWord(link, "found");
  if (result.found != Word::kExpected) return result;
  const Reply length_line = link.ReceiveLine();
  if (!length_line.complete) return result;
  const long long length = LeadingNumber(length_line.text);
  if (length > 0) {
    Reply block = link.ReceiveReply(static_cast<std::size_t>(length));
    result.text = std::move(block.text);
    // A short block leaves the rest of the text in the line: the closing word
    // cannot be read after it.
    if (!block.complete || result.text.size() != static_cast<std::size_t>(length)) {
      return result;
    }
  }
  result.ok = ReadOk(link);
  return result;
}

GetxResult GetxExchange(SerialLink& link, const std::string& name, std::size_t n) {
  GetxResult result;
  link.SendCommand("getx " + name + "\n");
  result.found = ReadWord(link, "found");
  if (result.found != Word::kExpected) return result;
  if (n == 0) {
    result.ok = true;
    return result;
  }
  link.SendCommand(NumberLine(n));
  if (!ReadOk(link)) return result;
  Reply block = link.ReceiveReply(n);
  if (!block.complete) return result;
  result.block = std::move(block.text);
  result.ok = ReadOk(link);
  if (!result.ok) result.block.clear();
  return result;
}

bool PutExchange(SerialLink& link, const std::string& name, const std::string& image,
                 const std::function<bool()>& after_command, Reply* refusal) {
  Reply unused;
  Reply& reply = refusal != nullptr ? *refusal : unused;
  const auto ok = [&] {
    reply = link.ReceiveLine();
    return reply.complete && ToLower(reply.text) == "ok";
  };
  link.SendCommand("put " + name + "\n");
  if (after_command && !after_command()) return false;
  if (!ok()) return false;
  link.SendCommand(NumberLine(image.size()));
  if (!ok()) return false;
  link.SendCommand(image);
  return ok();
}

DelResult DelExchange(SerialLink& link, const std::string& name) {
  DelResult result;
  link.SendCommand("del " + name + "\n");
  result.found = ReadWord(link, "found");
  if (result.found != Word::kExpected) return result;
  result.ok = ReadOk(link);
  return result;
}

}  // namespace tavo::link
