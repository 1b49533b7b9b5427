#include "commands/link_probe.h"

#include <algorithm>
#include <set>

#include "link/exchanges.h"
#include "memofs/index_text.h"

namespace tavo::commands {

namespace {

// Every byte value, so the line is shown to pass all 256 of them unchanged.
std::string ProbeText() {
  std::string text;
  for (int i = 0; i < 256; ++i) text += static_cast<char>(i);
  return text;
}

// Lower-cased names, as an organizer may not tell cases apart.
std::string FreeName(const std::set<std::string>& held_lower) {
  std::string name = "tavoprobe";
  for (int n = 2; held_lower.count(name) > 0; ++n) name = "tavoprobe" + std::to_string(n);
  return name;
}

std::string Sizes(std::size_t got, std::size_t want, bool identical) {
  return std::to_string(got) + " of " + std::to_string(want) + " bytes" +
         (got == want ? "" : " (short)") + (identical ? ", identical" : "");
}

class Recorder {
 public:
  Recorder(link::SerialLink& serial, const std::function<void(const ProbeStep&)>& on_step)
      : link_(serial), on_step_(on_step), started_(serial.clock().Now()) {}

  // After a failure stray replies are flushed so the next exchange starts clean.
  bool Record(const char* exchange, bool ok, std::string detail) {
    result_.steps.push_back({exchange, ok, std::move(detail), link_.clock().Now() - started_});
    if (on_step_) on_step_(result_.steps.back());
    if (!ok && link_.IsOpen()) link_.FlushInput();
    started_ = link_.clock().Now();
    return ok;
  }
  ProbeResult& result() { return result_; }

 private:
  link::SerialLink& link_;
  const std::function<void(const ProbeStep&)>& on_step_;
  double started_;
  ProbeResult result_;
};

void WriteReadDelete(link::SerialLink& serial, Recorder& recorder, const std::string& name) {
  const std::string text = ProbeText();
  const bool put = link::PutExchange(serial, name, memofs::BuildMemoImage(name, text));
  recorder.Record("put", put, name + ", " + std::to_string(text.size()) + " bytes");

  const link::GetResult get = link::GetExchange(serial, name);
  recorder.Record("get", get.found == link::Word::kExpected && get.ok && get.text == text,
                  Sizes(get.text.size(), text.size(), get.text == text));

  const link::GetxResult getx = link::GetxExchange(serial, name, text.size());
  recorder.Record("getx", getx.ok && getx.block == text,
                  Sizes(getx.block.size(), text.size(), getx.block == text));

  const link::DelResult del = link::DelExchange(serial, name);
  recorder.Record("del", del.found == link::Word::kExpected && del.ok, name);
}

}  // namespace

int ProbeResult::Failures() const {
  return static_cast<int>(
      std::count_if(steps.begin(), steps.end(), [](const ProbeStep& s) { return !s.ok; }));
}

ProbeResult ProbeLink(link::SerialLink& serial,
                      const std::function<void(const ProbeStep&)>& on_step) {
  Recorder recorder(serial, on_step);
  std::set<std::string> held;
  try {
    const link::DirResult dir =
        link::DirExchange(serial, [&](const std::string& name, bool is_name) {
          if (is_name) held.insert(link::ToLower(name));
          return true;
        });
    if (!recorder.Record("dir", dir.ok, std::to_string(held.size()) + " memos")) {
      return recorder.result();
    }
    recorder.result().memo = FreeName(held);
    WriteReadDelete(serial, recorder, recorder.result().memo);
  } catch (const link::LinkClosed&) {
    const char* exchanges[] = {"dir", "put", "get", "getx", "del"};
    recorder.Record(exchanges[recorder.result().steps.size()], false, "link closed");
  }
  return recorder.result();
}

}  // namespace tavo::commands
