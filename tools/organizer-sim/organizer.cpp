#include "organizer-sim/organizer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "memofs/index_text.h"

namespace tavo::sim {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxLine = 1024;  // longer command lines are refused, not stored
constexpr const char* kMissing = "not found";
constexpr const char* kRefused = "error";
constexpr const char* kFullWord = "full";
constexpr const char* kStoreSuffix = ".memo";
constexpr const char* kHexDigits = "0123456789abcdef";

bool IsDigits(const std::string& line) {
  return !line.empty() &&
         std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Saturates well above any size we accept, so a long digit string cannot overflow.
std::size_t DigitsValue(const std::string& line) {
  constexpr std::size_t kCap = 1'000'000'000'000;
  std::size_t value = 0;
  for (char c : line) {
    value = std::min(kCap, value * 10 + static_cast<std::size_t>(c - '0'));
  }
  return value;
}

bool KeptInFileName(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

std::string TextOf(const std::string& image) {
  if (image.size() <= kHeaderBytes) return {};
  std::string text = image.substr(kHeaderBytes);
  if (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

}  // namespace

std::string Escaped(std::string_view bytes) {
  std::string out;
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += ch;
    } else {
      out += "\\x";
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0xf];
    }
  }
  return out;
}

std::optional<Fault> ParseFault(std::string_view text) {
  const std::size_t at = text.find('@');
  if (at == std::string_view::npos) return std::nullopt;
  const std::string word(text.substr(0, at));
  const std::string number(text.substr(at + 1));
  if (!IsDigits(number) || number.size() > 9) return std::nullopt;
  static const std::map<std::string, FaultKind> kWords = {
      {"silence", FaultKind::kSilence}, {"garble", FaultKind::kGarble},
      {"case", FaultKind::kOtherCase},  {"short", FaultKind::kShortBlock},
      {"hangup", FaultKind::kHangUp},   {"full", FaultKind::kFull},
      {"drop", FaultKind::kDropReply},  {"busy", FaultKind::kBusy}};
  const auto it = kWords.find(word);
  if (it == kWords.end()) return std::nullopt;
  const int n = std::stoi(number);
  if (n < 1) return std::nullopt;
  return Fault{it->second, n};
}

std::optional<Hostility> ParseHostility(std::string_view text) {
  Hostility hostility;
  bool paced = false;
  for (bool more = true; more;) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    more = comma != std::string_view::npos;
    if (more) text = text.substr(comma + 1);
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string key(item.substr(0, equals));
    const std::string value(item.substr(equals + 1));
    if (key == "count" && IsDigits(value) && value.size() <= 18) {
      hostility.dir_count = std::stoll(value);
    } else if (key == "pace") {
      char* end = nullptr;
      const double seconds = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !(seconds >= kMinLineSeconds) || seconds > 3600) {
        return std::nullopt;
      }
      hostility.line_seconds = seconds;
      paced = true;
    } else if (key == "get" && !value.empty() && value.find('\n') == std::string::npos) {
      hostility.get_word = value;
    } else if (key == "hide" && !value.empty() && value.find('\n') == std::string::npos) {
      hostility.hidden = value;
    } else {
      return std::nullopt;
    }
  }
  if (hostility.dir_count && !paced) hostility.line_seconds = kMinLineSeconds;
  return hostility;
}

std::string EncodeName(const std::string& name) {
  std::string out;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (KeptInFileName(c)) {
      out += ch;
    } else {
      out += '%';
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0xf];
    }
  }
  return out + kStoreSuffix;
}

std::optional<std::string> DecodeName(const std::string& file_name) {
  const std::string suffix = kStoreSuffix;
  if (file_name.size() < suffix.size() ||
      file_name.compare(file_name.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return std::nullopt;
  }
  const std::string body = file_name.substr(0, file_name.size() - suffix.size());
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string name;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '%') {
      name += body[i];
      continue;
    }
    if (i + 2 >= body.size()) return std::nullopt;
    const int high = hex(body[i + 1]);
    const int low = hex(body[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    name += static_cast<char>(high * 16 + low);
    i += 2;
  }
  // Only the one spelling EncodeName makes is ours; anything else is a stranger's file.
  if (EncodeName(name) != file_name) return std::nullopt;
  return name;
}

Organizer::Organizer(std::string store_dir) : store_dir_(std::move(store_dir)) {
  if (!store_dir_.empty()) Load();
}

void Organizer::Load() {
  std::error_code ec;
  fs::create_directories(store_dir_, ec);
  for (const auto& entry : fs::directory_iterator(store_dir_, ec)) {
    if (!entry.is_regular_file(ec)) continue;
    const auto name = DecodeName(entry.path().filename().string());
    if (!name) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.bad()) {
      stored_bytes_ += image.size();
      memos_[*name] = std::move(image);
    }
  }
}

bool Organizer::Store(const std::string& name, std::string image) {
  if (!store_dir_.empty()) {
    // Write beside and rename, so a crash leaves the old image or the new one.
    const fs::path dir(store_dir_);
    const fs::path temp = dir / ".writing";
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      out.write(image.data(), static_cast<std::streamsize>(image.size()));
      out.close();
      if (!out) return false;
    }
    std::error_code ec;
    fs::rename(temp, dir / EncodeName(name), ec);
    if (ec) return false;
  }
  const auto old = memos_.find(name);
  if (old != memos_.end()) stored_bytes_ -= old->second.size();
  stored_bytes_ += image.size();
  memos_[name] = std::move(image);
  return true;
}

bool Organizer::Erase(const std::string& name) {
  const auto it = memos_.find(name);
  if (it == memos_.end()) return true;
  if (!store_dir_.empty()) {
    std::error_code ec;
    fs::remove(fs::path(store_dir_) / EncodeName(name), ec);
    if (ec) return false;  // it would come back at the next start
  }
  stored_bytes_ -= it->second.size();
  memos_.erase(it);
  return true;
}

std::optional<std::string> Organizer::Text(const std::string& name) const {
  const auto it = memos_.find(name);
  if (it == memos_.end()) return std::nullopt;
  return TextOf(it->second);
}

std::map<std::string, std::string> Organizer::Texts() const {
  std::map<std::string, std::string> texts;
  for (const auto& [name, image] : memos_) texts.emplace(name, TextOf(image));
  return texts;
}

void Organizer::PutText(const std::string& name, const std::string& text) {
  Store(name, memofs::BuildMemoImage(name, text));
}

void Organizer::PutImage(const std::string& name, const std::string& image) { Store(name, image); }

void Organizer::Remove(const std::string& name) { Erase(name); }

std::string Organizer::TakeOutput() {
  std::string out;
  out.swap(output_);
  return out;
}

void Organizer::Log(char mark, std::string_view bytes) {
  std::string line;
  line += mark;
  line += ' ';
  line += Escaped(bytes);
  line += '\n';
  transcript_ += line;
  if (sink_) sink_(line);
}

void Organizer::AbandonExchange() {
  if (state_ == State::kCommand) return;
  Log('!', "exchange given up");
  state_ = State::kCommand;
  block_.clear();
}

void Organizer::Restart() {
  faults_.clear();
  paced_left_ = 0;
  hung_up_ = false;
  state_ = State::kCommand;
  line_.clear();
  line_overflow_ = false;
  block_.clear();
  Log('!', "restart");
}

void Organizer::Feed(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size() && !hung_up_; ++i) {
    if (state_ == State::kPutBlock) {
      const std::size_t take = std::min(pending_length_ - block_.size(), bytes.size() - i);
      block_.append(bytes.substr(i, take));
      i += take - 1;
      if (block_.size() == pending_length_) {
        Log('>', block_);
        FinishPut();
      }
      continue;
    }
    const char c = bytes[i];
    if (c == '\n') {
      std::string line;
      line.swap(line_);
      const bool overflow = line_overflow_;
      line_overflow_ = false;
      Log('>', line);
      if (overflow) {
        // Too long to be anything we know: refuse it without acting on a cut name.
        state_ = State::kCommand;
        StartExchange();
        if (!hung_up_) Reply(kRefused, true);
      } else {
        HandleLine(line);
      }
      continue;
    }
    if (line_.size() < kMaxLine) {
      line_ += c;
    } else {
      line_overflow_ = true;
    }
  }
}

void Organizer::HandleLine(const std::string& line) {
  switch (state_) {
    case State::kPutLength:
      if (IsDigits(line)) {
        PutLength(line);
        return;
      }
      break;
    case State::kGetxCount:
      if (IsDigits(line)) {
        GetxCount(DigitsValue(line));
        return;
      }
      break;
    case State::kCommand:
    case State::kPutBlock:
      break;
  }
  // A client that gave up on an exchange (or asked for 0 characters after "getx ")
  // goes straight on with its next command.
  state_ = State::kCommand;
  HandleCommand(line);
}

void Organizer::StartExchange() {
  ++exchanges_;
  replies_in_exchange_ = 0;
  if (FaultNow(FaultKind::kHangUp)) {
    Log('!', "hang-up");
    hung_up_ = true;
  }
}

bool Organizer::FaultNow(FaultKind kind) const {
  return std::any_of(faults_.begin(), faults_.end(),
                     [&](const Fault& f) { return f.kind == kind && f.at_exchange == exchanges_; });
}

void Organizer::HandleCommand(const std::string& line) {
  if (paced_left_ > 0) {
    Log('!', "paced reply cut off");
    paced_left_ = 0;
  }
  StartExchange();
  if (hung_up_) return;
  if (FaultNow(FaultKind::kSilence)) {
    Log('!', "silence");
    return;
  }
  if (FaultNow(FaultKind::kBusy)) {
    Log('!', "busy");
    Reply("busy", true);
    return;
  }
  auto argument = [&](std::string_view word) -> std::optional<std::string> {
    if (line.compare(0, word.size(), word) != 0) return std::nullopt;
    return line.substr(word.size());
  };
  if (line == "dir") {
    Dir();
  } else if (auto name = argument("getx ")) {
    Getx(*name);
  } else if (auto get_name = argument("get ")) {
    Get(*get_name);
  } else if (auto put_name = argument("put ")) {
    Put(*put_name);
  } else if (auto del_name = argument("del ")) {
    Del(*del_name);
  } else {
    Reply(kRefused, true);
  }
}

void Organizer::Reply(std::string line, bool last) {
  const bool first = replies_in_exchange_++ == 0;
  if (last && FaultNow(FaultKind::kDropReply)) {
    Log('!', "dropped: " + line);
    return;
  }
  if (first && FaultNow(FaultKind::kGarble)) {
    // Flipped high bits, as a wrong speed or parity would give; never a word or a number.
    for (char& c : line) c = static_cast<char>(static_cast<unsigned char>(c) ^ 0x80U);
    Log('!', "garbled");
  }
  Log('<', line);
  output_ += line;
  output_ += '\n';
}

void Organizer::ReplyWord(const std::string& word, bool last) {
  if (!FaultNow(FaultKind::kOtherCase)) {
    Reply(word, last);
    return;
  }
  std::string other = word;
  if (word == "found") {
    other = "FOUND";
  } else if (word == "ok") {
    other = "Ok";
  }
  Reply(other, last);
}

void Organizer::ReplyBlock(std::string block) {
  if (!block.empty() && FaultNow(FaultKind::kShortBlock)) {
    block.resize(block.size() - std::max<std::size_t>(1, block.size() / 2));
    Log('!', "short block");
  }
  Log('<', block);
  output_ += block;
}

std::vector<std::string> Organizer::Listed() const {
  std::vector<std::string> names;
  for (const auto& [name, image] : memos_) {
    if (hostility_.hidden.empty() || name != hostility_.hidden) names.push_back(name);
  }
  return names;
}

void Organizer::Dir() {
  std::vector<std::string> names = Listed();
  if (hostility_.line_seconds > 0) {
    const long long count = hostility_.dir_count.value_or(static_cast<long long>(names.size()));
    Reply(std::to_string(count));
    if (static_cast<long long>(names.size()) > count) names.resize(static_cast<std::size_t>(count));
    paced_names_ = std::move(names);
    paced_sent_ = 0;
    paced_left_ = count + 1;
    return;
  }
  Reply(std::to_string(names.size()));
  for (const std::string& name : names) Reply(name);
  ReplyWord("ok", true);
}

std::optional<double> Organizer::PacedInterval() const {
  if (paced_left_ <= 0 || hung_up_) return std::nullopt;
  return hostility_.line_seconds;
}

void Organizer::SendPacedLine() {
  if (!PacedInterval()) return;
  --paced_left_;
  if (paced_left_ == 0) {
    ReplyWord("ok", true);
    return;
  }
  const auto index = static_cast<std::size_t>(paced_sent_++);
  Reply(index < paced_names_.size() ? paced_names_[index]
                                    : "ghost" + std::to_string(index - paced_names_.size()));
}

void Organizer::Get(const std::string& name) {
  if (!hostility_.get_word.empty()) {
    Reply(hostility_.get_word, true);
    return;
  }
  const auto it = memos_.find(name);
  if (it == memos_.end()) {
    Reply(kMissing, true);
    return;
  }
  const std::string text = TextOf(it->second);
  ReplyWord("found");
  Reply(std::to_string(text.size()));
  if (!text.empty()) ReplyBlock(text);
  ReplyWord("ok", true);
}

void Organizer::Getx(const std::string& name) {
  if (memos_.find(name) == memos_.end()) {
    Reply(kMissing, true);
    return;
  }
  ReplyWord("found");
  if (FaultNow(FaultKind::kGarble)) return;  // the client stops at the damaged word
  pending_name_ = name;
  state_ = State::kGetxCount;
}

void Organizer::GetxCount(std::size_t count) {
  state_ = State::kCommand;
  const auto it = memos_.find(pending_name_);
  if (it == memos_.end()) {  // removed meanwhile through the test interface
    Reply(kMissing, true);
    return;
  }
  ReplyWord("ok");
  // A memo shorter than asked for gives what it has: the client sees a short block.
  ReplyBlock(TextOf(it->second).substr(0, count));
  ReplyWord("ok", true);
}

void Organizer::Put(const std::string& name) {
  if (name.empty() || name.size() > kMaxNameBytes) {
    Reply(kRefused, true);
    return;
  }
  ReplyWord("ok");
  if (FaultNow(FaultKind::kGarble)) return;
  pending_name_ = name;
  state_ = State::kPutLength;
}

void Organizer::PutLength(const std::string& line) {
  state_ = State::kCommand;
  const std::size_t length = DigitsValue(line);
  if (length > kMaxImageBytes) {
    Reply(kRefused, true);
    return;
  }
  const auto old = memos_.find(pending_name_);
  const std::size_t freed = old == memos_.end() ? 0 : old->second.size();
  const bool over =
      stored_bytes_ - freed > capacity_ || length > capacity_ - (stored_bytes_ - freed);
  if (over || FaultNow(FaultKind::kFull)) {
    if (!over) Log('!', "full");
    Reply(kFullWord, true);
    return;
  }
  ReplyWord("ok");
  pending_length_ = length;
  block_.clear();
  if (length == 0) {
    FinishPut();
  } else {
    state_ = State::kPutBlock;
  }
}

void Organizer::FinishPut() {
  state_ = State::kCommand;
  std::string image;
  image.swap(block_);
  if (!Store(pending_name_, std::move(image))) {
    Reply(kRefused, true);  // never "ok" for a memo that did not reach the disk
    return;
  }
  ReplyWord("ok", true);
}

void Organizer::Del(const std::string& name) {
  if (memos_.find(name) == memos_.end()) {
    Reply(kMissing, true);
    return;
  }
  if (!Erase(name)) {
    Reply(kRefused, true);
    return;
  }
  ReplyWord("found");
  ReplyWord("ok", true);
}

void ManualClock::Advance(double seconds) {
  if (seconds > 0) nanos_ += std::llround(seconds * 1e9);
}

}  // namespace tavo::sim
