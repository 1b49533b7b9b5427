#include "core/probe.h"

#include <algorithm>
#include <functional>
#include <set>

#include "link/exchanges.h"
#include "memofs/index_text.h"

namespace tavo::core {

namespace {

constexpr const char* kCheckLine =
    "check the device, the speed (--baud) and that the organizer's server is running";
constexpr const char* kCheckBytes =
    "the line changes or loses bytes: check the speed (--baud), the cable and the server";

std::string AllByteValues() {
  std::string text;
  for (int i = 0; i < 256; ++i) text += static_cast<char>(i);
  return text;
}

std::string Sizes(std::size_t got, std::size_t want) {
  return std::to_string(got) + " of " + std::to_string(want) + " bytes";
}

class Prober {
 public:
  explicit Prober(link::SerialLink& link) : link_(link), started_(link.clock().Now()) {}

  // Records the step; false (with the advice) when it failed.
  bool Step(const char* exchange, bool ok, const std::string& detail, const char* advice) {
    const double now = link_.clock().Now();
    report_.steps.push_back({exchange, ok, detail, now - started_});
    started_ = now;
    if (!ok) report_.advice = advice;
    return ok;
  }
  ProbeReport& report() { return report_; }
  // The exchange after the last one recorded.
  const char* Next() const {
    static constexpr const char* kOrder[] = {"dir", "put", "get", "getx", "del"};
    return kOrder[std::min<std::size_t>(report_.steps.size(), 4)];
  }

 private:
  link::SerialLink& link_;
  double started_;
  ProbeReport report_;
};

void RunExchanges(link::SerialLink& link, Prober& probe);

}  // namespace

ProbeReport RunProbe(link::SerialLink& link) {
  Prober probe(link);
  try {
    RunExchanges(link, probe);
  } catch (const link::LinkClosed&) {
    // The device went away mid-check: that exchange failed.
    probe.Step(probe.Next(), false, "the line was closed", kCheckLine);
  }
  if (probe.report().Passed()) probe.report().memo.clear();
  return probe.report();
}

namespace {

std::string DirDetail(const link::DirResult& dir) {
  if (dir.too_many) return "announced " + std::to_string(dir.announced) + " memos, too many";
  return dir.answered ? "answer garbled or cut short" : "no answer";
}

void RunExchanges(link::SerialLink& link, Prober& probe) {
  std::set<std::string> names;
  const link::DirResult dir = link::DirExchange(
      link,
      [&](const std::string& name, bool is_name) {
        // Some organizers may fold case: keep clear of a name in any case.
        if (is_name) names.insert(link::ToLower(name));
        return true;
      },
      kProbeAnswerLimit);
  if (!probe.Step("dir", dir.ok, dir.ok ? std::to_string(names.size()) + " memos" : DirDetail(dir),
                  dir.answered ? kCheckBytes : kCheckLine)) {
    return;
  }

  std::string name = "tavoprobe";
  for (int n = 2; names.count(link::ToLower(name)) > 0; ++n) name = "tavoprobe" + std::to_string(n);
  probe.report().memo = name;
  const std::string text = AllByteValues();

  link::Reply refusal;
  const bool put = link::PutExchange(link, name, memofs::BuildMemoImage(name, text), {}, &refusal);
  const std::string put_detail =
      put ? name + ", " + std::to_string(text.size()) + " bytes"
          : (refusal.complete ? "refused: \"" + refusal.text + "\"" : "no answer");
  if (!probe.Step("put", put, put_detail, refusal.complete ? kCheckBytes : kCheckLine)) {
    return;
  }

  const link::GetResult get = link::GetExchange(link, name);
  const bool get_ok = get.found == link::Word::kExpected && get.ok && get.text == text;
  if (!probe.Step("get", get_ok,
                  Sizes(get.text.size(), text.size()) + (get_ok ? ", identical" : ""),
                  get.found == link::Word::kTimedOut ? kCheckLine : kCheckBytes)) {
    return;
  }

  const link::GetxResult getx = link::GetxExchange(link, name, text.size());
  const bool getx_ok = getx.ok && getx.block == text;
  if (!probe.Step("getx", getx_ok,
                  Sizes(getx.block.size(), text.size()) + (getx_ok ? ", identical" : ""),
                  getx.found == link::Word::kTimedOut ? kCheckLine : kCheckBytes)) {
    return;
  }

  const link::DelResult del = link::DelExchange(link, name);
  probe.Step("del", del.found == link::Word::kExpected && del.ok, name,
             del.found == link::Word::kTimedOut ? kCheckLine : kCheckBytes);
}

}  // namespace

}  // namespace tavo::core
