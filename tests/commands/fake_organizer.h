#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "link/port.h"

namespace tavo::testing {

// The organizer end of the cable, answering the five commands from a map of
// memo texts. Time passes only when the client waits.
class FakeOrganizer : public link::Port, public link::Clock {
 public:
  enum class Fault { kNone, kSilence, kGarble, kShortBlock, kDropReply };

  std::map<std::string, std::string> memos;  // name -> text without its header
  std::vector<std::string> commands;         // every line the client sent, in order
  Fault fault = Fault::kNone;
  int fault_at = 0;  // exchange number, counting command lines from 1
  std::function<void(const std::string&)> on_command;

  double Now() override { return now_; }
  bool Open(const link::PortSettings&) override { return open_ = open_allowed; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  std::size_t BytesWaiting() override { return out_.size(); }
  std::string Read(std::size_t max) override {
    std::string taken = out_.substr(0, max);
    out_.erase(0, taken.size());
    return taken;
  }
  void Write(const std::string& bytes) override {
    for (char c : bytes) Take(c);
  }
  std::size_t BytesToSend() override { return 0; }
  bool WaitForInput(int timeout_ms) override {
    // Like a real device, only bytes that are new end a wait early.
    if (fresh_) {
      fresh_ = false;
      return true;
    }
    now_ += timeout_ms / 1000.0;
    return false;
  }
  bool WaitForOutput(int) override { return true; }

  int Exchanges() const { return exchanges_; }
  // A fresh start of the organizer program after a fault, memos kept.
  void Restart() {
    fault = Fault::kNone;
    dead_ = dropping_ = short_block_ = fresh_ = false;
    mode_ = Mode::kCommand;
    line_.clear();
    out_.clear();
  }
  bool open_allowed = true;

 private:
  void Reply(const std::string& text) {
    if (dead_ || dropping_) return;
    out_ += text;
    fresh_ = true;
  }
  void Take(char c) {
    if (mode_ == Mode::kPutData) {
      data_ += c;
      if (data_.size() == want_) {
        if (!dead_)
          memos[name_] = data_.size() >= 44 ? data_.substr(43, data_.size() - 44) : std::string();
        Reply("ok\n");
        mode_ = Mode::kCommand;
      }
      return;
    }
    if (c != '\n') {
      line_ += c;
      return;
    }
    const std::string line = line_;
    line_.clear();
    const bool number = !line.empty() && line.find_first_not_of("0123456789") == std::string::npos;
    if (number && mode_ != Mode::kCommand) commands.push_back(line);
    if (mode_ == Mode::kPutLength && number) {
      want_ = std::stoul(line);
      data_.clear();
      mode_ = Mode::kPutData;
      Reply("ok\n");
      return;
    }
    if (mode_ == Mode::kGetxCount && number) {
      mode_ = Mode::kCommand;
      const std::string block = memos[name_].substr(0, std::stoul(line));
      Reply("ok\n" + (short_block_ ? block.substr(0, block.size() / 2) : block + "ok\n"));
      return;
    }
    Command(line);
  }
  void Command(const std::string& line) {
    mode_ = Mode::kCommand;
    commands.push_back(line);
    ++exchanges_;
    if (on_command) on_command(line);
    short_block_ = exchanges_ == fault_at && fault == Fault::kShortBlock;
    // A reply lost on the line: the organizer does nothing and says nothing.
    dropping_ = exchanges_ == fault_at && fault == Fault::kDropReply;
    if (dropping_) return;
    if (exchanges_ == fault_at && fault == Fault::kSilence) dead_ = true;
    if (exchanges_ == fault_at && fault == Fault::kGarble) {
      Reply("garbled\n");
      return;
    }
    const std::size_t blank = line.find(' ');
    const std::string word = line.substr(0, blank);
    name_ = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    const bool exists = memos.count(name_) > 0;
    if (word == "dir") {
      std::string names;
      for (const auto& [name, text] : memos) names += name + "\n";
      Reply(std::to_string(memos.size()) + "\n" + names + "ok\n");
    } else if (word == "get" && exists) {
      const std::string& text = memos[name_];
      Reply("found\n" + std::to_string(text.size()) + "\n" +
            (short_block_ ? text.substr(0, text.size() / 2) : text + "OK\n"));
    } else if (word == "getx" && exists) {
      Reply("FOUND\n");
      mode_ = Mode::kGetxCount;
    } else if (word == "put") {
      Reply("ok\n");
      mode_ = Mode::kPutLength;
    } else if (word == "del" && exists && !dead_) {
      memos.erase(name_);
      Reply("found\nok\n");
    } else {
      Reply("missing\n");
    }
  }

  enum class Mode { kCommand, kGetxCount, kPutLength, kPutData };
  Mode mode_ = Mode::kCommand;
  std::string line_, name_, data_, out_;
  std::size_t want_ = 0;
  double now_ = 100.0;
  int exchanges_ = 0;
  bool open_ = false;
  bool dead_ = false;
  bool short_block_ = false;
  bool dropping_ = false;
  bool fresh_ = false;
};

}  // namespace tavo::testing
