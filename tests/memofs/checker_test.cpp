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
      {"fs0: bad number \"40000\"", [](Store& s) { s["fs0"] += "F 40000 0 5 n "; }},
      {"fs0: bad number \"\\x01\\xff\\x5c234567890...\"",
       [](Store& s) { s["fs0"] += "F \x01\xff\\2345678901234 0 5 n "; }},
      {"fs0: directory entry at character", [](Store& s) { s["fs0"] += "D 1 0 5 n "; }},
      {"fs0_5: impossible part numbers", [](Store& s) { s["fs0"] += "F 0 1956 5 n "; }},
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

}  // namespace
}  // namespace tavo::memofs
