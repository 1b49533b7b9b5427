#include "memofs/checker.h"

#include <gtest/gtest.h>

#include <functional>

namespace tavo::memofs {
namespace {

using Store = std::map<std::string, std::string>;

Store CleanStore() {
  return {
      {"fs0", "D 0 0 0 docs F 1 100 1 a\377b "},
      {"fs0_0", "F 0 0 0 empty F 1 0 1 exact D 0 0 2 deep "},
      {"fs0_0_0_0", ""},
      {"fs0_0_1_0", std::string(1956, 'x')},
      {"fs0_0_1_1", ""},
      {"fs0_0_2", std::string("\0", 1)},  // the closing 0 some organizers return
      {"fs0_1_0", std::string(1956, 'y')},
      {"fs0_1_1", std::string(100, 'z')},
      {"shopping", "plain memos are not the file system's"},
  };
}

// Each damage, alone, gives exactly the problem named (by its memo and a word
// of it). (Orphans, an empty last part left out and a file system never used:
// the fault matrix and the tavo-cli check tests.)
TEST(Checker, FindsEveryKindOfDamage) {
  const CheckReport clean = CheckMemoFileSystem(CleanStore());
  EXPECT_EQ(clean.Summary(), "3 directories, 3 files, 5 parts, 0 problems, 0 orphans");
  struct Case {
    const char* problem;
    std::function<void(Store&)> damage;
  };
  // Three levels numbered 1000 (an index name of 18 characters), then `last`.
  const auto Deep = [](Store& s, const std::string& last) {
    s["fs0"] += "D 0 0 1000 n ";
    s["fs0_1000"] = s["fs0_1000_1000"] = "D 0 0 1000 n ";
    s["fs0_1000_1000_1000"] = last;
  };
  const Case cases[] = {
      {"fs0_1_0: part missing", [](Store& s) { s.erase("fs0_1_0"); }},
      {"fs0_0_1_0: part holds 5", [](Store& s) { s["fs0_0_1_0"] = "short"; }},
      {"fs0_0: directory index missing", [](Store& s) { s.erase("fs0_0"); }},
      {"fs0: number 1 used twice", [](Store& s) { s["fs0"] += "D 0 0 1 twin "; }},
      {"fs0: file a b listed twice", [](Store& s) { s["fs0"] += "F 0 0 7 a\377b "; }},
      {"fs0: index text cut", [](Store& s) { s["fs0"] += "F 0 1 5 cut"; }},
      {"fs0: index text ends in a cut", [](Store& s) { s["fs0"] += "F"; }},
      {"fs0: bad number \"1x\"", [](Store& s) { s["fs0"] += "F 1x 0 5 n "; }},
      {"fs0: bad number \"\\x01\\xff\\x5c234567890...\"",
       [](Store& s) { s["fs0"] += "F \x01\xff\\2345678901234 0 5 n "; }},
      {"fs0: directory entry at character", [](Store& s) { s["fs0"] += "D 1 0 5 n "; }},
      {"fs0_5: impossible part numbers", [](Store& s) { s["fs0"] += "F 0 1957 5 n "; }},
      {"fs0_0: index text of 1957", [](Store& s) { s["fs0_0"].resize(1957, 'x'); }},
      {"fs0_1000_1000_1000_10: index name longer", [&](Store& s) { Deep(s, "D 0 0 10 n "); }},
      {"fs0_1000_1000_1000_9_0: part name longer", [&](Store& s) { Deep(s, "F 0 1 9 n "); }},
      {"fs0: directory index missing", [](Store& s) { s.erase("fs0"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.problem);
    Store store = CleanStore();
    c.damage(store);
    const CheckReport report = CheckMemoFileSystem(store);
    ASSERT_FALSE(report.problems.empty());
    EXPECT_EQ(report.problems.front().rfind(c.problem, 0), 0u) << report.problems.front();
  }
}

// The checker reads an index as ls, get and backup do: what they read whole is
// no problem, and the memos they reach are no orphans.
TEST(Checker, AcceptsWhatEveryReaderReads) {
  const std::pair<const char*, std::function<void(Store&)>> cases[] = {
      {"a last part recorded full",
       [](Store& s) {
         s["fs0"] += "F 1 1956 2 full ";
         s["fs0_2_0"] = s["fs0_2_1"] = std::string(1956, 'f');
       }},
      {"numbers above 32767, read as 32767",
       [](Store& s) {
         s["fs0"] += "F 0 40 99999 big D 0 0 000007 seven ";
         s["fs0_32767_0"] = std::string(40, 'b');
         s["fs0_7"] = "";
       }},
  };
  for (const auto& [name, change] : cases) {
    SCOPED_TRACE(name);
    Store store = CleanStore();
    change(store);
    const CheckReport report = CheckMemoFileSystem(store);
    EXPECT_EQ(report.problems, std::vector<std::string>());
    EXPECT_EQ(report.orphans, std::vector<std::string>());
  }
  // A damaged entry's parts are reported with it, never as orphans.
  Store store = CleanStore();
  store["fs0"] += "F 1 2000 3 odd ";
  store["fs0_3_0"] = store["fs0_3_1"] = "x";
  const CheckReport odd = CheckMemoFileSystem(store);
  EXPECT_EQ(odd.problems, std::vector<std::string>{"fs0_3: impossible part numbers"});
  EXPECT_EQ(odd.orphans, std::vector<std::string>());
}

}  // namespace
}  // namespace tavo::memofs
